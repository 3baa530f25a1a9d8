// Card lists: the section and its entry 1, the numbering, and each entry's fields as the launcher reads
// them against what they plainly mean.
#include <algorithm>

#include "card/CardDetection.h"
#include "config/Capacities.h"
#include "config/FieldList.h"
#include "lint/Linter.h"
#include "pci/PciFunctionText.h"

namespace quelm::tool::lint {

void Linter::CheckCardLists() {
  for (const auto& [folded, use] : cardLists_) {
    const Section* section = file_.SectionNamed(use.name);
    if (section == nullptr) {
      Advice advice;
      if (!use.systems.empty())
        advice.notes.push_back(OnSystems(use.systems) + " the card list fails every time");
      const Place place =
          PlaceOfMissing(std::string(sim::LookedUpName(use.name)), "card list", use.place, advice);
      Report(place, "missing-card-list",
             "the card list " + Quoted(use.name) + " has no section: no card is ever found", advice);
      continue;
    }
    std::vector<bool> read(section->keys.size());  // by the key line's place in its section
    for (unsigned number = 1;; ++number) {
      const std::string key = std::to_string(number);
      const Key* line = sim::ProfileFile::KeyNamed(section, key);
      const std::string entry =
          line != nullptr && line->hasValue ? ReadKey(*line, use.name, kNameCapacity) : "";
      if (line == nullptr || entry.empty()) {
        if (number == 1) {
          // At the entry meant as the first, where there is one.
          const auto firstKey =
              std::find_if(section->keys.begin(), section->keys.end(), [](const Key& written) {
                return !IsComment(written);
              });
          Report(firstKey != section->keys.end() ? PlaceOf(*firstKey) : PlaceOf(*section),
                 "missing-card-list",
                 "the card list [" + section->name + "] has no entry 1: no card is ever found");
        }
        break;
      }
      read[static_cast<size_t>(line - section->keys.data())] = true;
      CheckCardEntry(section->name, *line, entry, use.systems);
    }
    for (size_t index = 0; index < section->keys.size(); ++index) {
      const Key& key = section->keys[index];
      if (!read[index] && !IsComment(key) && sim::ProfileFile::KeyNamed(section, key.name) == &key) {
        Report(PlaceOf(key), "card-list-gap",
               "the entry " + Quoted(key.name) + " of [" + section->name +
                   "] is never read: entries are read as 1, 2, 3 ... up to the first one missing");
      }
    }
  }
}

void Linter::CheckCardEntry(const std::string& section, const Key& key, const std::string& entry,
                            const std::set<std::string>& systems) {
  const std::string where = "entry " + key.name + " of [" + section + "]";
  FieldCursor cursor(ViewOf(entry));
  std::vector<TextView> fields;
  TextView field;
  while (fields.size() < 5 && cursor.Next(field)) fields.push_back(field);
  if (fields.size() < 5) {
    Report(PlaceInValue(key, 0), "short-card-entry",
           where + " has " + Counted(fields.size(), "field") +
               ", not the five of vendor, device, bus type, pass flag and a last one");
  }
  const auto offsetOf = [&entry](TextView part) {
    return static_cast<size_t>(part.chars - entry.data());
  };
  // The fields as views into the entry, which lives as long as the checks.
  std::vector<std::string_view> texts;
  texts.reserve(fields.size());
  for (const TextView part : fields) texts.emplace_back(part.chars, part.length);
  if (!texts.empty()) CheckId(where, key, offsetOf(fields[0]), texts[0], "vendor", systems, std::nullopt);
  if (texts.size() > 1) {
    // The device's name is looked up under the vendor meant, or the launcher's where none is plain.
    const IdMeaning vendor = MeaningOfId(texts[0]);
    const auto vendorId = static_cast<uint16_t>(
        vendor.IsPlain() ? vendor.meant : static_cast<uint32_t>(ReadDecimal(fields[0])));
    CheckId(where, key, offsetOf(fields[1]), texts[1], "device", systems, vendorId);
  }
  if (texts.size() > 2) CheckBusType(where, key, offsetOf(fields[2]), texts[2], systems);
  if (texts.size() > 3) CheckPassFlag(where, key, offsetOf(fields[3]), texts[3], systems);
}

std::string Linter::CardText(uint16_t vendor, uint16_t device) const {
  std::string text = IdText(vendor) + ":" + IdText(device);
  if (disk_.pciIds != nullptr) {
    const auto name = disk_.pciIds->CardName(vendor, device);
    text += name ? " (" + *name + ")" : " (not in the PCI ID database)";
  }
  return text;
}

const char* Linter::BlankOrQuote(const Key& key, size_t offset, std::string_view field,
                                 Advice& advice) const {
  const std::string meant(Meant(field));
  std::string_view withoutTrailingBlanks = field;
  while (EndsWithBlank(withoutTrailingBlanks)) withoutTrailingBlanks.remove_suffix(1);
  const char* check = nullptr;
  if (BeginsWithBlank(field)) {
    check = "leading-blank";
  } else if (IsQuoted(withoutTrailingBlanks)) {
    check = "quoted-field";
  } else if (EndsWithBlank(field)) {
    check = "trailing-blank";
  }
  if (check != nullptr) {
    advice.help = "write " + Quoted(meant);
    if (meant != field) advice.fix = ReplaceInValue(key, offset, field.size(), meant);
  }
  return check;
}

void Linter::CheckId(const std::string& where, const Key& key, size_t offset, std::string_view field,
                     const char* what, const std::set<std::string>& systems, std::optional<uint16_t> vendor) {
  using Form = IdMeaning::Form;
  const IdMeaning meaning = MeaningOfId(field);
  const uint32_t launcher = static_cast<uint32_t>(ReadDecimal(ViewOf(field))) & 0xFFFFu;
  const Place place = PlaceInValue(key, offset);
  const std::string written = Quoted(Meant(field));
  const std::string theId = where + ": the " + what + " ID " + Quoted(field);
  Advice advice;
  const std::string reads = "the launcher reads " + std::to_string(launcher) + " (" + IdText(launcher) + ")";
  switch (meaning.form) {
    case Form::kDecimal:
      if (meaning.meant == launcher) return;
      // Only blanks or quotes keep the number from being read as written.
      if (const char* check = BlankOrQuote(key, offset, field, advice)) {
        advice.notes.push_back(reads + " " + OnSystems(systems) + ", not " + std::to_string(meaning.meant));
        Report(place, check, theId + " is not read as " + std::to_string(meaning.meant), advice);
      }
      return;
    case Form::kLeadingZero:
      if (meaning.hex == meaning.meant) return;
      advice.notes.push_back(reads + " " + OnSystems(systems));
      advice.notes.push_back("lspci writes IDs in hexadecimal, and there " + std::string(Meant(field)) +
                             " is " + std::to_string(meaning.hex));
      if (disk_.pciIds != nullptr) {
        for (const uint32_t id : {meaning.meant, meaning.hex}) {
          const auto name = vendor ? disk_.pciIds->DeviceName(*vendor, static_cast<uint16_t>(id))
                                   : disk_.pciIds->VendorName(static_cast<uint16_t>(id));
          advice.notes.push_back(std::string(vendor ? "device " : "vendor ") + IdText(id) + " is " +
                                 (name ? *name : std::string("in no entry of the PCI ID database")));
        }
      }
      advice.help = "write " + std::to_string(meaning.hex) + " (the decimal form of hexadecimal " +
                    std::string(Meant(field)) + ") if the ID was copied from lspci, or " +
                    std::to_string(meaning.meant) + " to keep the launcher's reading";
      Report(place, "leading-zero-id",
             theId + " has a leading zero, as hexadecimal IDs are written: " + written + " is decimal " +
                 std::to_string(meaning.meant) + " to the launcher",
             advice);
      return;
    case Form::kHexPrefix:
    case Form::kHexLetters:
      advice.notes.push_back(reads + " " + OnSystems(systems) +
                             ": it stops at the first character that is no digit");
      advice.help = "write " + std::to_string(meaning.meant) + " (the decimal form of " +
                    std::string(Meant(field)) + ")";
      advice.fix = ReplaceInValue(key, offset, field.size(), std::to_string(meaning.meant));
      Report(place, "not-decimal", theId + " is hexadecimal, but the launcher reads decimal numbers", advice);
      return;
    case Form::kTooLarge:
      advice.notes.push_back("the launcher compares only the low 16 bits: " + std::to_string(launcher) +
                             " (" + IdText(launcher) + ")");
      Report(place, "not-decimal", theId + " is beyond 65535", advice);
      return;
    case Form::kNoNumber:
      advice.notes.push_back(reads + " " + OnSystems(systems));
      Report(place, "not-decimal", theId + " is no decimal number from 0 to 65535", advice);
      return;
  }
}

void Linter::CheckBusType(const std::string& where, const Key& key, size_t offset, std::string_view field,
                          const std::set<std::string>& systems) {
  Text<kBusTypeCapacity> kept;
  kept.AssignCut(ViewOf(field));  // as the card record keeps it
  const bool launcherAgp = IsAgpBusType(kept);
  if (launcherAgp == MeansAgp(field)) return;
  Advice advice;
  const char* check = BlankOrQuote(key, offset, field, advice);
  if (check == nullptr) {
    check = "not-agp";
    advice.help = "write AGP";
  }
  advice.notes.push_back(
      OnSystems(systems) +
      " the card is never AGP, so the key check and the installer get its bus location, not 000800");
  Report(PlaceInValue(key, offset), check, where + ": the bus type " + Quoted(field) + " is not AGP", advice);
}

void Linter::CheckPassFlag(const std::string& where, const Key& key, size_t offset, std::string_view field,
                           const std::set<std::string>& systems) {
  const std::string meant(Meant(field));
  const int32_t launcher = PassFlagOf(ViewOf(field));
  const int32_t meantFlag = PassFlagOf(meant.c_str());
  if (launcher == meantFlag) return;
  Advice advice;
  const char* check = BlankOrQuote(key, offset, field, advice);
  if (check == nullptr) return;
  advice.notes.push_back(OnSystems(systems) + " the installer program gets pass flag " +
                         std::to_string(launcher));
  Report(PlaceInValue(key, offset), check,
         where + ": the pass flag " + Quoted(field) + " gives pass flag " + std::to_string(launcher), advice);
}

}  // namespace quelm::tool::lint
