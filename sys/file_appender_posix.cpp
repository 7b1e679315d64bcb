#include "sys/file_appender.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace zelsnmp {
namespace {

constexpr std::intptr_t kClosed = -1;

}  // namespace

FileAppender::FileAppender(std::string path) : path_(std::move(path)), handle_(kClosed) {}

FileAppender::~FileAppender() {
  if (handle_ != kClosed) close(static_cast<int>(handle_));
}

bool FileAppender::Open() {
  if (handle_ != kClosed) {
    // A file deleted since it was opened has no links left: a new one is made, as a fresh
    // open would.
    struct stat status;
    if (fstat(static_cast<int>(handle_), &status) == 0 && status.st_nlink > 0) return true;
    close(static_cast<int>(handle_));
    handle_ = kClosed;
  }
  const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

bool FileAppender::Append(std::string_view bytes) {
  if (!Open()) return false;
  const int fd = static_cast<int>(handle_);
  ssize_t written;
  do {
    written = write(fd, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  const bool whole = written >= 0 && static_cast<size_t>(written) == bytes.size();
  if (!whole && written > 0) {
    // A short write (a full disk): the part that went in is cut off again, so that the file
    // never holds half of `bytes` and the next append does not glue onto it. In append mode
    // the offset now stands right behind the part written.
    const off_t end = lseek(fd, 0, SEEK_CUR);
    if (end >= written) {
      while (ftruncate(fd, end - written) != 0 && errno == EINTR) {
      }
    }
  }
  return whole;
}

}  // namespace zelsnmp
