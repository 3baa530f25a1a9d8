// The comma rule and the decimal reading of card entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/FieldList.h"

namespace quelm {
namespace {

std::vector<std::string> Split(const char* list) {
  std::vector<std::string> fields;
  FieldCursor cursor{TextView(list)};
  TextView field;
  while (cursor.Next(field)) fields.emplace_back(field.chars, field.length);
  return fields;
}

TEST(FieldCursor, RunsOfCommasAreOneSeparatorAndBlanksStay) {
  struct Case {
    const char* list;
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {"DetectCard,,Install", {"DetectCard", "Install"}},
      {",,,DetectCard", {"DetectCard"}},
      {"DetectCard,", {"DetectCard"}},
      {"6699,15437,,AGP,1,0", {"6699", "15437", "AGP", "1", "0"}},
      {"DetectCard, Install", {"DetectCard", " Install"}},
      {" End ,x", {" End ", "x"}},
      {",,,", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(c.fields, Split(c.list));
  }
}

TEST(FieldCursor, PositionIsJustAfterTheEndingComma) {
  FieldCursor cursor{TextView("Ab,,Cd")};
  TextView field;
  ASSERT_TRUE(cursor.Next(field));
  EXPECT_EQ(3u, cursor.Position());
  ASSERT_TRUE(cursor.Next(field));
  EXPECT_EQ(6u, cursor.Position());
  EXPECT_FALSE(cursor.Next(field));
}

TEST(ReadDecimal, ReadsAsTheCLibraryDoesWithoutOverflowing) {
  struct Case {
    const char* field;
    int32_t value;
  };
  const Case cases[] = {
      {"6699", 6699},
      {"  6699", 6699},
      {"\t6699", 6699},
      {"+12", 12},
      {"-1", -1},
      {"0x1A2B", 0},
      {"12abc", 12},
      {"", 0},
      {" ", 0},
      {"- 5", 0},
      {"4294967297", 1},  // wraps modulo 2^32
      {"99999999999999999999", 1661992959},
      {"6699 ", 6699},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    EXPECT_EQ(c.value, ReadDecimal(c.field));
  }
}

}  // namespace
}  // namespace quelm
