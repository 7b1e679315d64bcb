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

namespace {

constexpr DWORD kReadChunkBytes = 64 * 1024;

std::string SystemErrorText(DWORD error) {
  char text[256] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                     0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
}

FileReadStatus StatusOfOpenError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return FileReadStatus::kMissing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return FileReadStatus::kNoPermission;
    case ERROR_PIPE_BUSY: return FileReadStatus::kPipe;
    default: return FileReadStatus::kReadError;
  }
}

// Closes the handle however the read ends, a std::bad_alloc included.
class OpenFile {
 public:
  explicit OpenFile(HANDLE handle) : handle_(handle) {}
  ~OpenFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  HANDLE handle() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

FileReadResult ReadWholeFile(const std::string& path, std::uint64_t max_bytes,
                             std::string& bytes) {
  bytes.clear();
  FileReadResult result;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    result.status = FileReadStatus::kDirectory;
    return result;
  }
  const OpenFile file(CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.handle() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    result.status = StatusOfOpenError(error);
    result.error_text = SystemErrorText(error);
    return result;
  }
  switch (GetFileType(file.handle())) {
    case FILE_TYPE_DISK: break;
    case FILE_TYPE_CHAR: result.status = FileReadStatus::kDevice; return result;
    case FILE_TYPE_PIPE: result.status = FileReadStatus::kPipe; return result;
    default: result.status = FileReadStatus::kNotRegular; return result;
  }
  LARGE_INTEGER length{};
  if (GetFileSizeEx(file.handle(), &length) == 0) {
    result.error_text = SystemErrorText(GetLastError());
    return result;
  }
  result.length_at_open = static_cast<std::uint64_t>(length.QuadPart);
  if (result.length_at_open > max_bytes) {
    result.status = FileReadStatus::kTooLarge;
    return result;
  }
  bytes.reserve(static_cast<std::size_t>(result.length_at_open));
  char chunk[kReadChunkBytes];
  for (;;) {
    DWORD got = 0;
    if (ReadFile(file.handle(), chunk, kReadChunkBytes, &got, nullptr) == 0) {
      result.status = FileReadStatus::kReadError;
      result.error_text = SystemErrorText(GetLastError());
      bytes.clear();
      return result;
    }
    if (got == 0) break;
    result.bytes_read += got;
    if (result.bytes_read > max_bytes) {
      result.status = FileReadStatus::kTooLarge;
      bytes.clear();
      return result;
    }
    bytes.append(chunk, got);
  }
  LARGE_INTEGER length_after{};
  const bool same_length = GetFileSizeEx(file.handle(), &length_after) != 0 &&
                           length_after.QuadPart == length.QuadPart &&
                           result.bytes_read == result.length_at_open;
  result.status = same_length ? FileReadStatus::kRead : FileReadStatus::kChanged;
  return result;
}

std::string PathInCurrentDirectory(std::string_view file_name) {
  return ".\\" + std::string(file_name);
}

std::string_view ProgramPathSeparators() { return "\\:"; }

}  // namespace zelsnmp
