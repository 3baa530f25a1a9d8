// Card lists: the section and its entry 1, the numbering, and each entry's fields.
#include <algorithm>

#include "card/CardDetection.h"
#include "config/Capacities.h"
#include "config/FieldList.h"
#include "lint/Linter.h"

namespace quelm::tool::lint {

void Linter::CheckCardLists() {
  for (const auto& [folded, use] : cardLists_) {
    const auto& [name, place] = use;
    const Section* section = file_.SectionNamed(name);
    if (section == nullptr) {
      Report(place, "missing-card-list",
             "the card list " + Quoted(name) + " has no section: no card is ever found");
      continue;
    }
    std::set<std::string> read;
    for (unsigned number = 1;; ++number) {
      const std::string key = std::to_string(number);
      const Key* line = sim::ProfileFile::KeyNamed(section, key);
      const std::string entry = line != nullptr && line->hasValue ? ReadKey(*line, name, kNameCapacity) : "";
      if (line == nullptr || entry.empty()) {
        if (number == 1) {
          Report(PlaceOf(*section), "missing-card-list",
                 "the card list [" + section->name + "] has no entry 1: no card is ever found");
        }
        break;
      }
      read.insert(key);
      CheckCardEntry(section->name, *line, entry);
    }
    for (const Key& key : section->keys) {
      if (!IsComment(key) && read.count(Folded(key.name)) == 0 &&
          sim::ProfileFile::KeyNamed(section, key.name) == &key) {
        Report(PlaceOf(key), "card-list-gap",
               "the entry " + Quoted(key.name) + " of [" + section->name +
                   "] is never read: entries are read as 1, 2, 3 ... up to the first one missing");
      }
    }
  }
}

void Linter::CheckCardEntry(const std::string& section, const Key& key, const std::string& entry) {
  const std::string where = "entry " + key.name + " of [" + section + "]";
  FieldCursor cursor(ViewOf(entry));
  std::vector<TextView> fields;
  TextView field;
  while (fields.size() < 5 && cursor.Next(field)) fields.push_back(field);
  const auto placeOf = [&](TextView part) {
    return PlaceInValue(key, static_cast<size_t>(part.chars - entry.data()));
  };
  if (fields.size() < 5) {
    Report(PlaceInValue(key, 0), "short-card-entry",
           where + " has " + Counted(fields.size(), "field") +
               ", not the five of vendor, device, bus type, pass flag and a last one");
  }
  const char* kNames[] = {"vendor", "device"};
  for (size_t index = 0; index < std::min<size_t>(fields.size(), 2); ++index) {
    if (!IsDecimalId(StringOf(fields[index]))) {
      CardEntry read;
      const bool namesCard = ReadCardEntry(ViewOf(entry), read);
      const int32_t number = index == 0 ? read.vendor : read.device;
      Report(placeOf(fields[index]), "not-decimal",
             where + ": the " + kNames[index] + " ID " + Quoted(StringOf(fields[index])) +
                 " is not a decimal number from 0 to 65535; the launcher reads it as " +
                 std::to_string(namesCard ? (number & 0xFFFF) : 0));
    }
  }
  const char* kTextNames[] = {"bus type", "pass flag"};
  for (size_t index = 2; index < std::min<size_t>(fields.size(), 4); ++index) {
    if (BeginsWithBlank(StringOf(fields[index]))) {
      Report(placeOf(fields[index]), "leading-blank",
             where + ": the " + kTextNames[index - 2] + " " + Quoted(StringOf(fields[index])) +
                 " begins with a blank" + (index == 2 ? ", so it is never AGP" : ", so the pass flag is 0"));
    }
  }
}

}  // namespace quelm::tool::lint
