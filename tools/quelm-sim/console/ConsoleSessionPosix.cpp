// On Linux and other POSIX systems the standard streams already carry UTF-8 bytes unchanged.
#include "console/ConsoleSession.h"

namespace quelm::tool {

ConsoleSession::ConsoleSession() = default;

ConsoleSession::~ConsoleSession() = default;

}  // namespace quelm::tool
