#include "sys/process.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zelsnmp {

namespace {

// The full path of the running program file; argv[0] when the platform cannot tell it.
std::string ExecutablePath(const char* argv0) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) break;
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) break;  // longer than any Windows path
    path.resize(path.size() * 2);
  }
  return argv0 != nullptr ? std::string(argv0) : std::string();
}

}  // namespace

std::int32_t CurrentProcessId() { return static_cast<std::int32_t>(GetCurrentProcessId()); }

std::vector<std::string> CommandLineArguments(int argc, const char* const* argv) {
  // The runtime gives the arguments in the ANSI code page (Windows-1251 on the complex's
  // machines) already: they are passed on unchanged.
  std::vector<std::string> arguments;
  arguments.push_back(ExecutablePath(argc > 0 ? argv[0] : nullptr));
  for (int i = 1; i < argc; ++i) arguments.push_back(argv[i]);
  return arguments;
}

std::string LocalHostName() {
  char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof buffer;
  if (!GetComputerNameA(buffer, &size)) return std::string();
  return std::string(buffer, size);
}

void WriteToStandardError(std::string_view bytes) {
  // A console or pipe that is gone makes the write fail; the line is then simply not echoed.
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 65536 ? 65536 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(error, bytes.data(), chunk, &written, nullptr) || written == 0) return;
    bytes.remove_prefix(written);
  }
}

}  // namespace zelsnmp
