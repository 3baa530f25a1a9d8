// The one look-up behind every function found at run time.
#include "win32/SystemExports.h"

namespace quelm {

// Not inlined: every look-up shares one copy of the load and the search.
__attribute__((noinline)) FARPROC FindSystemExportAddress(const char* library, const char* name) {
  const HMODULE loaded = LoadLibraryA(library);
  return loaded != nullptr ? GetProcAddress(loaded, name) : nullptr;
}

}  // namespace quelm
