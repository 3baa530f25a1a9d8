// The disk-image reader: the trees ISO 9660 and FAT images record, their files' bytes, and hostile
// images, each refused with an error that says what is wrong.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "medium/Medium.h"
#include "support/DiskImages.h"

namespace quelm::tool {
namespace {

using testing::FatFile;
using testing::FatFolder;
using testing::FatImage;
using testing::FatNode;
using testing::IsoFile;
using testing::IsoFolder;
using testing::IsoImage;
using testing::IsoNode;

Medium Iso(IsoImage image) {
  return ReadIso9660(ImageBytes::FromMemory(image.Build()));
}

Medium Fat(FatImage image) {
  return ReadFat(ImageBytes::FromMemory(image.Build()));
}

// A tree as lines: path, then what the entry carries besides its name.
std::string Listing(const MediumEntry& folder, const std::string& path = "") {
  std::string out;
  for (const MediumEntry& entry : folder.children) {
    const std::string name = path + "\\" + entry.name;
    out += name + (entry.isFolder ? "\\" : " " + std::to_string(entry.size));
    if (!entry.longName.empty()) out += " long=" + entry.longName;
    if (!entry.longNameFault.empty()) out += " fault=" + entry.longNameFault;
    if (!entry.rockRidgeName.empty()) out += " rock-ridge=" + entry.rockRidgeName;
    if (entry.hidden) out += " hidden";
    out += "\n";
    if (entry.isFolder) out += Listing(entry, name);
  }
  return out;
}

IsoImage DriverCd(bool joliet, bool rockRidge) {
  IsoImage image;
  image.joliet = joliet;
  image.rockRidge = rockRidge;
  IsoNode readMe = IsoFile("READ_ME_.TXT;1", "Read me first.txt", "hello");
  readMe.rockRidge = "read me first.txt";
  IsoNode drivers =
      IsoFolder("DRIVERS", "Drivers for Windows", {IsoFile("EXAMPLE.INF;1", "EXAMPLE.INF", "[x]")});
  drivers.rockRidge = "drivers-for-windows";
  image.root.children = {IsoFile("QUELM.INI;1", "QUELM.INI", "[Application]\r\n"), readMe, drivers};
  return image;
}

TEST(MediumReader, ReadsEachTreeAsTheImageRecordsIt) {
  struct Case {
    const char* name;
    std::function<Medium()> read;
    std::string primary;
    const char* joliet;  // null: no Joliet tree
    bool rockRidge;
  };
  const char* kPrimary = "\\QUELM.INI;1 15\n\\READ_ME_.TXT;1 5\n\\DRIVERS\\\n\\DRIVERS\\EXAMPLE.INF;1 3\n";
  const char* kJoliet =
      "\\QUELM.INI 15\n\\Read me first.txt 5\n\\Drivers for Windows\\\n\\Drivers for Windows\\EXAMPLE.INF 3\n";
  const Case cases[] = {
      {"plain ISO 9660",
       [] {
         return Iso(DriverCd(false, false));
       },
       kPrimary, nullptr, false},
      {"with a Joliet volume",
       [] {
         return Iso(DriverCd(true, false));
       },
       kPrimary, kJoliet, false},
      {"with Rock Ridge names",
       [] {
         return Iso(DriverCd(false, true));
       },
       "\\QUELM.INI;1 15\n\\READ_ME_.TXT;1 5 rock-ridge=read me first.txt\n"
       "\\DRIVERS\\ rock-ridge=drivers-for-windows\n\\DRIVERS\\EXAMPLE.INF;1 3\n",
       nullptr, true},
      {"a Rock Ridge name continued in another sector",
       [] {
         IsoImage image;
         image.rockRidge = true;
         IsoNode file = IsoFile("LONG.TXT;1", "", "x");
         file.rockRidge = std::string(240, 'n');
         image.root.children = {file};
         return Iso(image);
       },
       "\\LONG.TXT;1 1 rock-ridge=" + std::string(240, 'n') + "\n", nullptr, true},
      {"associated files left out, hidden ones kept",
       [] {
         IsoImage image;
         IsoNode associated = IsoFile("README.TXT;1", "", "resource fork");
         associated.flags = 0x04;
         IsoNode hidden = IsoFile("HIDDEN.TXT;1", "", "h");
         hidden.flags = 0x01;
         image.root.children = {associated, IsoFile("README.TXT;1", "", "text"), hidden};
         return Iso(image);
       },
       "\\README.TXT;1 4\n\\HIDDEN.TXT;1 1 hidden\n", nullptr, false},
      {"FAT with long names",
       [] {
         FatImage image;
         image.root = {FatFile("QUELM.INI", "", "[Application]\r\n"),
                       FatFile("README~1.TXT", "Read me first.txt", "hello"),
                       FatFolder("DRIVER~1", "Drivers for Windows", {FatFile("EXAMPLE.INF", "", "[x]")})};
         return Fat(image);
       },
       "\\QUELM.INI 15\n\\README~1.TXT 5 long=Read me first.txt\n\\DRIVER~1\\ long=Drivers for Windows\n"
       "\\DRIVER~1\\EXAMPLE.INF 3\n",
       nullptr, false},
      {"a long name of exactly 26 characters, without a terminator",
       [] {
         FatImage image;
         image.root = {FatFile("ABCDEF~1.TXT", "abcdefghijklmnopqrstuv.txt", "x")};
         return Fat(image);
       },
       "\\ABCDEF~1.TXT 1 long=abcdefghijklmnopqrstuv.txt\n", nullptr, false},
      {"a long name whose checksum belongs to another 8.3 name",
       [] {
         FatImage image;
         FatNode file = FatFile("README~1.TXT", "Read me first.txt", "hello");
         file.wrongChecksum = true;
         image.root = {file};
         return Fat(image);
       },
       "\\README~1.TXT 5 fault=the checksum of its long-name entries does not match its 8.3 name\n", nullptr,
       false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const Medium medium = test.read();
    EXPECT_EQ(test.primary, Listing(medium.root));
    EXPECT_EQ(test.joliet != nullptr, medium.joliet.has_value());
    if (test.joliet && medium.joliet) EXPECT_EQ(test.joliet, Listing(*medium.joliet));
    EXPECT_EQ(test.rockRidge, medium.rockRidge);
  }
}

TEST(MediumReader, ReadsAFilesBytesAcrossItsSectorsAndClusters) {
  std::string text;
  for (int line = 0; text.size() < 5000; ++line) text += "line " + std::to_string(line) + "\r\n";
  IsoImage cd;
  cd.joliet = true;
  cd.root.children = {IsoFile("EMPTY.TXT;1", "EMPTY.TXT", ""), IsoFile("LONG.TXT;1", "Long.txt", text)};
  FatImage floppy;
  floppy.root = {FatFile("EMPTY.TXT", "", ""), FatFile("LONG.TXT", "Long text.txt", text)};
  const Medium iso = Iso(cd);
  const Medium fat = Fat(floppy);
  struct Case {
    const char* name;
    const Medium* medium;
    const MediumEntry* entry;
    std::string expected;
  };
  const Case cases[] = {
      {"ISO 9660, three sectors", &iso, &iso.root.children[1], text},
      {"the same file in the Joliet tree", &iso, &iso.joliet->children[1], text},
      {"ISO 9660, empty", &iso, &iso.root.children[0], ""},
      {"FAT, ten clusters", &fat, &fat.root.children[1], text},
      {"FAT, empty", &fat, &fat.root.children[0], ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(test.expected, ReadEntry(*test.medium, *test.entry, 1 << 20));
  }
  EXPECT_THROW(ReadEntry(fat, fat.root.children[1], text.size() - 1), MediumError);
}

// Each hostile image is refused as a whole, with a text that says what is wrong and where.
TEST(MediumReader, RefusesHostileImagesWithAClearError) {
  struct Case {
    const char* name;
    std::function<Medium()> read;
    const char* error;  // a part of the text
  };
  const Case cases[] = {
      {"ISO: a folder that is the root folder again",
       [] {
         IsoImage image;
         IsoNode loop = IsoFolder("LOOP", "", {});
         loop.sector = IsoImage::kFirstData;
         image.root.children = {loop};
         return Iso(image);
       },
       "directory loop: the folder \"\\LOOP\" is the folder at sector 20, which was read before"},
      {"ISO: a Joliet folder that is its parent",
       [] {
         IsoImage image;
         image.joliet = true;
         IsoNode loop = IsoFolder("LOOP", "Loop", {});
         image.root.children = {loop};
         std::string bytes = image.Build();
         // The Joliet root follows the primary tree's two sectors; its LOOP record is the third.
         const size_t record = (IsoImage::kFirstData + 2) * IsoImage::kSector + 68;
         for (int i = 0; i < 4; ++i)
           bytes[record + 2 + i] = static_cast<char>((IsoImage::kFirstData + 2) >> (8 * i));
         return ReadIso9660(ImageBytes::FromMemory(bytes));
       },
       "directory loop: the folder \"\\Loop\""},
      {"ISO: a file's extent past the end",
       [] {
         IsoImage image;
         IsoNode file = IsoFile("README.TXT;1", "", "x");
         file.sector = 100000;
         image.root.children = {file};
         return Iso(image);
       },
       "the extent of \"\\README.TXT;1\" (sector 100000, 1 bytes) lies past the end of the image (22 sectors)"},
      {"ISO: a file of 4 GiB in a small image",
       [] {
         IsoImage image;
         IsoNode file = IsoFile("README.TXT;1", "", "x");
         file.size = 0xFFFFFFFF;
         image.root.children = {file};
         return Iso(image);
       },
       "4294967295 bytes) lies past the end of the image"},
      {"ISO: a folder of 20 MiB of records",
       [] {
         IsoImage image;
         IsoNode folder = IsoFolder("BIG", "", {});
         folder.size = 20 << 20;
         image.root.children = {folder};
         std::string bytes = image.Build();
         bytes.resize(bytes.size() + (21 << 20), '\0');
         return ReadIso9660(ImageBytes::FromMemory(bytes));
       },
       "the folder \"\\BIG\" says its records take 20971520 bytes, more than 16777216"},
      {"ISO: a 300-character Rock Ridge name",
       [] {
         IsoImage image;
         image.rockRidge = true;
         IsoNode file = IsoFile("LONG.TXT;1", "", "x");
         file.rockRidge = std::string(300, 'n');
         image.root.children = {file};
         return Iso(image);
       },
       "the Rock Ridge name of \"\\LONG.TXT;1\" is longer than 255 bytes"},
      {"ISO: a record shorter than its header",
       [] {
         IsoImage image;
         image.root.children = {IsoFile("README.TXT;1", "", "x")};
         std::string bytes = image.Build();
         bytes[IsoImage::kFirstData * IsoImage::kSector + 68] = 20;
         return ReadIso9660(ImageBytes::FromMemory(bytes));
       },
       "a record at byte 68 of the folder \"\\\" is shorter than 34 bytes"},
      {"ISO: cut short before its descriptors",
       [] {
         IsoImage image;
         return ReadIso9660(ImageBytes::FromMemory(image.Build().substr(0, 16 * IsoImage::kSector)));
       },
       "no ISO 9660 volume descriptor at sector 16"},
      {"ISO: cut short after its descriptors",
       [] {
         IsoImage image;
         image.root.children = {IsoFile("README.TXT;1", "", "x")};
         return ReadIso9660(ImageBytes::FromMemory(image.Build().substr(0, 20 * IsoImage::kSector)));
       },
       "the root folder of the primary volume (sector 20, 2048 bytes) lies past the end of the image"},
      {"FAT: a 300-character long name",
       [] {
         FatImage image;
         image.root = {FatFile("LONGNA~1.TXT", std::string(296, 'n') + ".txt", "x")};
         return Fat(image);
       },
       "a long name in \"\\\" of 24 entries, more than the 255 characters Windows takes"},
      {"FAT: a long name of 256 characters in 20 entries",
       [] {
         FatImage image;
         image.root = {FatFile("LONGNA~1.TXT", std::string(252, 'n') + ".txt", "x")};
         return Fat(image);
       },
       "the long name of \"\\LONGNA~1.TXT\" has 256 characters, more than the 255 Windows takes"},
      {"FAT: a chain that comes back to its first cluster",
       [] {
         FatImage image;
         image.root = {FatFile("README.TXT", "", std::string(1500, 'x'))};
         image.chainEdits = {{3, 2}};
         return Fat(image);
       },
       "cluster loop: the chain of \"\\README.TXT\" comes back to cluster 2"},
      {"FAT: a chain into a cluster marked bad",
       [] {
         FatImage image;
         image.root = {FatFile("README.TXT", "", std::string(1500, 'x'))};
         image.chainEdits = {{2, 0xFF7}};
         return Fat(image);
       },
       "bad cluster chain: \"\\README.TXT\" runs into a cluster marked bad"},
      {"FAT: a chain to a cluster the volume does not have",
       [] {
         FatImage image;
         image.root = {FatFile("README.TXT", "", std::string(1500, 'x'))};
         image.chainEdits = {{2, 500}};
         return Fat(image);
       },
       "bad cluster chain: \"\\README.TXT\" goes to cluster 500, which the volume does not have"},
      {"FAT: a chain shorter than the file",
       [] {
         FatImage image;
         FatNode file = FatFile("README.TXT", "", "x");
         file.size = 5000;
         image.root = {file};
         return Fat(image);
       },
       "bad cluster chain: the chain of \"\\README.TXT\" ends after 1 of the 10 clusters its size needs"},
      {"FAT: a file of 4 GiB on a floppy",
       [] {
         FatImage image;
         FatNode file = FatFile("README.TXT", "", "x");
         file.size = 0xFFFFFFFF;
         image.root = {file};
         return Fat(image);
       },
       "\"\\README.TXT\" says it is 4294967295 bytes, more than the volume holds"},
      {"FAT: a folder that starts at the root folder",
       [] {
         FatImage image;
         FatNode loop = FatFolder("LOOP", "", {});
         loop.firstCluster = 0;
         image.root = {loop};
         return Fat(image);
       },
       "directory loop: the folder \"\\LOOP\" starts at cluster 0, the root folder's"},
      {"FAT: a folder that is its own parent",
       [] {
         FatImage image;
         FatNode inner = FatFolder("INNER", "", {});
         inner.firstCluster = 2;  // the outer folder's first cluster
         image.root = {FatFolder("OUTER", "", {inner})};
         return Fat(image);
       },
       "directory loop: the folder \"\\OUTER\\INNER\" starts at cluster 2, which was read before"},
      {"FAT: clusters past the end of the image",
       [] {
         FatImage image;
         image.root = {FatFile("README.TXT", "", std::string(1500, 'x'))};
         return ReadFat(ImageBytes::FromMemory(image.Build().substr(0, 7 * FatImage::kSector)));
       },
       "cluster 3 of \"\\README.TXT\" lies past the end of the image (3584 bytes)"},
      {"FAT: no sectors per FAT, as FAT32 has",
       [] {
         FatImage image;
         std::string bytes = image.Build();
         bytes[22] = 0;
         return ReadFat(ImageBytes::FromMemory(bytes));
       },
       "a FAT32 volume, not a FAT12 or FAT16 floppy"},
      {"FAT: a boot sector that is no boot sector",
       [] {
         return ReadFat(ImageBytes::FromMemory(std::string(1024, 'x')));
       },
       "no FAT boot sector: a sector size of 30840 bytes"},
      {"FAT: shorter than a boot sector",
       [] {
         return ReadFat(ImageBytes::FromMemory(std::string(100, '\0')));
       },
       "shorter than a boot sector (512 bytes)"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    try {
      const Medium medium = test.read();
      ADD_FAILURE() << "read without an error:\n" << Listing(medium.root);
    } catch (const MediumError& fault) {
      EXPECT_NE(std::string::npos, std::string(fault.what()).find(test.error))
          << "expected \"" << test.error << "\" in \"" << fault.what() << '"';
    }
  }
}

}  // namespace
}  // namespace quelm::tool
