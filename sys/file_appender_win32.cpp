#include "sys/file_appender.h"

#include <windows.h>

#include <utility>

namespace zelsnmp {
namespace {

constexpr std::intptr_t kClosed = -1;

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

FileAppender::FileAppender(std::string path) : path_(std::move(path)), handle_(kClosed) {}

FileAppender::~FileAppender() {
  if (handle_ != kClosed) CloseHandle(AsHandle(handle_));
}

bool FileAppender::Open() {
  if (handle_ != kClosed) {
    // A file deleted since it was opened has no links left: a new one is made, as a fresh
    // open would.
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(AsHandle(handle_), &information) &&
        information.nNumberOfLinks > 0) {
      return true;
    }
    CloseHandle(AsHandle(handle_));
    handle_ = kClosed;
  }
  // Append-only access: every write goes to the end of the file as one piece.
  const HANDLE file = CreateFileA(path_.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool FileAppender::Append(std::string_view bytes) {
  if (!Open()) return false;
  const HANDLE file = AsHandle(handle_);
  LARGE_INTEGER before{};
  GetFileSizeEx(file, &before);
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  const bool whole = ok && written == bytes.size();
  if (!whole && written > 0) {
    // A short write (a full disk): the part that went in is cut off again.
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile = before;
    SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
  }
  return whole;
}

}  // namespace zelsnmp
