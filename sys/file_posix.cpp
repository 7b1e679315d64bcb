#include "sys/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "sys/file_appender.h"

namespace zelsnmp {

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool AppendToFile(const std::string& path, std::string_view bytes) {
  // The appender's one write, with a short write cut back, and the file closed again.
  return FileAppender(path).Append(bytes);
}

namespace {

constexpr std::size_t kReadChunkBytes = 64 * 1024;

FileReadStatus StatusOfOpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return FileReadStatus::kMissing;
    case EACCES:
    case EPERM: return FileReadStatus::kNoPermission;
    case EISDIR: return FileReadStatus::kDirectory;
    case ENXIO: return FileReadStatus::kPipe;  // a socket, or a FIFO opened for writing
    default: return FileReadStatus::kReadError;
  }
}

FileReadStatus StatusOfKind(mode_t mode) {
  if (S_ISREG(mode)) return FileReadStatus::kRead;
  if (S_ISDIR(mode)) return FileReadStatus::kDirectory;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileReadStatus::kDevice;
  if (S_ISFIFO(mode) || S_ISSOCK(mode)) return FileReadStatus::kPipe;
  return FileReadStatus::kNotRegular;
}

// Closes the descriptor however the read ends, a std::bad_alloc included.
class OpenFile {
 public:
  explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
  ~OpenFile() {
    if (descriptor_ >= 0) close(descriptor_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

}  // namespace

FileReadResult ReadWholeFile(const std::string& path, std::uint64_t max_bytes,
                             std::string& bytes) {
  bytes.clear();
  FileReadResult result;
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const OpenFile file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.descriptor() < 0) {
    const int error = errno;
    result.status = StatusOfOpenError(error);
    result.error_text = std::strerror(error);
    return result;
  }
  struct stat opened {};
  if (fstat(file.descriptor(), &opened) != 0) {
    result.error_text = std::strerror(errno);
    return result;
  }
  result.status = StatusOfKind(opened.st_mode);
  if (result.status != FileReadStatus::kRead) return result;
  result.length_at_open = static_cast<std::uint64_t>(opened.st_size);
  if (result.length_at_open > max_bytes) {
    result.status = FileReadStatus::kTooLarge;
    return result;
  }
  bytes.reserve(static_cast<std::size_t>(result.length_at_open));
  char chunk[kReadChunkBytes];
  for (;;) {
    const ssize_t got = read(file.descriptor(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result.status = FileReadStatus::kReadError;
      result.error_text = std::strerror(errno);
      bytes.clear();
      return result;
    }
    if (got == 0) break;
    result.bytes_read += static_cast<std::uint64_t>(got);
    if (result.bytes_read > max_bytes) {
      result.status = FileReadStatus::kTooLarge;
      bytes.clear();
      return result;
    }
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  struct stat after {};
  const bool same_length = fstat(file.descriptor(), &after) == 0 &&
                           after.st_size == opened.st_size &&
                           result.bytes_read == result.length_at_open;
  result.status = same_length ? FileReadStatus::kRead : FileReadStatus::kChanged;
  return result;
}

std::string PathInCurrentDirectory(std::string_view file_name) {
  return "./" + std::string(file_name);
}

std::string_view ProgramPathSeparators() { return "\\:/"; }

}  // namespace zelsnmp
