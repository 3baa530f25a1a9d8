// One fact, one table: every command word has its lint rule, and the guide's tables are the ones built
// from the tables the launcher and the tool run on.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "GuideTables.h"
#include "app/ScriptCommands.h"
#include "lint/DiskLint.h"

namespace quelm {
namespace {

std::string Guide() {
  std::ifstream stream(QUELM_DOCS_DIR "/disk-authoring.md", std::ios::binary);
  std::stringstream contents;
  contents << stream.rdbuf();
  return contents.str();
}

TEST(OneTable, EveryCommandWordHasItsLintRule) {
  for (unsigned index = 0; index < kScriptCommandCount; ++index) {
    SCOPED_TRACE(kScriptCommands[index].word);
    EXPECT_NE(nullptr, tool::CommandRuleFor(kScriptCommands[index].kind));
  }
}

TEST(OneTable, TheGuideShowsTheTablesAsBuilt) {
  const std::string guide = Guide();
  const struct {
    const char* name;
    std::string table;
  } tables[] = {
      {"system names", tool::SystemNamesTable()},
      {"command words", tool::CommandWordsTable()},
      {"checks", tool::ChecksTable()},
  };
  for (const auto& [name, table] : tables) {
    EXPECT_NE(std::string::npos, guide.find(table))
        << "docs/disk-authoring.md must hold the " << name << " table as built:\n"
        << table;
  }
}

}  // namespace
}  // namespace quelm
