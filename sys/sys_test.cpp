#include <sched.h>
#include <string.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "sys/clock.h"
#include "sys/file.h"
#include "sys/process.h"
#include "sys/random.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using testing_support::ReadFile;

TEST(ClockTest, TickCountAdvancesInMilliseconds) {
  const std::uint32_t before = TickCountMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  // Unsigned difference stays right across a wrap of the counter.
  const std::uint32_t elapsed = TickCountMs() - before;
  EXPECT_GE(elapsed, 50u);
  EXPECT_LT(elapsed, 10000u);
}

TEST(ClockTest, LocalTimeIsInRange) {
  const LocalTime now = LocalTimeNow();
  EXPECT_GE(now.year, 2020);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.millisecond >= 0 && now.millisecond <= 999);
}

TEST(FileTest, AppendCreatesThenAppendsAndRemoveDeletes) {
  const testing_support::TempDirectory dir;
  const std::filesystem::path file = dir.path() / "append.txt";
  ASSERT_TRUE(AppendToFile(file.string(), "one\n"));
  ASSERT_TRUE(AppendToFile(file.string(), std::string("t\0o\n", 4)));
  EXPECT_EQ(ReadFile(file), std::string("one\nt\0o\n", 8));
  EXPECT_TRUE(RemoveFile(file.string()));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(RemoveFile(file.string()));
  EXPECT_FALSE(AppendToFile((dir.path() / "no" / "such" / "dir").string(), "x"));
  EXPECT_FALSE(RemoveFile(dir.path().string()));  // a directory is not a file
}

// A full disk: a small file system of the test's own (a tmpfs of one page in a private mount
// namespace) with room for only part of a line. The part is undone, the failure reported, and
// the next line that fits follows the earlier ones directly.
TEST(FileTest, ShortWriteOnFullDiskIsUndone) {
  if (unshare(CLONE_NEWNS) != 0) GTEST_SKIP() << "no mount namespace: " << strerror(errno);
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

TEST(RandomTest, DrawsDifferAndFillEveryByte) {
  unsigned char first[32] = {};
  unsigned char second[32] = {};
  ASSERT_TRUE(FillRandomBytes(first, sizeof first));
  ASSERT_TRUE(FillRandomBytes(second, sizeof second));
  EXPECT_NE(std::memcmp(first, second, sizeof first), 0);
  // Of 32 random bytes, all 0 has a chance of 2^-256.
  EXPECT_NE(std::count(first, first + sizeof first, 0), 32);
}

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

}  // namespace
}  // namespace zelsnmp
