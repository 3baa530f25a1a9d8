// The tables of the disk authors' guide, built from the tables the launcher and the tool run on: the
// system names with the releases they stand for, the command words with what lint checks of them, and
// the checks. A test holds the guide to them.
#pragma once

#include <string>

namespace quelm::tool {

std::string SystemNamesTable();
std::string CommandWordsTable();
std::string ChecksTable();

}  // namespace quelm::tool
