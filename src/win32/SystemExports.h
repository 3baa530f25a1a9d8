// Functions that some system the launcher serves lacks: looked up at run time, never imported.
#pragma once

#include <windows.h>

namespace quelm {

// GetProcAddress's generic pointer, given the type the export really has.
template <typename Function>
Function FindExport(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// Export `name` of `library`, loading the library where it is not loaded yet; null where the system
// lacks either. The library stays loaded: the launcher's run is short, and its end unloads it.
// Libraries are named without ".DLL", which LoadLibraryA appends to a name without an extension on
// every Win32 system; the four bytes a name are what keep the image's data within its last block.
FARPROC FindSystemExportAddress(const char* library, const char* name);

template <typename Function>
Function FindSystemExport(const char* library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(FindSystemExportAddress(library, name)));
}

}  // namespace quelm
