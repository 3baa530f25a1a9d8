// The simulated registry tree and its .reg loader: accepted syntax, stored data and rejected lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/RegFile.h"
#include "sim/SimRegistry.h"
#include "support/SimDisk.h"

namespace quelm::sim {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<uint8_t>;

Bytes BytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

std::vector<std::string> ChildNames(const RegistryKey& key) {
  std::vector<std::string> names;
  for (const auto& child : key.Children()) names.push_back(child->Name());
  return names;
}

TEST(RegistryKey, KeepsChildrenSortedAndMatchesNamesWithoutCase) {
  RegistryKey key("root");
  for (const char* name : {"beta", "_under", "Alpha", "alpha2", "\xE9t\xE9", "ALPHA", "Beta"})
    key.Child(name);
  // Capitals-folded order puts "_" after the letters; "ALPHA" and "Beta" found the existing keys.
  EXPECT_EQ(ChildNames(key), (std::vector<std::string>{"Alpha", "alpha2", "beta", "_under", "\xE9t\xE9"}));
  EXPECT_EQ(key.FindChild("BETA"), &key.Child("beta"));
  EXPECT_EQ(key.FindChild("\xC9T\xC9"), nullptr) << "only A to Z are folded";
  key.RemoveChild("ALPHA2");
  EXPECT_EQ(ChildNames(key), (std::vector<std::string>{"Alpha", "beta", "_under", "\xE9t\xE9"}));
}

TEST(RegistryKey, CopiesAreDeepAndWhole) {
  struct Case {
    const char* name;
    size_t depth;
    size_t width;
  };
  const Case cases[] = {
      {"one key", 0, 0}, {"wide", 1, 40}, {"as deep as a registry goes", kMaxRegistryDepth, 2}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    Registry original;
    std::string path = "Top";
    for (size_t level = 0; level < test.depth; ++level) {
      for (size_t other = 1; other < test.width; ++other)
        original.SetString(path + "\\w" + std::to_string(other), "n", "x");
      path += "\\k";
      original.SetDword(path, "level", static_cast<uint32_t>(level));
    }
    original.Create("Top").accessDenied = true;
    Registry copy = original;
    original.SetDword(path, "level", 9999);  // the copy shares nothing with the original
    original.LocalMachine().RemoveChild("Top");
    ASSERT_NE(copy.Find("Top"), nullptr);
    EXPECT_TRUE(copy.Find("Top")->accessDenied);
    std::string walked = "Top";
    for (size_t level = 0; level < test.depth; ++level) {
      EXPECT_EQ(ChildNames(*copy.Find(walked)).size(), test.width) << walked;
      walked += "\\k";
      const RegistryValue* value = copy.Find(walked) ? copy.Find(walked)->FindValue("level") : nullptr;
      ASSERT_NE(value, nullptr) << "level " << level;
      const uint32_t stored = value->data[0] | static_cast<uint32_t>(value->data[1]) << 8;
      EXPECT_EQ(stored, level);
    }
  }
}

TEST(RegistryKey, ValuesByNameWithoutCase) {
  RegistryKey key("k");
  key.SetValue({"Name", kRegString, BytesOf("one\0"s)});
  key.SetValue({"NAME", kRegDword, {1, 0, 0, 0}});
  const RegistryValue* value = key.FindValue("name");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->name, "Name") << "rewriting keeps the first spelling";
  EXPECT_EQ(value->type, kRegDword);
  EXPECT_EQ(value->data, (Bytes{1, 0, 0, 0}));
  key.RemoveValue("nAmE");
  EXPECT_EQ(key.FindValue("Name"), nullptr);
}

TEST(Registry, FindsAndCreatesPaths) {
  Registry registry;
  RegistryKey& created = registry.Create("Software\\Vendor\\Product");
  EXPECT_EQ(registry.Find("\\SOFTWARE\\vendor\\product"), &created);
  EXPECT_EQ(registry.Find(""), &registry.LocalMachine());
  EXPECT_EQ(registry.Find("Software\\Missing"), nullptr);
  EXPECT_EQ(&registry.Create("software\\VENDOR"), registry.Find("Software\\Vendor"));
  EXPECT_EQ(ChildNames(registry.LocalMachine()), (std::vector<std::string>{"Software"}));
}

TEST(Registry, SetsStringsAndDwordsAsRegQueryValueExAReturnsThem) {
  Registry registry;
  registry.SetString("A\\B", "Text", "abc");
  registry.SetDword("A\\B", "Number", 0x12345678);
  const RegistryKey* key = registry.Find("A\\B");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->FindValue("Text")->type, kRegString);
  EXPECT_EQ(key->FindValue("Text")->data, BytesOf("abc\0"s));
  EXPECT_EQ(key->FindValue("Number")->type, kRegDword);
  EXPECT_EQ(key->FindValue("Number")->data, (Bytes{0x78, 0x56, 0x34, 0x12}));
}

struct LoadCase {
  const char* name;
  std::string text;
  const char* key;
  const char* value;
  uint32_t type;
  Bytes data;
};

TEST(Registry, LoadsValuesOfEverySyntax) {
  const std::string v4 = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Soft]\r\n";
  const std::string v5 = "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\Soft]\r\n";
  const LoadCase cases[] = {
      {"string", v4 + "\"s\"=\"text\"", "Soft", "s", kRegString, BytesOf("text\0"s)},
      {"escapes regedit writes", v4 + R"("s"="C:\\dir \"q\"")", "Soft", "s", kRegString,
       BytesOf("C:\\dir \"q\"\0"s)},
      {"escapes Wine reads", v4 + R"("s"="a\nb\rc\0d")", "Soft", "s", kRegString, BytesOf("a\nb\rc\0d\0"s)},
      {"escaped value name", v4 + R"("a\"b"="x")", "Soft", "a\"b", kRegString, BytesOf("x\0"s)},
      {"default value", v4 + "@=\"dflt\"", "Soft", "", kRegString, BytesOf("dflt\0"s)},
      {"blanks around =, comment after", v4 + "\"s\" = \"t\" ; note", "Soft", "s", kRegString,
       BytesOf("t\0"s)},
      {"8-bit text kept", v4 + "\"s\"=\"\xE9\x80\"", "Soft", "s", kRegString, BytesOf("\xE9\x80\0"s)},
      {"dword", v4 + "\"d\"=dword:0000001f", "Soft", "d", kRegDword, {0x1f, 0, 0, 0}},
      {"short dword", v4 + "\"d\"=dword:ABC", "Soft", "d", kRegDword, {0xbc, 0x0a, 0, 0}},
      {"binary", v4 + "\"b\"=hex:01,2,ff", "Soft", "b", kRegBinary, {1, 2, 0xff}},
      {"empty binary", v4 + "\"b\"=hex:", "Soft", "b", kRegBinary, {}},
      {"continued over lines, comments between",
       v4 + "\"b\"=hex:01,\\\r\n  ; note\r\n\r\n  02,\\\n  03",
       "Soft",
       "b",
       kRegBinary,
       {1, 2, 3}},
      {"typed hex", v4 + "\"q\"=hex(b):01,00", "Soft", "q", 0xb, {1, 0}},
      {"REGEDIT4 hex strings are 8-bit", v4 + "\"e\"=hex(2):25,41,25,00", "Soft", "e", kRegExpandString,
       BytesOf("%A%\0"s)},
      {"hex string gains its terminator", v4 + "\"e\"=hex(2):41", "Soft", "e", kRegExpandString,
       BytesOf("A\0"s)},
      {"version 5 hex strings are UTF-16", v5 + "\"m\"=hex(7):41,00,00,00,42,00,2d,4e,00,00,00,00", "Soft",
       "m", 7, BytesOf("A\0B?\0\0"s)},
      {"short root, any case", "REGEDIT4\n[hklm\\Short\\Path]\n\"s\"=\"x\"", "Short\\Path", "s", kRegString,
       BytesOf("x\0"s)},
      {"CR line ends", "REGEDIT4\r[HKLM\\Soft]\r\"s\"=\"cr\"\r", "Soft", "s", kRegString, BytesOf("cr\0"s)},
      {"UTF-8 mark skipped", "\xEF\xBB\xBFREGEDIT4\n[HKLM\\Soft]\n\"s\"=\"x\"", "Soft", "s", kRegString,
       BytesOf("x\0"s)},
      {"later value line replaces",
       v4 + "\"s\"=\"one\"\r\n\"S\"=dword:2",
       "Soft",
       "s",
       kRegDword,
       {2, 0, 0, 0}},
  };
  for (const LoadCase& test : cases) {
    SCOPED_TRACE(test.name);
    Registry registry;
    LoadRegText(registry, test.text, "case.reg");
    const RegistryKey* key = registry.Find(test.key);
    ASSERT_NE(key, nullptr);
    const RegistryValue* value = key->FindValue(test.value);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, test.type);
    EXPECT_EQ(value->data, test.data);
  }
}

TEST(Registry, LoadsDeletionsAndEmptyKeys) {
  Registry registry;
  registry.SetString("Gone\\Deep\\Er", "v", "x");
  registry.SetString("Kept", "drop", "x");
  registry.SetString("Kept", "stay", "x");
  LoadRegText(registry,
              "REGEDIT4\n[-HKLM\\gone]\n[-HKLM\\Never\\There]\n[HKLM\\Kept]\n\"DROP\"=-\n\"absent\"=-\n["
              "HKLM\\Empty\\Key]\n",
              "case.reg");
  EXPECT_EQ(registry.Find("Gone"), nullptr);
  EXPECT_EQ(registry.Find("Never"), nullptr);
  EXPECT_EQ(registry.Find("Kept")->FindValue("drop"), nullptr);
  EXPECT_NE(registry.Find("Kept")->FindValue("stay"), nullptr);
  EXPECT_NE(registry.Find("Empty\\Key"), nullptr);
}

struct ErrorCase {
  const char* name;
  std::string text;
  unsigned line;
  const char* message;  // a part of what() after "bad.reg:LINE: "
};

TEST(Registry, RejectsFaultyFilesNamingTheLineAndChangesNothing) {
  // Three good lines first, so every fault below comes after changes that must not be applied.
  const std::string good = "REGEDIT4\r\n[HKLM\\Kept]\r\n\"v\"=\"new\"\r\n";
  std::string tooDeep = "[HKLM";
  for (size_t level = 0; level <= kMaxRegistryDepth; ++level) tooDeep += "\\k";
  const ErrorCase cases[] = {
      {"a key deeper than any registry holds", good + tooDeep + "]", 4, "levels deep"},
      {"wrong header", "REGEDIT5\r\n[HKLM\\Kept]\r\n", 1, "first line"},
      {"empty file", "", 1, "first line"},
      {"a bad value in a hive that is left out", good + "[HKEY_CURRENT_USER\\Software]\r\n\"w\"=qword:1", 5,
       "unknown value type"},
      {"unknown root key", good + "[HKEY_NOWHERE\\X]", 4, "unknown root key"},
      {"key line without ]", good + "[HKLM\\Open", 4, "closing ]"},
      {"text after a key", good + "[HKLM\\Kept] x", 4, "after the key name"},
      {"deleting the root", good + "[-HKEY_LOCAL_MACHINE]", 4, "cannot be deleted"},
      {"value before any key", "REGEDIT4\r\n\"v\"=\"x\"\r\n", 2, "before any key"},
      {"value after a deleted key", good + "[-HKLM\\Kept]\r\n\"v\"=\"x\"", 5, "deletion"},
      {"unterminated string", good + "\"w\"=\"open", 4, "unterminated string"},
      {"string ending in a backslash", good + "\"w\"=\"open\\", 4, "unterminated string"},
      {"unterminated value name", good + "\"w=\"x\"", 4, "expected ="},
      {"unknown escape", good + "\"w\"=\"C:\\dir\"", 4, "unknown escape"},
      {"garbage after a string", good + "\"w\"=\"x\" y", 4, "after the string"},
      {"garbage after a deletion", good + "\"w\"=- y", 4, "after the deletion"},
      {"missing =", good + "\"w\" \"x\"", 4, "expected ="},
      {"missing data", good + "\"w\"=", 4, "missing value data"},
      {"unknown type", good + "\"w\"=qword:1", 4, "unknown value type"},
      {"dword too long", good + "\"w\"=dword:123456789", 4, "1 to 8 hex digits"},
      {"dword empty", good + "\"w\"=dword:", 4, "1 to 8 hex digits"},
      {"garbage after a dword", good + "\"w\"=dword:12x", 4, "after the dword"},
      {"bad hex byte", good + "\"w\"=hex:01,zz", 4, "bad hex byte"},
      {"hex byte of three digits", good + "\"w\"=hex:123", 4, "bad hex byte"},
      {"hex bytes without comma", good + "\"w\"=hex:01 02", 4, "comma"},
      {"bad hex type", good + "\"w\"=hex(x):01", 4, "hex(N)"},
      {"bad hex in a continued line", good + "\"w\"=hex:01,\\\r\n\r\n  02,zz", 6, "bad hex byte"},
      {"continued line not hex", good + "\"w\"=hex:01,\\\r\n[HKLM\\Other]", 5, "continued line"},
      {"stray line", good + "Name=value", 4, "not a key, value or comment"},
  };
  for (const ErrorCase& test : cases) {
    SCOPED_TRACE(test.name);
    Registry registry;
    registry.SetString("Kept", "v", "old");
    try {
      LoadRegText(registry, test.text, "bad.reg");
      ADD_FAILURE() << "loaded without error";
    } catch (const RegFileError& error) {
      EXPECT_EQ(error.line, test.line) << error.what();
      const std::string prefix = "bad.reg:" + std::to_string(test.line) + ": ";
      EXPECT_EQ(std::string(error.what()).substr(0, prefix.size()), prefix);
      EXPECT_NE(std::string(error.what()).find(test.message), std::string::npos) << error.what();
    }
    EXPECT_EQ(registry.Find("Kept")->FindValue("v")->data, BytesOf("old\0"s));
    EXPECT_EQ(ChildNames(registry.LocalMachine()), (std::vector<std::string>{"Kept"}));
  }
}

// Little-endian UTF-16 with its mark, as regedit writes version 5 files.
std::string Utf16(const std::string& text) {
  std::string out = "\xFF\xFE";
  for (const char c : text) out += std::string{c, '\0'};
  return out;
}

// A whole-registry export holds every hive: HKEY_LOCAL_MACHINE is kept, the others are read over and
// named, and only once each. The files are written out and loaded as --registry loads them, a piece at
// a time, so that a line, a CR LF or a UTF-16 unit cut between two pieces is put together again.
TEST(Registry, LoadsWholeRegistryExportsOfAnySize) {
  const std::string kept =
      "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_1A2B&DEV_3C4D\\000800]\r\n\"Class\"=\"Display\"\r\n";
  const std::string user = "[HKEY_CURRENT_USER\\Software\\Vendor]\r\n\"Setting\"=dword:00000001\r\n";
  const std::string users = "[HKEY_USERS\\.DEFAULT\\Control Panel]\r\n@=\"x\"\r\n";
  // Filler keys of HKEY_CLASSES_ROOT, enough to make the file cross many pieces.
  std::string classes;
  for (int index = 0; index < 4000; ++index) {
    classes += "[HKEY_CLASSES_ROOT\\.ext" + std::to_string(index) + "]\r\n@=\"file type " +
               std::to_string(index) + "\"\r\n";
  }
  struct Case {
    const char* name;
    std::string contents;
    std::vector<std::string> skipped;
  };
  const std::string v4 = "REGEDIT4\r\n\r\n";
  const std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n";
  const Case cases[] = {
      {"HKEY_LOCAL_MACHINE alone", v4 + kept, {}},
      {"between the other hives", v4 + user + kept + users + user, {"HKEY_CURRENT_USER", "HKEY_USERS"}},
      {"after 280 KB of another hive", v4 + classes + kept, {"HKEY_CLASSES_ROOT"}},
      {"UTF-16, after another hive",
       Utf16(v5 + classes + kept + user),
       {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER"}},
      {"lines ending in LF alone", v4 + classes + kept, {"HKEY_CLASSES_ROOT"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempFolder folder;
    std::string contents = c.contents;
    if (std::string(c.name) == "lines ending in LF alone") std::erase(contents, '\r');
    folder.Write("export.reg", contents);
    Registry registry;
    EXPECT_EQ(c.skipped, LoadRegFile(registry, folder.Path() / "export.reg"));
    const RegistryKey* card = registry.Find("Enum\\PCI\\VEN_1A2B&DEV_3C4D\\000800");
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->FindValue("Class")->data, BytesOf("Display\0"s));
    EXPECT_EQ(ChildNames(registry.LocalMachine()), (std::vector<std::string>{"Enum"}))
        << "nothing of the other hives";
  }
}

// Larger than anything else the simulated machine reads (16 MiB): an export of a real machine is.
TEST(Registry, LoadsAnExportLargerThanOtherFiles) {
  testing::TempFolder folder;
  std::string contents = "REGEDIT4\r\n";
  const std::string filler(1000, 'x');
  for (int index = 0; contents.size() <= (size_t{17} << 20); ++index) {
    contents += "[HKEY_CURRENT_USER\\Filler\\K" + std::to_string(index) + "]\r\n\"v\"=\"" + filler + "\"\r\n";
  }
  contents += "[HKLM\\Last]\r\n\"v\"=\"end\"\r\n";
  folder.Write("big.reg", contents);
  Registry registry;
  EXPECT_EQ((std::vector<std::string>{"HKEY_CURRENT_USER"}),
            LoadRegFile(registry, folder.Path() / "big.reg"));
  ASSERT_NE(registry.Find("Last"), nullptr);
  EXPECT_EQ(registry.Find("Last")->FindValue("v")->data, BytesOf("end\0"s));
}

TEST(Registry, LoadsRegeditUtf16Export) {
  Registry registry;
  LoadRegFile(registry, QUELM_TEST_DATA_DIR "/reg/utf16-export.reg");
  const RegistryKey* pci = registry.Find("Enum\\PCI");
  ASSERT_NE(pci, nullptr);
  EXPECT_EQ(ChildNames(*pci),
            (std::vector<std::string>{"VEN_1234&DEV_5678&SUBSYS_00000000&REV_01", "ven_1234&dev_9999"}));
  const RegistryKey* device = pci->FindChild("ven_1234&dev_5678&subsys_00000000&rev_01")->FindChild("000800");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->FindValue("DeviceDesc")->data, BytesOf("Test Card \xE9?\0"s));
  EXPECT_EQ(device->FindValue("HardwareID")->data, BytesOf("PCI\\VEN_1234\0\0"s));
  EXPECT_EQ(device->FindValue("Driver")->data, BytesOf("%WINDIR%\0"s));
  EXPECT_EQ(device->FindValue("ConfigFlags")->data, (Bytes{0, 4, 0, 0}));
  EXPECT_EQ(pci->FindChild("VEN_1234&DEV_9999")->FindValue("")->data, BytesOf("default\0"s));
}

TEST(Registry, ReportsAFileThatCannotBeOpened) {
  Registry registry;
  const std::string path = QUELM_TEST_DATA_DIR "/reg/no-such-file.reg";
  try {
    LoadRegFile(registry, path);
    ADD_FAILURE() << "loaded a missing file";
  } catch (const RegFileError& error) {
    EXPECT_EQ(error.line, 0u);
    EXPECT_EQ(std::string(error.what()), path + ": cannot open: No such file or directory");
  }
}

}  // namespace
}  // namespace quelm::sim
