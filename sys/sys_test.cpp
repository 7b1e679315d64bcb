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

// The counter is held against the monotonic clock around it, not against a fixed bound: the
// ticks lie between the clock's time inside and outside the two readings, give or take the
// counter's resolution (about 16 ms on Windows), however long the machine took.
TEST(ClockTest, TickCountAdvancesInMilliseconds) {
  using std::chrono::steady_clock;
  constexpr long long kResolutionMs = 20;
  const auto outer_start = steady_clock::now();
  const std::uint32_t before = TickCountMs();
  const auto inner_start = steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  const auto inner_end = steady_clock::now();
  // Unsigned difference stays right across a wrap of the counter.
  const long long elapsed = static_cast<std::uint32_t>(TickCountMs() - before);
  const auto outer_end = steady_clock::now();
  auto ms = [](steady_clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  };
  EXPECT_GE(elapsed, ms(inner_end - inner_start) - kResolutionMs);
  EXPECT_LE(elapsed, ms(outer_end - outer_start) + kResolutionMs);
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
