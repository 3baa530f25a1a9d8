// Messages: the texts a script can show, and escapes that break the paths they hold.
#include <cctype>

#include "config/Capacities.h"
#include "lint/Linter.h"

namespace quelm::tool::lint {

void Linter::CheckMessages() {
  const Section* messages = file_.SectionNamed("Message");
  for (const auto& [folded, need] : messagesNeeded_) {
    const Key* key = sim::ProfileFile::KeyNamed(messages, need.key);
    const std::string text =
        key != nullptr && key->hasValue ? ReadKey(*key, "Message", kMessageCapacity) : "";
    if (key == nullptr || text.empty()) {
      Report(
          need.place, "missing-message",
          "the message " + Quoted(need.key) + " (" + need.why + ") has no text in [Message]: an empty box");
      continue;
    }
    CheckEscapesInPaths(*key, text);
  }
}

void Linter::CheckEscapesInPaths(const Key& key, const std::string& text) {
  const TextView view(text.data(), static_cast<unsigned>(text.size()));
  for (const char* escape : {"\\n", "\\t"}) {
    for (unsigned at = FindWhole(view, escape, leadBytes_); at != kNotFound;
         at = FindWhole(view, escape, leadBytes_, at + 2)) {
      const size_t wordStart = text.find_last_of(" \t", at == 0 ? 0 : at - 1);
      const size_t from = wordStart == std::string::npos ? 0 : wordStart + 1;
      const std::string word = text.substr(from, at - from);
      // A word that ends a sentence ("D:\TOOLS.\n") is followed by a break on purpose.
      const bool endsSentence = !word.empty() && std::string(".,;:!?").find(word.back()) != std::string::npos;
      const size_t size = word.size();
      const bool drive = size >= 2 && word[size - 1] == ':' &&
                         std::isalpha(static_cast<unsigned char>(word[size - 2])) != 0 &&
                         (size == 2 || std::isalnum(static_cast<unsigned char>(word[size - 3])) == 0);
      const bool inPath = !endsSentence && word.find('\\') != std::string::npos &&
                          (word.find(':') != std::string::npos || word.rfind("\\\\", 0) == 0);
      if (drive || inPath) {
        Report(PlaceInValue(key, at), "escape-in-path",
               "in the message " + Quoted(key.name) + ", " + Quoted(word + escape) + " is a path, but " +
                   escape +
                   (std::string(escape) == "\\n" ? " breaks the line there" : " becomes a tab there"));
      }
    }
  }
}

}  // namespace quelm::tool::lint
