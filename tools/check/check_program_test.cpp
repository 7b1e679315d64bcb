// zelsnmp-check run as a process: its report on standard output and its exit status, and
// every kind of path an operator can give ending in a message that names it and exit status 3,
// within 10 seconds and in 200 MB of address space.

#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "poller/profile_reader.h"
#include "testing/temp_directory.h"

namespace zelsnmp::check {
namespace {

using testing_support::TempDirectory;

struct ProgramRun {
  int status = -1;     // the exit status; -1 when the program did not exit (killed)
  std::string output;  // standard output and standard error
};

// The program on `path`, run by `sh` behind `prefix`, killed after 10 s. The address space is
// limited except under AddressSanitizer, which reserves terabytes for its shadow memory.
ProgramRun RunProgram(const std::string& prefix, const std::string& path) {
#if defined(__SANITIZE_ADDRESS__)
  const std::string limit;
#else
  const std::string limit = "ulimit -v 200000; ";
#endif
  const std::string command = prefix + " sh -c '" + limit +
                              "exec timeout -s KILL 10 \"$0\" \"$1\"' " + ZELSNMP_CHECK_PROGRAM +
                              " '" + path + "' 2>&1";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int status = pclose(pipe);
  if (WIFEXITED(status) && WEXITSTATUS(status) != 137) run.status = WEXITSTATUS(status);
  return run;
}

TEST(CheckRunTest, ProgramPrintsTheReportAndExitsWithItsStatus) {
  TempDirectory directory;
  const std::string path =
      directory.Write("a.cfg", "[127.0.0.2]\n#TS1:1:70000=1.3.6.1.2.1.1.3.0\n");
  const ProgramRun run = RunProgram("", path);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("  LINE  KEY           KIND  TM POINT  OID\n"
                            "  2     #TS1:1:70000  TS    1:1:4464  1.3.6.1.2.1.1.3.0\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("line 2  warning:  point 70000 reaches the TM server as its low 16 "
                            "bits, 4464"),
            std::string::npos)
      << run.output;
}

struct PathCase {
  const char* name;
  // Makes the path in `directory`; gives it, or the empty text with `skip` saying why not.
  std::function<std::string(const TempDirectory& directory, std::string& skip)> make;
  std::string prefix;  // put before the program's shell
  std::string reason;  // a part of the message
};

// Root reads any file; a root process without the capabilities that override file permissions
// is denied like any user.
const std::string kWithoutOverride =
    geteuid() == 0 ? "setpriv --inh-caps=-all --bounding-set=-dac_override,-dac_read_search" : "";

const PathCase kPaths[] = {
    {"Directory", [](const TempDirectory& d, std::string&) { return d.path().string(); }, "",
     "it is a directory"},
    {"NeverEndingDevice",
     [](const TempDirectory&, std::string&) { return std::string("/dev/zero"); }, "",
     "it is a device"},
    {"Fifo",
     [](const TempDirectory& d, std::string& skip) {
       const std::string path = d.PathOf("fifo.cfg");
       if (mkfifo(path.c_str(), 0600) != 0) skip = "no FIFO can be made here";
       return path;
     },
     "", "it is a pipe"},
    {"NoReadPermission",
     [](const TempDirectory& d, std::string& skip) {
       const std::string path = d.Write("secret.cfg", "[127.0.0.2]\n");
       chmod(path.c_str(), 0);
       if (geteuid() == 0 && system("setpriv --version >/dev/null 2>&1") != 0) {
         skip = "root reads the file anyway and setpriv is missing to drop that right";
       }
       return path;
     },
     kWithoutOverride, "this user may not read it"},
    {"FourGibibytes",
     [](const TempDirectory& d, std::string&) {
       const std::string path = d.Write("huge.cfg", "[127.0.0.2]\n");
       std::filesystem::resize_file(path, std::uintmax_t{4} << 30);  // sparse: no disk spent
       return path;
     },
     "", "it holds 4294967296 bytes: the task reads no file longer than"},
    {"Missing", [](const TempDirectory& d, std::string&) { return d.PathOf("missing.cfg"); }, "",
     "no such file"},
};

class PathKindTest : public testing::TestWithParam<PathCase> {};

void PrintTo(const PathCase& path_case, std::ostream* out) { *out << path_case.name; }

TEST_P(PathKindTest, EndsInAMessageNamingThePath) {
  TempDirectory directory;
  std::string skip;
  const std::string path = GetParam().make(directory, skip);
  if (!skip.empty()) GTEST_SKIP() << skip;
  const ProgramRun run = RunProgram(GetParam().prefix, path);
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_NE(run.output.find("cannot read " + path + ": " + GetParam().reason), std::string::npos)
      << run.output;
}

INSTANTIATE_TEST_SUITE_P(Paths, PathKindTest, testing::ValuesIn(kPaths),
                         [](const testing::TestParamInfo<PathCase>& param_info) {
                           return std::string(param_info.param.name);
                         });

// A file that grows all the time the program reads it: a writer appends in a tight loop from
// before the program starts until it has ended. The file starts long, so that reading it takes
// a while, and far below the limit, so that it does not reach it before it is read.
TEST(PathKindTest, FileGrowingWhileReadIsRefused) {
  TempDirectory directory;
  const std::string path = directory.Write("growing.cfg", "[127.0.0.2]\n");
  std::filesystem::resize_file(path, ProfileReader::kMaxFileBytes / 4);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    const std::string line = "#TC1:1:1=1.3.6.1.2.1.1.3.0\n";
    while (!done) out.write(line.data(), static_cast<std::streamsize>(line.size())).flush();
  });
  const ProgramRun run = RunProgram("", path);
  done = true;
  writer.join();
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_NE(run.output.find("cannot read " + path + ": it changed while it was read"),
            std::string::npos)
      << run.output;
}

}  // namespace
}  // namespace zelsnmp::check
