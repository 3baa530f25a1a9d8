// A drive backed by a burnt medium (a CD image, a floppy image): its files as one Windows release sees them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quelm::sim {

// One file or folder of a medium, named as the machine's release sees it. The simulated machine knows
// no image format: whoever reads the image decides, per release, which tree and which names it shows
// (the primary ISO 9660 tree or the Joliet one, 8.3 or long FAT names) and hands over this tree.
struct MediumNode {
  // The name the release finds it by, in the machine's code page, as a program gets it from the
  // system: an ISO 9660 name without its ";1" and its trailing dot.
  std::string name;
  // A second name that finds it too, or empty: the 8.3 name of a FAT file that also has a long one.
  std::string alias;
  bool isFolder = false;
  std::vector<MediumNode> children;  // a folder's entries, in the order the medium records them
  // A file's bytes as a program reads them; nothing when they cannot be read from the image or are
  // more than kHostFileLimit. Empty for folders.
  std::function<std::optional<std::string>()> read;
};

}  // namespace quelm::sim
