// A run's events as a person reads them, or as one JSON object per line.
#include "EventRendering.h"

#include <iconv.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <sstream>

namespace quelm::tool {

namespace {

using Json = nlohmann::ordered_json;

std::string StyleName(uint32_t style) {
  return style == static_cast<uint32_t>(MessageStyle::kOkCancel) ? "OK, Cancel" : "OK";
}

// The message as it reads on screen: CR LF breaks the line, every line indented.
std::string Indented(const std::string& text) {
  std::string out = "    ";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
    if (text[i] == '\n') out += "    ";
  }
  return out;
}

struct JsonEvent {
  uint32_t codePage;

  Json operator()(const sim::StartEvent& e) const {
    return {{"event", "start"},
            {"osName", e.osName},
            {"baseDir", Text(e.baseDir)},
            {"iniPath", Text(e.iniPath)},
            {"installDir", Text(e.installDir)},
            {"usbSupplementInstalled", e.usbSupplementInstalled},
            {"pciAccess", e.pciAccess}};
  }
  Json operator()(const sim::MessageEvent& e) const {
    return {{"event", "message"},
            {"key", Text(e.key)},
            {"style", e.style},
            {"text", Text(e.text)},
            {"answer", AnswerName(e.answer)}};
  }
  Json operator()(const sim::QuitEvent&) const { return {{"event", "quit"}}; }
  Json operator()(const sim::CardEvent& e) const {
    return {{"event", "card"},
            {"hardwareId", Text(e.hardwareId)},
            {"location", Text(e.location)},
            {"busType", Text(e.busType)},
            {"passFlag", e.passFlag}};
  }
  Json operator()(const sim::InstallerEvent& e) const {
    Json json = {{"event", "installer"}, {"commandLine", Text(e.commandLine)}};
    if (e.started) {
      json["exitCode"] = e.exitCode;
      json["windowPasses"] = e.windowPasses;
      json["clicked"] = e.clicked;
    } else {
      json["error"] = e.error;
    }
    return json;
  }
  Json operator()(const sim::ShellEvent& e) const {
    return {{"event", "shell"},
            {"file", Text(e.file)},
            {"directory", e.directory ? Json(Text(*e.directory)) : Json(nullptr)}};
  }
  Json operator()(const sim::HangEvent& e) const { return {{"event", "hang"}, {"waitingFor", e.waitingFor}}; }
  Json operator()(const sim::ExitEvent& e) const { return {{"event", "exit"}, {"exitCode", e.exitCode}}; }

  std::string Text(const std::string& text) const { return ToUtf8(text, codePage); }
};

struct TextEvent {
  std::string operator()(const sim::StartEvent& e) const {
    std::ostringstream out;
    out << "Environment: " << (e.osName.empty() ? "unrecognised Windows version" : e.osName)
        << ", base directory \"" << e.baseDir << "\", configuration file \"" << e.iniPath
        << "\", installation directory \"" << e.installDir << "\", USB supplement "
        << (e.usbSupplementInstalled != 0 ? "installed" : "not installed") << ", PCI access: " << e.pciAccess;
    return out.str();
  }
  std::string operator()(const sim::MessageEvent& e) const {
    return "Message \"" + e.key + "\" [" + StyleName(e.style) + "]:\n" + Indented(e.text) + "\n  answered " +
           AnswerName(e.answer);
  }
  std::string operator()(const sim::QuitEvent&) const { return "Quit request"; }
  std::string operator()(const sim::CardEvent& e) const {
    return "Card found: " + e.hardwareId + " at " + e.location + ", bus type \"" + e.busType +
           "\", pass flag " + std::to_string(e.passFlag);
  }
  std::string operator()(const sim::InstallerEvent& e) const {
    if (!e.started)
      return "Installer program could not start (error " + std::to_string(e.error) + "): " + e.commandLine;
    return "Installer program: " + e.commandLine + "\n  window " +
           (e.clicked ? "confirmed" : "not confirmed") + " after " + std::to_string(e.windowPasses) +
           " window passes; exit code " + std::to_string(e.exitCode);
  }
  std::string operator()(const sim::ShellEvent& e) const {
    return "Shell open: \"" + e.file + "\"" +
           (e.directory ? " in \"" + *e.directory + "\"" : " (no working directory)");
  }
  std::string operator()(const sim::HangEvent& e) const {
    return "HANG: the launcher would wait forever for " + e.waitingFor +
           "; the simulation ended the installer program";
  }
  std::string operator()(const sim::ExitEvent& e) const { return "Exit code " + std::to_string(e.exitCode); }
};

std::string Windows1252ToUtf8(const std::string& text) {
  // Code points of 0x80 to 0x9F; the five bytes the code page leaves undefined keep their own value.
  static const char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                             0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const unsigned code = (byte >= 0x80 && byte <= 0x9F) ? kHighControls[byte - 0x80] : byte;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

// Any other code page through the C library's converter, one undecodable byte at a time.
std::string ConvertedToUtf8(const std::string& text, uint32_t codePage) {
  iconv_t converter = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
  // (iconv_t)-1 is how iconv_open says it knows no such conversion.
  if (converter == reinterpret_cast<iconv_t>(-1))
    return Windows1252ToUtf8(text);  // NOLINT(performance-no-int-to-ptr)
  std::string out;
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char buffer[256];
    char* to = buffer;
    size_t toLeft = sizeof(buffer);
    const size_t result = iconv(converter, &in, &inLeft, &to, &toLeft);
    out.append(buffer, static_cast<size_t>(to - buffer));
    if (result == static_cast<size_t>(-1) && errno != E2BIG) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++in;
      --inLeft;
    }
  }
  iconv_close(converter);
  return out;
}

}  // namespace

const char* AnswerName(int32_t answer) {
  return answer == kAnswerCancel ? "CANCEL" : "OK";
}

std::string ToUtf8(const std::string& text, uint32_t codePage) {
  return codePage == 1252 ? Windows1252ToUtf8(text) : ConvertedToUtf8(text, codePage);
}

std::string RenderJson(const std::vector<sim::Event>& events, uint32_t codePage) {
  std::string out;
  for (const sim::Event& event : events) out += std::visit(JsonEvent{codePage}, event).dump() + "\n";
  return out;
}

std::string RenderText(const std::vector<sim::Event>& events, uint32_t codePage) {
  std::string out;
  for (const sim::Event& event : events) out += ToUtf8(std::visit(TextEvent{}, event), codePage) + "\n";
  return out;
}

}  // namespace quelm::tool
