// "; quelm-lint: disable=" comments: which checks they silence, and on which line.
#include "lint/Linter.h"
#include "sim/NearestWord.h"

namespace quelm::tool::lint {

void Linter::ReadDirectives() {
  const std::vector<std::string_view> lines = LinesOf(text_);
  std::set<std::string> pending;
  for (size_t index = 0; index < lines.size(); ++index) {
    const auto line = static_cast<unsigned>(index + 1);
    std::string_view text = lines[index];
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (text.empty()) continue;
    const std::optional<std::set<std::string>> checks = DirectiveChecks(text, line);
    if (checks) {
      pending.insert(checks->begin(), checks->end());
      continue;
    }
    if (!pending.empty()) disabled_[line].insert(pending.begin(), pending.end());
    pending.clear();
  }
}

std::optional<std::set<std::string>> Linter::DirectiveChecks(std::string_view text, unsigned line) {
  if (text.front() != ';') return std::nullopt;
  text.remove_prefix(1);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.starts_with(kDirective)) return std::nullopt;
  text.remove_prefix(kDirective.size());
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  std::set<std::string> checks;
  const std::string_view kDisable = "disable=";
  if (!text.starts_with(kDisable)) {
    Report({line, 1}, "lint-directive", "a quelm-lint comment says what to do as disable=CHECK[,CHECK]");
    return checks;
  }
  text.remove_prefix(kDisable.size());
  std::vector<std::string> names;
  for (const Check& check : Checks()) names.emplace_back(check.name);
  while (!text.empty()) {
    const size_t comma = std::min(text.find(','), text.size());
    std::string_view name = text.substr(0, comma);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    if (CheckNamed(name) == nullptr) {
      Report({line, 1}, "lint-directive",
             Quoted(name) + " is no check of quelm-sim lint" + sim::DidYouMean(name, names) +
                 ", so nothing is disabled");
    } else {
      checks.emplace(name);
    }
    text.remove_prefix(std::min(comma + 1, text.size()));
  }
  return checks;
}

}  // namespace quelm::tool::lint
