#include <algorithm>
#include <cstring>
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

TEST(RandomTest, DrawsDifferAndFillEveryByte) {
  unsigned char first[32] = {};
  unsigned char second[32] = {};
  ASSERT_TRUE(FillRandomBytes(first, sizeof first));
  ASSERT_TRUE(FillRandomBytes(second, sizeof second));
  EXPECT_NE(std::memcmp(first, second, sizeof first), 0);
  // Of 32 random bytes, all 0 has a chance of 2^-256.
  EXPECT_NE(std::count(first, first + sizeof first, 0), 32);
}

}  // namespace
}  // namespace zelsnmp
