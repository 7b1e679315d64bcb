#include "sys/file_appender.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <utility>

namespace zelsnmp {
namespace {

constexpr std::intptr_t kClosed = -1;

}  // namespace

// On Windows the file is opened for each append and closed right after it: a file held open
// keeps its folder from being removed and a deleted file pending until it is closed, which
// would stand in the way of whoever tidies the site while the task runs.
FileAppender::FileAppender(std::filesystem::path path)
    : path_(std::move(path)), handle_(kClosed) {}

FileAppender::~FileAppender() = default;

bool FileAppender::Open() {
  const HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool FileAppender::Append(std::string_view bytes) {
  if (bytes.size() > MAXDWORD || !Open()) return false;
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  LARGE_INTEGER earlier_length{};
  bool whole = GetFileSizeEx(file, &earlier_length) != 0;
  if (whole) {
    // Both offsets all ones: the write goes to the end of the file as it is at that moment,
    // in one piece, as an append-mode write does.
    OVERLAPPED at_end{};
    at_end.Offset = 0xFFFFFFFF;
    at_end.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &at_end);
    whole = wrote && written == bytes.size();
    if (!whole) {
      // A short write (a full disk) leaves no half line behind.
      SetFilePointerEx(file, earlier_length, nullptr, FILE_BEGIN);
      SetEndOfFile(file);
    }
  }
  CloseHandle(file);
  handle_ = kClosed;
  return whole;
}

}  // namespace zelsnmp
