// Reading a host file for the simulated machine on Windows.
#include <windows.h>

#include <cwchar>
#include <functional>

#include "sim/SimFileSystem.h"

namespace quelm::sim {

namespace {

// The system's own words for the last error, in UTF-8 and on one line.
std::string SystemFault(const char* what) {
  const DWORD error = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words = length > 0 ? std::wstring(text, length) : L"error " + std::to_wstring(error);
  LocalFree(text);
  while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ')) {
    words.pop_back();
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, words.data(), static_cast<int>(words.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, words.data(), static_cast<int>(words.size()), utf8.data(), size, nullptr,
                      nullptr);
  return std::string(what) + ": " + utf8;
}

// Closes a handle on every way out.
class Handle {
 public:
  explicit Handle(HANDLE value) : value_(value) {}
  ~Handle() {
    if (value_ != INVALID_HANDLE_VALUE) CloseHandle(value_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Value() const { return value_; }

 private:
  HANDLE value_;
};

// "NUL", "CON", "COM1" and "\\.\pipe\name" name devices wherever they stand; their full path says so.
bool NamesDevice(const std::filesystem::path& path) {
  wchar_t full[MAX_PATH * 2];
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
  return length > 0 && length < MAX_PATH * 2 && std::wcsncmp(full, L"\\\\.\\", 4) == 0;
}

}  // namespace

std::string ReadHostFileChunks(const std::filesystem::path& path, size_t limit,
                               const std::function<void(std::string_view)>& take) {
  std::string tooLarge = "is larger than " + std::to_string(limit) + " bytes";
  // The name is looked at first so that a device or pipe is never even opened (opening a pipe connects
  // to its server); the opened file is looked at again because the name may have changed hands
  // meanwhile.
  if (NamesDevice(path)) return "is not a regular file";
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return SystemFault("cannot open");
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "is a folder";
  const Handle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Value() == INVALID_HANDLE_VALUE) return SystemFault("cannot open");
  if (GetFileType(file.Value()) != FILE_TYPE_DISK) return "is not a regular file";
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileInformationByHandle(file.Value(), &information) == FALSE) return SystemFault("cannot read");
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "is a folder";
  const uint64_t size = static_cast<uint64_t>(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
  if (size > limit) return tooLarge;

  // The size is only a hint: a file can grow while it is read, so the limit is also kept while reading.
  size_t taken = 0;
  char chunk[64 * 1024];
  for (;;) {
    DWORD count = 0;
    if (ReadFile(file.Value(), chunk, sizeof(chunk), &count, nullptr) == FALSE) {
      return SystemFault("cannot read");
    }
    if (count == 0) break;
    if (count > limit - taken) return tooLarge;
    taken += count;
    take(std::string_view(chunk, count));
  }
  return "";
}

}  // namespace quelm::sim
