// Bounded texts, case rules and formatting of the core's text helper.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/Text.h"

namespace quelm {
namespace {

// Buffers at three sizes, pre-filled with junk: roomy, exactly fitting, one too small.
TEST(BoundedText, CopyAndAppendNeverOverrunAndReportCutting) {
  struct Case {
    const char* name;
    unsigned capacity;
    const char* start;
    const char* added;
    const char* expected;
    bool whole;
  };
  const Case cases[] = {
      {"roomy copy", 16, nullptr, "ABCDEF", "ABCDEF", true},
      {"exactly fitting copy", 7, nullptr, "ABCDEF", "ABCDEF", true},
      {"one too small copy", 6, nullptr, "ABCDEF", "ABCDE", false},
      {"roomy append", 16, "AB", "CDEF", "ABCDEF", true},
      {"exactly fitting append", 7, "AB", "CDEF", "ABCDEF", true},
      {"one too small append", 6, "AB", "CDEF", "ABCDE", false},
      {"append to a full buffer", 3, "AB", "C", "AB", false},
      {"empty into a one-byte buffer", 1, nullptr, "", "", true},
      {"text into a one-byte buffer", 1, nullptr, "A", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    bool whole = true;
    if (c.start) {
      ASSERT_TRUE(CopyBounded(buffer, c.capacity, c.start));
      whole = AppendBounded(buffer, c.capacity, c.added);
    } else {
      whole = CopyBounded(buffer, c.capacity, c.added);
    }
    EXPECT_STREQ(c.expected, buffer);
    EXPECT_EQ(c.whole, whole);
    for (unsigned i = c.capacity; i < sizeof buffer; ++i)
      ASSERT_EQ('#', buffer[i]) << "written past the buffer at " << i;
  }
}

TEST(BoundedText, TextKeepsItsDeclaredSize) {
  // The run record's layout depends on texts being exactly their capacity.
  EXPECT_EQ(256u, sizeof(Text<256>));
  EXPECT_EQ(260u, sizeof(Text<260>));
  EXPECT_EQ(8u, sizeof(Text<8>));
  Text<8> busType;
  EXPECT_FALSE(busType.Assign("AGPAGPAGP"));
  EXPECT_STREQ("AGPAGPA", busType.CStr());
}

TEST(CaseRules, OnlyAToZAreFolded) {
  struct Case {
    const char* left;
    const char* right;
    bool equal;
  };
  const Case cases[] = {
      {"End", "END", true},   {"eNd", "End", true},
      {"[", "{", false},                                    // differ by the case bit but are not letters
      {"@", "`", false},      {"\xC9ND", "\xE9ND", false},  // Windows-1252 E acute: a locale would fold it
      {"End ", "End", false}, {"", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.left) + " / " + c.right);
    EXPECT_EQ(c.equal, EqualsIgnoringCase(c.left, c.right));
  }
  EXPECT_TRUE(StartsWithIgnoringCase("detectcardA", "DetectCard"));
  EXPECT_FALSE(StartsWithIgnoringCase("DetectCar", "DetectCard"));
  EXPECT_FALSE(StartsWith("usbSupplement", "USB"));
}

TEST(Find, LocatesWithCaseFromAPosition) {
  EXPECT_EQ(3u, Find("abc[CWD]x[CWD]", "[CWD]"));
  EXPECT_EQ(9u, Find("abc[CWD]x[CWD]", "[CWD]", 4));
  EXPECT_EQ(kNotFound, Find("abc[cwd]", "[CWD]"));
  EXPECT_EQ(0u, Find("anything", ""));
  EXPECT_EQ(kNotFound, Find("ab", "abc"));
  EXPECT_EQ(kNotFound, Find("abc", "c", 4));
}

TEST(Format, MatchesTheWindowsFormatterForTheLaunchersFormats) {
  Text<64> out;
  struct Case {
    const char* name;
    bool (*format)(Text<64>&);
    const char* expected;
  };
  const Case cases[] = {
      {"hardware ID",
       [](Text<64>& t) {
         return Format(t, "VEN_%04X&DEV_%04X", 0x1A2Bu, 0x3C4Du);
       },
       "VEN_1A2B&DEV_3C4D"},
      {"hardware ID with leading zeros",
       [](Text<64>& t) {
         return Format(t, "VEN_%04X&DEV_%04X", 0x10u, 0xAu);
       },
       "VEN_0010&DEV_000A"},
      {"location",
       [](Text<64>& t) {
         return Format(t, "BUS_%02X&DEV_%02X&FUNC_%02X", 0xFFu, 31u, 7u);
       },
       "BUS_FF&DEV_1F&FUNC_07"},
      {"width is a minimum",
       [](Text<64>& t) {
         return Format(t, "%02X", 0x1ABu);
       },
       "1AB"},
      {"negative decimal",
       [](Text<64>& t) {
         return Format(t, "%d", int32_t{-2147483647 - 1});
       },
       "-2147483648"},
      {"text and number",
       [](Text<64>& t) {
         return Format(t, "%s %d%%", "pass", int32_t{1});
       },
       "pass 1%"},
      {"lower-case hex",
       [](Text<64>& t) {
         return Format(t, "%x", 0xBEEFu);
       },
       "beef"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.format(out));
    EXPECT_STREQ(c.expected, out.CStr());
  }
  Text<6> small;
  EXPECT_FALSE(Format(small, "VEN_%04X", 0x1A2Bu));
  EXPECT_STREQ("VEN_1", small.CStr());
}

}  // namespace
}  // namespace quelm
