// A script token as the launcher reads it beside what its author plainly meant: the one model of both
// that run's explanations and lint's findings take.
#pragma once

#include <string>
#include <string_view>

#include "app/ScriptCommands.h"

namespace quelm::sim {

struct TokenMeaning {
  const ScriptCommand* selected = nullptr;  // by the launcher's command table; null: skipped
  const ScriptCommand* meant = nullptr;     // the command the author plainly meant; null where none is plain
  std::string meantToken;                   // the token as meant: surrounding blanks and quotes gone
  // Why the two differ, in words: "it begins with a blank", "it is in quotes", "End must be the whole
  // token", "it is no command word"; empty where they agree.
  std::string why;
};

// Blanks around the token and one pair of quotes are plainly not meant (a script is typed as a list);
// a token that selects nothing and begins with something close to a command word (at most a third of
// its letters off, as a slip of the keyboard) meant that word; "End" followed by punctuation meant End.
TokenMeaning MeaningOfToken(std::string_view token);

}  // namespace quelm::sim
