// The install script's command words: one table says which words there are, how a token selects one,
// and what each does. The launcher dispatches through it, and disk checks read it.
#pragma once

#include "config/Text.h"

namespace quelm {

class LauncherApp;

enum class ScriptFlow { kNext, kEnd };
enum class WordMatch {
  kPrefix,     // the token begins with the whole word (any case) and may carry any suffix
  kWholeToken  // the token is the word (any case)
};

struct ScriptCommand {
  const char* word;
  WordMatch match;
  ScriptFlow (*run)(LauncherApp& app, const char* token);
};

// In the order they are tried.
extern const ScriptCommand kScriptCommands[];
extern const unsigned kScriptCommandCount;

// The first command whose word the token matches; null for a token that selects none (it is skipped).
const ScriptCommand* CommandFor(TextView token);

}  // namespace quelm
