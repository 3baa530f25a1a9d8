// How each Windows release reads a medium: the tree it takes, the names it finds there, the documents
// that say so; and the simulated drive that shows the medium as that release sees it.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>

#include "medium/Medium.h"
#include "platform/Platform.h"
#include "sim/SimMedium.h"

namespace quelm::tool {

enum class MediumTree {
  kPrimary,        // ISO 9660's primary tree
  kJoliet,         // the Joliet supplementary volume's tree
  kFatShortNames,  // FAT's 8.3 names alone
  kFatLongNames,   // FAT's long names where an entry has one, its 8.3 name finding it as well
};

// What a release does with a primary-tree name that has a letter a to z in it.
enum class LowerCaseNames {
  kFound,                // found like any other name, without regard to case
  kNotFound,             // "File not found": the entry, and a folder's whole contents, are not there
  kUnknownTakenAsFound,  // no document or report says; the simulation takes it as found
};

struct MediumReading {
  MediumTree tree = MediumTree::kPrimary;
  LowerCaseNames lowerCase = LowerCaseNames::kFound;  // where `tree` is kPrimary
  // The documents the tree and the case rule rest on, in a few words, for a tool's messages.
  std::string evidence;
};

// How a release that reports `version` reads `medium`. Releases are told apart by their version
// records, as the launcher tells them apart; a record of no Windows release (another platform) is read
// as Win32s reads, the most limited of them.
MediumReading ReadingOf(const Medium& medium, const VersionRecord& version);

// The tree `reading` takes: the Joliet tree or the image's only (primary, FAT) tree.
const MediumEntry& TreeOf(const Medium& medium, const MediumReading& reading);

// The name an entry of TreeOf goes by on that release: an ISO 9660 name without its version (";1")
// and one trailing dot ("README." is "README"), a FAT entry's long name or its 8.3 name. Empty where the
// release does not find the entry (a primary-tree name with lower-case letters on Windows NT up to
// 2000). UTF-8 for Joliet and long FAT names, the bytes as recorded for ISO 9660 and 8.3 names.
std::string SeenName(const MediumEntry& entry, const MediumReading& reading);

// An entry's name as that release's drive gives it to a program: SeenName, brought to the machine's
// code page where the medium holds Unicode (Joliet, long FAT names), '?' for what the code page lacks.
// Empty where the release does not find the entry.
std::string DriveName(const MediumEntry& entry, const MediumReading& reading, uint32_t codePage);

// The drive of a simulated machine that reports `version` and works in `codePage`: the tree that
// release reads, each entry under SeenName (Joliet and long names brought to the code page, '?' for
// what it lacks, as an ANSI program gets them), entries it does not find left out, files read from the
// image when the launcher asks.
std::shared_ptr<const sim::MediumNode> DriveView(const Medium& medium, const VersionRecord& version,
                                                 uint32_t codePage);

}  // namespace quelm::tool
