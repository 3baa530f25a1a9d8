// sim-probe: what the simulated machine's profile reader and the core's formatting answer, for the
// differential checks against the real Windows calls (see ProbeCases.h for the case files and output).
//
// Usage: sim-probe profile CASES CORPUS_FOLDER SYSTEM   (the files' bytes as SYSTEM reads them: W98, WINNT)
//        sim-probe format CASES
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "ProbeCases.h"
#include "config/Capacities.h"
#include "config/Text.h"
#include "probe/PciScan.h"
#include "sim/SimMachine.h"
#include "sim/SimProfile.h"

namespace {

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int RunProfileCases(const char* casesPath, const std::string& folder,
                    const quelm::sim::ProfileReading& reading) {
  for (const auto& words : probe::ReadCases(casesPath)) {
    if (words.size() != 5) return 1;
    const std::optional<std::string> contents = ReadFile(folder + "/" + words[0]);
    std::optional<quelm::sim::ProfileFile> file;
    if (contents) file.emplace(quelm::sim::ReadProfile(*contents, reading));
    const std::string section = probe::Field(words[1]);
    const std::string key = probe::Field(words[2]);
    const std::string defaultValue = probe::Field(words[3]);
    const auto size = static_cast<uint32_t>(std::strtoul(words[4].c_str(), nullptr, 10));
    std::vector<char> buffer(size + probe::kSlack, probe::kJunk);
    const uint32_t returned = quelm::sim::ReadProfileString(
        file ? &*file : nullptr, section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(), size);
    std::printf("%s\n", probe::DescribeLookup(returned, buffer, size).c_str());
  }
  return 0;
}

quelm::FormatArgument Argument(const std::string& word, std::vector<std::string>& texts) {
  if (word.rfind("s:", 0) == 0) {
    texts.push_back(probe::Unhex(word.substr(2)));
    return quelm::FormatArgument(texts.back().c_str());
  }
  return quelm::FormatArgument(static_cast<int32_t>(std::strtol(word.c_str() + 2, nullptr, 10)));
}

int RunFormatCases(const char* casesPath) {
  for (const auto& words : probe::ReadCases(casesPath)) {
    if (words[0] == "hwid" && words.size() == 2) {
      quelm::Text<quelm::kNameCapacity> hardwareId;
      if (!quelm::FormatHardwareId(hardwareId,
                                   static_cast<uint32_t>(std::strtoul(words[1].c_str(), nullptr, 16)))) {
        return 1;
      }
      std::printf("%s\n", probe::Hex(hardwareId.CStr()).c_str());
    } else if (words[0] == "location" && words.size() == 4) {
      quelm::PciAddress address;
      address.bus = static_cast<uint32_t>(std::atoi(words[1].c_str()));
      address.device = static_cast<uint32_t>(std::atoi(words[2].c_str()));
      address.function = static_cast<uint32_t>(std::atoi(words[3].c_str()));
      quelm::Text<quelm::kNameCapacity> location;
      if (!quelm::FormatLocation(location, address)) return 1;
      std::printf("%s\n", probe::Hex(location.CStr()).c_str());
    } else if (words[0] == "format" && words.size() >= 3 && words.size() <= 7) {
      const auto capacity = static_cast<unsigned>(std::strtoul(words[1].c_str(), nullptr, 10));
      const std::string format = probe::Field(words[2]);
      std::vector<std::string> texts;
      texts.reserve(4);  // the pointers handed over must stay valid
      std::vector<quelm::FormatArgument> arguments;
      for (size_t index = 3; index < words.size(); ++index)
        arguments.push_back(Argument(words[index], texts));
      std::vector<char> buffer(capacity + 1, '\0');  // the extra byte ends even a buffer left unterminated
      const bool whole = quelm::FormatInto(buffer.data(), capacity, format.c_str(), arguments.data(),
                                           static_cast<unsigned>(arguments.size()));
      std::printf("%s %d\n", probe::Hex(buffer.data()).c_str(), whole ? 1 : 0);
    } else {
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "profile") == 0) {
    const std::optional<quelm::VersionRecord> version = quelm::sim::VersionForOsName(argv[4]);
    if (!version) return 2;
    return RunProfileCases(argv[2], argv[3], quelm::sim::ProfileReadingOf(*version, 1252));
  }
  if (argc == 3 && std::strcmp(argv[1], "format") == 0) return RunFormatCases(argv[2]);
  std::fprintf(stderr, "usage: sim-probe profile CASES FOLDER SYSTEM | format CASES\n");
  return 2;
}
