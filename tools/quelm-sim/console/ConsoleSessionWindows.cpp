// On Windows: binary standard streams, and a console that reads them as UTF-8 while quelm-sim runs.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "console/ConsoleSession.h"

namespace quelm::tool {

ConsoleSession::ConsoleSession() {
  // Nothing has been written yet, so switching the mode loses nothing.
  static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
  static_cast<void>(_setmode(_fileno(stderr), _O_BINARY));
  // The output code page belongs to the console, not to this process: a cmd.exe window keeps it after
  // quelm-sim ends, so it is given back. Without a console (output to a file or a pipe) there is
  // nothing to set.
  const UINT current = GetConsoleOutputCP();
  if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8) != FALSE) previousCodePage_ = current;
}

ConsoleSession::~ConsoleSession() {
  if (previousCodePage_ == 0) return;
  // What is still buffered goes out in UTF-8; a stream that cannot take it has nobody left to tell.
  static_cast<void>(std::fflush(stdout));
  static_cast<void>(std::fflush(stderr));
  SetConsoleOutputCP(previousCodePage_);
}

}  // namespace quelm::tool
