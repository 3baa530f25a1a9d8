// The causes of a missing script, looked for in the order that explains the most.
#include "sim/ScriptCause.h"

#include <vector>

#include "sim/NearestWord.h"
#include "sim/SimText.h"

namespace quelm::sim {

namespace {

bool HasLoneCr(std::string_view bytes) {
  for (size_t at = bytes.find('\r'); at != std::string_view::npos; at = bytes.find('\r', at + 1)) {
    if (at + 1 == bytes.size() || bytes[at + 1] != '\n') return true;
  }
  return false;
}

std::string LineText(unsigned line) {
  return "line " + std::to_string(line);
}

// The sections of a reading whose names are `name` but for case, and the first of them that counts.
std::vector<const ProfileFile::SectionLines*> SectionsNamed(const ProfileFile& file, std::string_view name) {
  std::vector<const ProfileFile::SectionLines*> found;
  for (const auto& section : file.Layout()) {
    if (section.line != 0 && EqualsIgnoringCase(ViewOf(section.name), ViewOf(name)))
      found.push_back(&section);
  }
  return found;
}

}  // namespace

std::string WhyNoScript(std::string_view bytes, const ProfileReading& reading, const std::string& osName) {
  std::string entry = "[Application] has no " + osName + " entry";
  if (HasUtf16Mark(bytes) && !reading.unicodeMark) {
    return "the file is UTF-16, which this Windows reads as bytes with zeros between them: it finds no "
           "section at all";
  }
  const ProfileFile asRead = ReadProfile(bytes, reading);
  ProfileReading whole = reading;
  whole.byteLimit = 0;
  whole.crEndsLine = true;
  const ProfileFile asWritten = ReadProfile(HasUtf8Mark(bytes) ? bytes.substr(3) : bytes, whole);
  const auto written = asWritten.Find("Application", osName);
  if (written && !written->empty()) {
    if (HasUtf8Mark(bytes) && asWritten.LineOf("Application", osName) &&
        asRead.SectionNamed("Application") == nullptr) {
      return "the file begins with a UTF-8 mark, which no Windows recognises: its three bytes belong to "
             "line 1, so [Application] there is no section header";
    }
    if (reading.byteLimit != 0 && bytes.size() > reading.byteLimit) {
      return "the " + osName + " entry lies past the first " + std::to_string(reading.byteLimit) +
             " bytes of the file, the part this Windows reads";
    }
    if (!reading.crEndsLine && HasLoneCr(bytes)) {
      return "the lines of the file end in CR alone, which this Windows does not read as line ends";
    }
  }
  const auto applications = SectionsNamed(asRead, "Application");
  if (applications.empty()) {
    std::vector<std::string> names;
    for (const auto& section : asRead.Layout()) {
      if (section.line != 0) names.push_back(section.name);
    }
    const std::string nearest = NearestWord("Application", names);
    if (!nearest.empty()) {
      const auto* section = asRead.SectionNamed(nearest);
      return "there is no [Application] section; [" + nearest + "] (" + LineText(section->line) +
             ") is the nearest name";
    }
    return "there is no [Application] section";
  }
  for (size_t index = 1; index < applications.size(); ++index) {
    if (ProfileFile::KeyNamed(applications[index], osName) != nullptr) {
      return entry + ": the one on " + LineText(ProfileFile::KeyNamed(applications[index], osName)->line) +
             " is in a second [Application] section (" + LineText(applications[index]->line) +
             "), which is never read: only the first section of a name counts";
    }
  }
  if (const auto* key = ProfileFile::KeyNamed(applications.front(), osName)) {
    return entry + ": " +
           (key->hasValue ? "its value on " + LineText(key->line) + " is empty"
                          : LineText(key->line) + " names it without an equals sign");
  }
  std::vector<std::string> keys;
  for (const auto& key : applications.front()->keys) keys.push_back(key.name);
  const std::string nearest = NearestWord(osName, keys);
  if (!nearest.empty()) {
    return entry + "; " + nearest + " (" +
           LineText(ProfileFile::KeyNamed(applications.front(), nearest)->line) + ") is the nearest name";
  }
  return entry;
}

}  // namespace quelm::sim
