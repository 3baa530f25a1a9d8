// Script tokens as read and as meant.
#include "sim/TokenMeaning.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sim/NearestWord.h"
#include "sim/SimText.h"

namespace quelm::sim {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Unquoted(std::string_view text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// The command whose word the token's beginning (as long as the word) or the whole token is nearest,
// if it is near enough to be a slip of the keyboard.
const ScriptCommand* NearestCommand(std::string_view token) {
  const ScriptCommand* best = nullptr;
  size_t bestDistance = SIZE_MAX;
  for (unsigned index = 0; index < kScriptCommandCount; ++index) {
    const ScriptCommand& command = kScriptCommands[index];
    const std::string_view word = command.word;
    const size_t distance =
        std::min(EditDistance(token.substr(0, word.size()), word), EditDistance(token, word));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = &command;
    }
  }
  const size_t allowed =
      best == nullptr ? 0 : std::min<size_t>(3, std::max<size_t>(1, std::string_view(best->word).size() / 3));
  return bestDistance <= allowed ? best : nullptr;
}

bool IsPunctuation(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return c == '.' || c == ';' || c == '!' || IsBlank(c);
  });
}

}  // namespace

TokenMeaning MeaningOfToken(std::string_view token) {
  TokenMeaning meaning;
  meaning.selected = CommandFor(ViewOf(token));
  const std::string_view trimmed = Trimmed(token);
  const std::string_view unquoted = Trimmed(Unquoted(trimmed));
  meaning.meantToken = std::string(unquoted);
  meaning.meant = CommandFor(ViewOf(unquoted));
  if (meaning.meant == nullptr && unquoted.size() > 3 && StartsWithIgnoringCase(ViewOf(unquoted), "End") &&
      IsPunctuation(unquoted.substr(3))) {
    meaning.meant = CommandFor("End");
    meaning.meantToken = std::string(unquoted.substr(0, 3));
  }
  if (meaning.meant == nullptr) meaning.meant = NearestCommand(unquoted);
  if (meaning.selected == meaning.meant) return meaning;
  if (meaning.meant == nullptr) {
    meaning.why = "it is no command word";
  } else if (!token.empty() && IsBlank(token.front())) {
    meaning.why = "it begins with a blank";
  } else if (unquoted.size() != trimmed.size()) {
    meaning.why = "it is in quotes";
  } else if (meaning.meant->match == WordMatch::kWholeToken &&
             StartsWithIgnoringCase(ViewOf(token), meaning.meant->word)) {
    meaning.why = std::string(meaning.meant->word) + " must be the whole token";
  } else if (meaning.selected == nullptr) {
    meaning.why = "it is no command word; the nearest is " + std::string(meaning.meant->word);
  } else {
    meaning.why = "it selects " + std::string(meaning.selected->word) + ", not " + meaning.meant->word;
  }
  return meaning;
}

}  // namespace quelm::sim
