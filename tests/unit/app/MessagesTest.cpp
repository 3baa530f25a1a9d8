// Message escapes: only backslash-n and backslash-t, with case.
#include <gtest/gtest.h>

#include <string>

#include "app/Messages.h"

namespace quelm {
namespace {

TEST(ExpandEscapes, OnlyBackslashNAndBackslashTWithCase) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"Line one\\nLine two", "Line one\r\nLine two"},
      {"A\\tB", "A\tB"},
      {"C:\\new", "C:\r\new"},
      {"\\\\n", "\\\r\n"},
      {"\\N and \\T stay", "\\N and \\T stay"},
      {"\\x and a final \\", "\\x and a final \\"},
      {"\\n\\t\\n", "\r\n\t\r\n"},
      {"\\\\t", "\\\t"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Text<kMessageCapacity> text;
    ASSERT_TRUE(text.Assign(c.text));
    ExpandEscapes(text, LeadBytes());
    EXPECT_STREQ(c.expected, text.CStr());
  }
  Text<kMessageCapacity> full;
  ASSERT_TRUE(full.Assign(std::string(509, 'x').append("\\n").c_str()));
  ExpandEscapes(full, LeadBytes());
  EXPECT_EQ(std::string(509, 'x') + "\r\n", full.CStr()) << "a full buffer expands without losing characters";
}

}  // namespace
}  // namespace quelm
