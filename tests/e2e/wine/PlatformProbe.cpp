// platform-probe.exe: what the real Windows calls answer, for the differential checks of the
// simulated machine (see ProbeCases.h for the case files and the output).
//
// Usage: platform-probe.exe version
//        platform-probe.exe profile CASES CORPUS_FOLDER
//        platform-probe.exe format CASES
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ProbeCases.h"

namespace {

int PrintVersion() {
  OSVERSIONINFOA version;
  ZeroMemory(&version, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return 1;
  // The form quelm-sim's --version takes, then the build number for the record.
  std::printf("%lu.%lu.%lu:%s\n%lu\n", version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion,
              version.szCSDVersion, version.dwBuildNumber);
  return 0;
}

int RunProfileCases(const char* casesPath, const std::string& folder) {
  for (const auto& words : probe::ReadCases(casesPath)) {
    if (words.size() != 5) return 1;
    const std::string path = folder + "\\" + words[0];
    const std::string section = probe::Field(words[1]);
    const std::string key = probe::Field(words[2]);
    const std::string defaultValue = probe::Field(words[3]);
    const auto size = static_cast<uint32_t>(std::strtoul(words[4].c_str(), nullptr, 10));
    std::vector<char> buffer(size + probe::kSlack, probe::kJunk);
    const DWORD returned = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                                    buffer.data(), size, path.c_str());
    std::printf("%s\n", probe::DescribeLookup(returned, buffer, size).c_str());
  }
  return 0;
}

// wsprintfA takes its arguments from the stack, 32 bits each, so texts and numbers can share one list.
DWORD_PTR Argument(const std::vector<std::string>& words, size_t index, std::vector<std::string>& texts) {
  if (index >= words.size()) return 0;
  const std::string& word = words[index];
  if (word.rfind("s:", 0) == 0) {
    texts.push_back(probe::Unhex(word.substr(2)));
    return reinterpret_cast<DWORD_PTR>(texts.back().c_str());
  }
  return static_cast<DWORD_PTR>(static_cast<int32_t>(std::strtol(word.c_str() + 2, nullptr, 10)));
}

int RunFormatCases(const char* casesPath) {
  for (const auto& words : probe::ReadCases(casesPath)) {
    char output[1100] = {};
    if (words[0] == "hwid" && words.size() == 2) {
      const auto identification = static_cast<uint32_t>(std::strtoul(words[1].c_str(), nullptr, 16));
      wsprintfA(output, "VEN_%04X&DEV_%04X", identification & 0xFFFFu, identification >> 16);
    } else if (words[0] == "location" && words.size() == 4) {
      wsprintfA(output, "BUS_%02X&DEV_%02X&FUNC_%02X", std::atoi(words[1].c_str()),
                std::atoi(words[2].c_str()), std::atoi(words[3].c_str()));
    } else if (words[0] == "format" && words.size() >= 3 && words.size() <= 7) {
      std::vector<std::string> texts;
      texts.reserve(4);  // the pointers handed over must stay valid
      const std::string format = probe::Field(words[2]);
      wsprintfA(output, format.c_str(), Argument(words, 3, texts), Argument(words, 4, texts),
                Argument(words, 5, texts), Argument(words, 6, texts));
    } else {
      return 1;
    }
    std::printf("%s\n", probe::Hex(output).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc == 2 && std::strcmp(argv[1], "version") == 0) return PrintVersion();
  if (argc == 4 && std::strcmp(argv[1], "profile") == 0) return RunProfileCases(argv[2], argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "format") == 0) return RunFormatCases(argv[2]);
  std::fprintf(stderr, "usage: platform-probe.exe version | profile CASES FOLDER | format CASES\n");
  return 2;
}
