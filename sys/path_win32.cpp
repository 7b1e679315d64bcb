#include "sys/path.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace zelsnmp {

std::filesystem::path PathFromEnvironment(const char* name) {
  std::wstring wide_name;
  for (const char* c = name; *c != '\0'; ++c) wide_name += static_cast<wchar_t>(*c);
  const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size == 0) return std::filesystem::path();
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(), size);
  if (length == 0 || length >= size) return std::filesystem::path();
  value.resize(length);
  return std::filesystem::path(value);
}

}  // namespace zelsnmp
