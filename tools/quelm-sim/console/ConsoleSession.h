// Standard output and error set up for quelm-sim's UTF-8, for as long as the program runs.
#pragma once

namespace quelm::tool {

// quelm-sim writes UTF-8 with bare line feeds, the same bytes on every system, so that its JSON and the
// recorded outputs compare alike everywhere. On Linux that is how the streams already are. On Windows
// the C runtime would turn each line feed into CR LF and the console would read the bytes in its OEM
// code page; this session sets the streams to binary and the console to UTF-8, and gives the console
// its code page back at the end.
class ConsoleSession {
 public:
  ConsoleSession();
  // Only Windows' has work to do (giving the console its code page back); Linux's is empty.
  ~ConsoleSession();  // NOLINT(performance-trivially-destructible)
  ConsoleSession(const ConsoleSession&) = delete;
  ConsoleSession& operator=(const ConsoleSession&) = delete;

 private:
  unsigned previousCodePage_ = 0;  // the console's output code page before; 0 when nothing was changed
};

}  // namespace quelm::tool
