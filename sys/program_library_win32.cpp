#include "sys/program_library_win32.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>
#include <string>

namespace zelsnmp {

namespace {

// Longer than any Windows path.
constexpr std::size_t kLongestPathChars = 32768;

// The folder of the running program file, in wide characters so that no name is lost to the
// ANSI code page; empty when the platform cannot tell it.
std::filesystem::path ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::filesystem::path();
    if (length < path.size()) {
      path.resize(length);
      return std::filesystem::path(path).parent_path();
    }
    if (path.size() >= kLongestPathChars) return std::filesystem::path();
    path.resize(path.size() * 2);
  }
}

std::filesystem::path BesideProgram(std::string_view file_name) {
  return ProgramFolder() / std::wstring(file_name.begin(), file_name.end());
}

bool IsMissingFileError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool FileBesideProgram(std::string_view file_name) {
  const DWORD attributes = GetFileAttributesW(BesideProgram(file_name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ProgramLibrary LoadLibraryBesideProgram(std::string_view file_name) {
  ProgramLibrary library;
  const std::filesystem::path file = BesideProgram(file_name);
  if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
    library.error = GetLastError();
    library.file_missing = IsMissingFileError(library.error);
    return library;
  }
  // A missing dependency must not stop an unattended task at a dialog box.
  DWORD previous_mode = 0;
  const bool mode_set = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_mode) != 0;
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr,
                                  LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  // A Windows without those search flags refuses them: its dependencies are then searched from
  // the library's own folder on.
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    module = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  library.error = module == nullptr ? GetLastError() : 0;
  if (mode_set) SetThreadErrorMode(previous_mode, nullptr);
  library.handle = module;
  return library;
}

void* LibraryEntry(const ProgramLibrary& library, const char* name) {
  if (library.handle == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library.handle), name));
}

}  // namespace zelsnmp
