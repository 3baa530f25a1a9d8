// The simulated profile reader against the behaviour of Wine's GetPrivateProfileStringA.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimProfile.h"
#include "support/SimDisk.h"

namespace quelm::sim {
namespace {

using namespace std::string_literals;

constexpr char kJunk = '#';

struct ReadResult {
  uint32_t length = 0;
  std::string text;         // up to the terminator
  bool terminated = false;  // a zero at text.size(), which equals the returned length
  bool junkIntact = false;  // nothing written at or past `size`
};

ReadResult Read(const std::optional<std::string>& file, const char* section, const char* key,
                const char* defaultValue, uint32_t size) {
  std::vector<char> buffer(size + 8, kJunk);
  const std::string_view view = file ? std::string_view(*file) : std::string_view();
  ReadResult result;
  result.length = ReadProfileString(file ? &view : nullptr, section, key, defaultValue, buffer.data(), size);
  const auto zero = std::find(buffer.begin(), buffer.begin() + size, '\0');
  result.text.assign(buffer.begin(), zero);
  result.terminated = zero != buffer.begin() + size && result.text.size() == result.length;
  result.junkIntact = std::all_of(buffer.begin() + size, buffer.end(), [](char c) {
    return c == kJunk;
  });
  return result;
}

struct LookupCase {
  const char* name;
  std::optional<std::string> file;
  const char* section;
  const char* key;
  const char* defaultValue;
  const char* expected;
};

const std::string kSample =
    "top=before any section\r\n"
    "[Sec]\r\n"
    "  spaced  =  inner  blanks  \r\n"
    "tabbed\t=\tvalue\t\r\n"
    "dq=\"quoted\"\r\n"
    "sq='single'\r\n"
    "inner=\"a\" and \"b\"\r\n"
    "mismatch=\"x'\r\n"
    "lone=\"\r\n"
    "pair=\"\"\r\n"
    "padded=\"  kept  \"\r\n"
    "empty=\r\n"
    "noequals\r\n"
    ";comment=seen as a key\r\n"
    "=empty key\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    "bare\r\n"
    "bare=hidden by the line above\r\n"
    "a b = c d\r\n"
    "[Sec\r\n"
    "afterunclosed=still in Sec\r\n"
    "[ Other ] trailing text\r\n"
    "k=other\r\n"
    "[x]y]\r\n"
    "k=last bracket\r\n"
    "[sec]\r\n"
    "late=second section of the same name\r\n"
    "[]\r\n"
    "top=never reached\r\n";

TEST(ReadProfileString, FindsValuesAsWineDoes) {
  const LookupCase cases[] = {
      {"plain", kSample, "Sec", "dq", "d", "quoted"},
      {"section and key without regard to case", kSample, "sEC", "DQ", "d", "quoted"},
      {"names asked for lose their spaces", kSample, " Sec  ", " dq ", "d", "quoted"},
      // Windows 10 keeps a tab around a name asked for (first-hand tests; Wine drops it).
      {"a tab around a section asked for stays", kSample, "Sec\t", "dq", "d", "d"},
      {"a tab around a key asked for stays", kSample, "Sec", "\tdq", "d", "d"},
      {"blanks around key and value removed", kSample, "Sec", "spaced", "d", "inner  blanks"},
      {"tabs are blanks", kSample, "Sec", "tabbed", "d", "value"},
      {"single quotes removed", kSample, "Sec", "sq", "d", "single"},
      {"only the enclosing pair removed", kSample, "Sec", "inner", "d", "a\" and \"b"},
      {"quotes that do not match stay", kSample, "Sec", "mismatch", "d", "\"x'"},
      {"a lone quote stays", kSample, "Sec", "lone", "d", "\""},
      {"two quotes give empty", kSample, "Sec", "pair", "d", ""},
      {"blanks inside quotes stay", kSample, "Sec", "padded", "d", "  kept  "},
      {"empty value is not the default", kSample, "Sec", "empty", "d", ""},
      {"line without = gives the default", kSample, "Sec", "noequals", "d", "d"},
      {"comment line is a key by name", kSample, "Sec", ";comment", "d", "seen as a key"},
      {"= with empty key", kSample, "Sec", "", "d", "empty key"},
      {"first key of a name wins", kSample, "Sec", "DUP", "d", "first"},
      {"key without = hides a later one", kSample, "Sec", "bare", "d", "d"},
      {"blanks inside names", kSample, "Sec", "a b", "d", "c d"},
      {"[ without ] is a key line", kSample, "Sec", "[Sec", "d", "d"},
      {"lines after [ without ] stay in the section", kSample, "Sec", "afterunclosed", "d", "still in Sec"},
      {"blanks around section name, text after ]", kSample, "other", "k", "d", "other"},
      {"section name runs to the last ]", kSample, "x]y", "k", "d", "last bracket"},
      {"only the first section of a name", kSample, "Sec", "late", "d", "d"},
      {"lines before the first section", kSample, "", "top", "d", "before any section"},
      {"blank section name means the same", kSample, "  ", "top", "d", "before any section"},
      {"a later [] section is not the empty name", "[S]\r\nk=1\r\n[ ]\r\nk=2\r\n", "", "k", "d", "d"},
      {"first key wins whatever its case", "[S]\r\nKey=upper\r\nkey=lower\r\n", "s", "KEY", "d", "upper"},
      {"missing key", kSample, "Sec", "absent", "fallback", "fallback"},
      {"missing section", kSample, "Absent", "dq", "fallback", "fallback"},
      {"missing file", std::nullopt, "Sec", "dq", "fallback", "fallback"},
      {"empty file", "", "", "top", "fallback", "fallback"},
      {"CR alone ends a line", "[S]\rk=cr\r\rj=x", "S", "k", "d", "cr"},
      {"LF alone ends a line", "[S]\nk=lf\n", "S", "k", "d", "lf"},
      {"no line end at the end of the file", "[S]\r\nk=last", "S", "k", "d", "last"},
      {"^Z, vertical tab and form feed are blanks", "\x1a[S]\x1a\r\nk=\x0bv\x1a\x0c\r\n", "S", "k", "d", "v"},
      {"NUL cuts a value", "[S]\r\nk=a\0b\r\n"s, "S", "k", "d", "a"},
      {"NUL cuts a key name", "[S]\r\nk\0junk=v\r\n"s, "S", "k", "d", "v"},
      {"8-bit text passes unchanged", "[S\xE9]\r\nk=\x80\xFF\r\n", "S\xE9", "k", "d", "\x80\xFF"},
      // Wine folds only A to Z; Windows would match these.
      {"accented letters are not folded", "[S\xE9]\r\nk=v\r\n", "S\xC9", "k", "d", "d"},
      // The reader takes bytes: marks are the business of the Windows version that reads the file.
      {"a UTF-8 mark makes line 1 no header", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", "d", "d"},
      {"UTF-16 is bytes with zeros between", "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0v\0"s, "S", "k", "d", "d"},
      {"default loses trailing spaces", kSample, "Sec", "absent", "two words  ", "two words"},
      {"default keeps a trailing tab", kSample, "Sec", "absent", "tab\t", "tab\t"},
      {"default of blanks reads as one", kSample, "Sec", "absent", "   ", " "},
      {"default loses enclosing quotes", kSample, "Sec", "absent", "\"quoted\"  ", "quoted"},
  };
  for (const LookupCase& test : cases) {
    SCOPED_TRACE(test.name);
    const ReadResult result = Read(test.file, test.section, test.key, test.defaultValue, 256);
    EXPECT_EQ(result.text, test.expected);
    EXPECT_TRUE(result.terminated) << "length " << result.length << " for \"" << result.text << '"';
  }
}

struct SizeCase {
  const char* name;
  const char* key;  // in kSizes; "absent" reads the default
  uint32_t size;
  const char* expected;
};

const std::string kSizes = "[S]\r\nplain=value\r\nquoted=\"abc\"\r\none=a\r\n";

TEST(ReadProfileString, CutsToTheBuffer) {
  const SizeCase cases[] = {
      {"roomy", "plain", 64, "value"},
      {"exactly fitting", "plain", 6, "value"},
      {"one too small", "plain", 5, "valu"},
      {"size 1 holds only the terminator", "plain", 1, ""},
      {"default roomy", "absent", 64, "fallback"},
      {"default exactly fitting", "absent", 9, "fallback"},
      {"default one too small", "absent", 8, "fallbac"},
      {"quoted roomy", "quoted", 64, "abc"},
      // The closing quote is removed by dropping the last copied character, so a buffer that just
      // fits the unquoted value loses a real character.
      {"quoted exactly fitting loses one more", "quoted", 4, "ab"},
      {"quoted one too small", "quoted", 3, "ab"},
      {"quoted size 2", "quoted", 2, "a"},
      {"single character at size 1", "one", 1, ""},
  };
  for (const SizeCase& test : cases) {
    SCOPED_TRACE(test.name);
    const ReadResult result = Read(kSizes, "S", test.key, "fallback", test.size);
    EXPECT_EQ(result.text, test.expected);
    EXPECT_EQ(result.length, std::strlen(test.expected));
    EXPECT_TRUE(result.terminated);
    EXPECT_TRUE(result.junkIntact);
  }
}

TEST(ReadProfileString, SizeZeroWritesNothing) {
  const ReadResult result = Read(kSizes, "S", "plain", "fallback", 0);
  EXPECT_EQ(result.length, 0u);
  EXPECT_TRUE(result.junkIntact);
}

// The same file on each Windows version: the 16-bit profile code of Windows 9x and Win32s sees plain
// bytes and only the first 64 KB; NT 3.x and 4.0 see plain bytes, all of them; Windows 2000 and later
// read a file marked FF FE as UTF-16. No system knows the UTF-8 mark.
TEST(SimMachineProfile, ReadsTheBytesAsEachWindowsVersionDoes) {
  const auto utf16 = [](const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text)
      bytes += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
  };
  const std::string tail = "[Late]\r\nk=seen";
  // A comment line that makes the file end `over` bytes past 64 KB.
  const auto padding = [&tail](size_t over) {
    return "[Pad]\r\n" + std::string(kSixteenBitProfileLimit + over - tail.size() - 9, ';') + "\r\n";
  };
  struct Case {
    const char* name;
    std::string bytes;
    const char* section;
    const char* key;
    // Windows 98 and Win32s, NT 4.0, and XP: the value read, or "-" for the default.
    const char* onWindows9x;
    const char* onNt4;
    const char* onXp;
  };
  const Case cases[] = {
      {"8-bit text", "[S]\r\nk=Ger\xE4t\r\n", "S", "k", "Ger\xE4t", "Ger\xE4t", "Ger\xE4t"},
      {"UTF-8 mark before the header", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", "-", "-", "-"},
      {"UTF-8 mark before a comment", "\xEF\xBB\xBF; note\r\n[S]\r\nk=v\r\n", "S", "k", "v", "v", "v"},
      {"UTF-8 text stays bytes", "[S]\r\nk=Ger\xC3\xA4t\r\n", "S", "k", "Ger\xC3\xA4t", "Ger\xC3\xA4t",
       "Ger\xC3\xA4t"},
      {"UTF-16 with its mark", utf16(u"[S]\r\nk=Ger\u00E4t \u2013 \u4E2D\r\n"), "S", "k", "-", "-",
       "Ger\xE4t \x96 ?"},
      {"UTF-16 big-endian mark is not known", "\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0v"s, "S", "k", "-", "-", "-"},
      {"a value that ends with the 65,536th byte", padding(0) + tail, "Late", "k", "seen", "seen", "seen"},
      {"a value that ends one byte later", padding(1) + tail, "Late", "k", "see", "seen", "seen"},
      {"a section past the first 64 KB", padding(tail.size()) + tail, "Late", "k", "-", "seen", "seen"},
  };
  for (const Case& c : cases) {
    for (const auto& [system, expected] : {std::pair{"W98", c.onWindows9x}, std::pair{"OTHER", c.onWindows9x},
                                           std::pair{"NT40", c.onNt4}, std::pair{"WINNT", c.onXp}}) {
      SCOPED_TRACE(std::string(c.name) + " on " + system);
      testing::SimDisk disk("");
      disk.folder.Write("QUELM.INI", c.bytes);
      disk.SetOs(system);
      char buffer[64];
      disk.machine.ReadProfileString(c.section, c.key, "-", buffer, sizeof(buffer), "D:\\QUELM.INI");
      EXPECT_EQ(std::string(expected), buffer);
    }
  }
}

// A run keeps what it has read of a file; the machine must still see a disk changed between runs, and
// reads made outside a run must see the file as it is now.
TEST(SimMachineProfile, SeesTheDiskAsItIsAtEachRun) {
  const auto ini = [](const char* text) {
    return std::string("[Application]\r\nW98=ShowMsgNow\r\n[Message]\r\nShowMsgNow=") + text + "\r\n";
  };
  testing::SimDisk disk(ini("first"));
  disk.Run();
  disk.folder.Write("QUELM.INI", ini("second, longer"));
  disk.Run();
  const auto messages = disk.machine.EventsOf<MessageEvent>();
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ("first", messages[0].text);
  EXPECT_EQ("second, longer", messages[1].text);

  char buffer[32];
  disk.folder.Write("QUELM.INI", ini("third"));
  disk.machine.ReadProfileString("Message", "ShowMsgNow", "", buffer, sizeof(buffer), "D:\\QUELM.INI");
  EXPECT_STREQ("third", buffer);
  disk.folder.Write("QUELM.INI", ini("4th"));
  disk.machine.ReadProfileString("Message", "ShowMsgNow", "", buffer, sizeof(buffer), "D:\\QUELM.INI");
  EXPECT_STREQ("4th", buffer);
}

// Every entry of a card list is one profile read: reading the whole file for each made 20,000 entries
// take 24 s; read once per run they take milliseconds. The bound leaves room for a loaded machine and
// the sanitizers, and none for the square of the list.
TEST(SimMachineProfile, LongCardListTakesTimeInProportionToItsLength) {
  constexpr int kEntries = 20000;
  // Windows 2000 and later read all of such a file; Windows 9x would see only its first 64 KB.
  std::string ini = "[Application]\r\nWINNT=DetectCard,End\r\n[DetectCard]\r\n";
  for (int entry = 1; entry < kEntries; ++entry) ini += std::to_string(entry) + "=4660,22136,PCI,0,0\r\n";
  ini += std::to_string(kEntries) + "=6699,15437,AGP,1,0\r\n";  // the one card on the bus, last
  testing::SimDisk disk(ini);
  disk.SetOs("WINNT");
  disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);

  const auto start = std::chrono::steady_clock::now();
  disk.Run();
  const auto elapsed = std::chrono::steady_clock::now() - start;

  const auto cards = disk.machine.EventsOf<CardEvent>();
  ASSERT_EQ(1u, cards.size());
  EXPECT_EQ("VEN_1A2B&DEV_3C4D", cards[0].hardwareId);
  EXPECT_LT(elapsed, std::chrono::seconds(5))
      << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms";
}

}  // namespace
}  // namespace quelm::sim
