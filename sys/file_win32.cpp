#include "sys/file.h"

#include "sys/append_win32.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zelsnmp {

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool AppendToOpenFile(void* handle, std::string_view bytes) {
  if (bytes.size() > MAXDWORD) return false;
  const HANDLE file = static_cast<HANDLE>(handle);
  LARGE_INTEGER earlier_length{};
  if (GetFileSizeEx(file, &earlier_length) == 0) return false;
  // Both offsets all ones: the write goes to the end of the file as it is at that moment, in
  // one piece, as an append-mode write does.
  OVERLAPPED at_end{};
  at_end.Offset = 0xFFFFFFFF;
  at_end.OffsetHigh = 0xFFFFFFFF;
  DWORD written = 0;
  const BOOL wrote =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &at_end);
  const bool whole = wrote && written == bytes.size();
  if (!whole) {
    // A short write (a full disk) leaves no half line behind.
    SetFilePointerEx(file, earlier_length, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
  }
  return whole;
}

bool AppendToFile(const std::string& path, std::string_view bytes) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool whole = AppendToOpenFile(file, bytes);
  CloseHandle(file);
  return whole;
}

std::string PathInCurrentDirectory(std::string_view file_name) {
  return ".\\" + std::string(file_name);
}

std::string_view ProgramPathSeparators() { return "\\:"; }

}  // namespace zelsnmp
