// Bounded texts, case rules and formatting of the core's text helper.
#include <gtest/gtest.h>

#include <algorithm>
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
      {"empty into no buffer at all", 0, nullptr, "", "#", true},
      {"text into no buffer at all", 0, nullptr, "A", "#", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    bool whole = true;
    if (c.start) {
      ASSERT_TRUE(CopyBounded(buffer, c.capacity, c.start));
      whole = AppendBounded(buffer, c.capacity, c.added);
    } else {
      whole = CopyBounded(buffer, c.capacity, c.added);
    }
    EXPECT_EQ(c.expected, std::string(buffer).substr(0, std::max(c.capacity, 1u)));
    EXPECT_EQ(c.whole, whole);
    for (unsigned i = c.capacity; i + 1 < sizeof buffer; ++i)
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
    std::string expected;
    bool whole = true;
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
      {"a width of 32, the widest there is",
       [](Text<64>& t) {
         return Format(t, "[%32d]", int32_t{7});
       },
       "[" + std::string(31, ' ') + "7]"},
      {"zeros to a width of 32",
       [](Text<64>& t) {
         return Format(t, "%032X", 0xABu);
       },
       std::string(30, '0') + "AB"},
      {"a width past 32 prints nothing for its number",
       [](Text<64>& t) {
         return Format(t, "[%33d]", int32_t{7});
       },
       "[]", false},
      {"a width of two digits",
       [](Text<64>& t) {
         return Format(t, "[%10d]", int32_t{42});
       },
       "[        42]"},
      {"blanks go before the sign",
       [](Text<64>& t) {
         return Format(t, "[%5d]", int32_t{-7});
       },
       "[   -7]"},
      {"zeros go after the sign",
       [](Text<64>& t) {
         return Format(t, "[%05d]", int32_t{-7});
       },
       "[-0007]"},
      {"unsigned decimal",
       [](Text<64>& t) {
         return Format(t, "%u", 4000000000u);
       },
       "4000000000"},
      {"a conversion without its argument prints nothing",
       [](Text<64>& t) {
         return Format(t, "[%d]");
       },
       "[]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.whole, c.format(out));
    EXPECT_EQ(c.expected, out.CStr());
  }
}

// A text of six characters holds five: what fits is kept, and the result says whether all of it did.
TEST(Format, KeepsWhatFitsItsText) {
  Text<6> small;
  struct Case {
    const char* name;
    bool (*format)(Text<6>&);
    const char* expected;
    bool whole;
  };
  const Case cases[] = {
      {"a hardware ID cut",
       [](Text<6>& t) {
         return Format(t, "VEN_%04X", 0x1A2Bu);
       },
       "VEN_1", false},
      {"a number that just fits",
       [](Text<6>& t) {
         return Format(t, "%05X", 0xABu);
       },
       "000AB", true},
      {"a percent sign that just fits",
       [](Text<6>& t) {
         return Format(t, "1000%%");
       },
       "1000%", true},
      {"a percent sign one too many",
       [](Text<6>& t) {
         return Format(t, "10000%%");
       },
       "10000", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.whole, c.format(small));
    EXPECT_STREQ(c.expected, small.CStr());
  }
}

}  // namespace
}  // namespace quelm
