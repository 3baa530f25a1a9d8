// The install script's command words: one table says which words there are, how a token selects one,
// and what each does. The launcher dispatches through it, and disk checks read it.
#pragma once

#include <stdint.h>

#include "config/Text.h"

namespace quelm {

class LauncherApp;

enum class ScriptFlow : uint8_t { kNext, kEnd };
enum class WordMatch : uint8_t {
  kPrefix,     // the token begins with the whole word (any case) and may carry any suffix
  kWholeToken  // the token is the word (any case)
};
// Which command a word is, for those that read the table without running it (disk checks key their
// rules by it, and a command without its rule is found by a test).
enum class CommandKind : uint8_t { kDetectCard, kCheckPciKey, kShowMsg, kShowUsbMsg, kInstall, kExec, kEnd };

struct ScriptCommand {
  const char* word;
  WordMatch match;
  CommandKind kind;
  ScriptFlow (*run)(LauncherApp& app, const char* token);
};

// In the order they are tried.
extern const ScriptCommand kScriptCommands[];
extern const unsigned kScriptCommandCount;

// The first command whose word the token matches; null for a token that selects none (it is skipped).
const ScriptCommand* CommandFor(TextView token);

}  // namespace quelm
