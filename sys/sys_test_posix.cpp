// The POSIX side of the platform layer: local paths, the program's own path through /proc,
// UTF-8 arguments converted to Windows-1251, and SIGINT/SIGTERM turned into the stop event.

#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sys/event.h"
#include "sys/file.h"
#include "sys/process.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using testing_support::ReadFile;

TEST(FileTest, LocalFileIsInTheCurrentDirectory) {
  EXPECT_EQ(PathInCurrentDirectory("zelSNMP_1_2"), "./zelSNMP_1_2");
}

TEST(ProcessTest, ArgumentZeroIsTheFullProgramPath) {
  const char* argv[] = {"whatever", "TMS", "\xd0\x9f"};  // the last is UTF-8 for Cyrillic Pe
  const std::vector<std::string> arguments = CommandLineArguments(3, argv);
  ASSERT_EQ(arguments.size(), 3u);
  EXPECT_EQ(arguments[0], std::filesystem::canonical("/proc/self/exe").string());
  EXPECT_EQ(arguments[1], "TMS");
  EXPECT_EQ(arguments[2], "\xcf");  // Windows-1251 for Cyrillic Pe
  EXPECT_EQ(CurrentProcessId(), static_cast<std::int32_t>(getpid()));
  EXPECT_FALSE(LocalHostName().empty());
}

// A full disk: a small file system of the test's own (a tmpfs of one page in a private mount
// namespace) with room for only part of a line. The part is undone, the failure reported, and
// the next line that fits follows the earlier ones directly.
TEST(FileTest, ShortWriteOnFullDiskIsUndone) {
  if (unshare(CLONE_NEWNS) != 0) {
    GTEST_SKIP() << "no mount namespace of its own (root only): " << strerror(errno);
  }
  ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0) << strerror(errno);
  const testing_support::TempDirectory dir;
  ASSERT_EQ(mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=4k"), 0) << strerror(errno);
  const std::string file = (dir.path() / "journal.tsv").string();
  const std::string earlier = std::string(4096 - 10 - 1, 'a') + "\n";  // 10 bytes left
  ASSERT_TRUE(AppendToFile(file, earlier));
  EXPECT_FALSE(AppendToFile(file, std::string(30, 'b') + "\n"));
  EXPECT_EQ(ReadFile(file), earlier);
  EXPECT_TRUE(AppendToFile(file, "ccc\n"));
  EXPECT_EQ(ReadFile(file), earlier + "ccc\n");
  umount2(dir.path().c_str(), MNT_DETACH);
}

class StopRequestTest : public testing::TestWithParam<int> {};

TEST_P(StopRequestTest, SignalsTheEventInsteadOfEndingTheProcess) {
  Event event;
  ASSERT_TRUE(SignalEventOnStopRequest(event.handle()));
  raise(GetParam());
  EXPECT_EQ(WaitForEvent(event.handle(), 5000), EventWaitResult::kSignalled);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopRequestTest, testing::Values(SIGINT, SIGTERM));

}  // namespace
}  // namespace zelsnmp
