#include "sys/file_appender.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <utility>

#include "sys/append_win32.h"

namespace zelsnmp {

// On Windows the file is opened for each append and closed right after it: a file held open
// keeps its folder from being removed and a deleted file pending until it is closed, which
// would stand in the way of whoever tidies the site while the task runs. No handle is kept.
FileAppender::FileAppender(std::filesystem::path path) : path_(std::move(path)), handle_(-1) {}

FileAppender::~FileAppender() = default;

bool FileAppender::Append(std::string_view bytes) {
  const HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool whole = AppendToOpenFile(file, bytes);
  CloseHandle(file);
  return whole;
}

}  // namespace zelsnmp
