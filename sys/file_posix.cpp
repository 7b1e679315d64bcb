#include "sys/file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace zelsnmp {

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool AppendToFile(const std::string& path, std::string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
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
  close(fd);
  return whole;
}

std::string PathInCurrentDirectory(std::string_view file_name) {
  return "./" + std::string(file_name);
}

std::string_view ProgramPathSeparators() { return "\\:/"; }

}  // namespace zelsnmp
