#include "sys/random.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zelsnmp {
namespace {

// The kernel's generator through the device file, for kernels without getrandom().
bool ReadUrandom(unsigned char* bytes, std::size_t size) {
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, bytes + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  close(fd);
  return done == size;
}

}  // namespace

bool FillRandomBytes(void* buffer, std::size_t size) {
  unsigned char* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    // By system call: <sys/random.h> is shadowed by this project's own sys/random.h.
    const long got = syscall(SYS_getrandom, bytes + done, size - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return ReadUrandom(bytes + done, size - done);
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace zelsnmp
