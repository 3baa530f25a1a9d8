// Reading QUELM.INI's entries: what a text holds afterwards, whatever it held before.
#include <gtest/gtest.h>

#include <string>

#include "config/Profile.h"
#include "support/SimDisk.h"

namespace quelm {
namespace {

using testing::SimDisk;

// The launcher reads into texts that may still hold an earlier entry: each read leaves only what this
// entry says, and nothing of the file when there is no file to read.
TEST(Profile, EachReadLeavesOnlyItsOwnEntry) {
  struct Case {
    const char* name;
    const char* path;  // null: no configuration file at all
    const char* key;
    std::string expected;
  };
  const Case cases[] = {
      {"an entry that is there", "D:\\QUELM.INI", "present", "value"},
      {"an entry that is not", "D:\\QUELM.INI", "absent", ""},
      {"a value cut to the text", "D:\\QUELM.INI", "long", "0123456"},
      {"no configuration file (its path did not fit)", "", "present", ""},
      {"no path at all", nullptr, "present", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk("[Section]\r\npresent=value\r\nlong=0123456789\r\n");
    const Profile profile(disk.machine, c.path);
    Text<8> value;
    value.AssignLiteral("earlier");
    profile.Read("Section", c.key, value);
    EXPECT_EQ(c.expected, value.CStr());
  }
}

}  // namespace
}  // namespace quelm
