#include "sys/process.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include <string_view>

#include "util/cp1251.h"

namespace zelsnmp {

namespace {

// The path of the running executable, followed through /proc so that a relative argv[0] or a
// program started through PATH still gives the full path.
std::string ExecutablePath(const char* argv0) {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length > 0 && static_cast<size_t>(length) < sizeof buffer) {
    return std::string(buffer, static_cast<size_t>(length));
  }
  return argv0 != nullptr ? std::string(argv0) : std::string();
}

}  // namespace

std::int32_t CurrentProcessId() { return static_cast<std::int32_t>(getpid()); }

std::vector<std::string> CommandLineArguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  arguments.push_back(Utf8ToCp1251(ExecutablePath(argc > 0 ? argv[0] : nullptr)));
  for (int i = 1; i < argc; ++i) arguments.push_back(Utf8ToCp1251(argv[i]));
  return arguments;
}

std::string LocalHostName() {
  char buffer[HOST_NAME_MAX + 1] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
  return std::string(buffer);
}

void WriteToStandardError(std::string_view bytes) {
  // A write to a pipe without a reader raises SIGPIPE, whose default ends the process; with
  // the signal ignored the write reports EPIPE instead, and the line is simply not echoed.
  static std::once_flag ignore_broken_pipe;
  std::call_once(ignore_broken_pipe, [] { signal(SIGPIPE, SIG_IGN); });
  while (!bytes.empty()) {
    const ssize_t written = write(STDERR_FILENO, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace zelsnmp
