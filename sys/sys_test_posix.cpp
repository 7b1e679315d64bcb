// The POSIX side of the platform layer: local paths, the program's own path through /proc,
// UTF-8 arguments converted to Windows-1251, and SIGINT/SIGTERM turned into the stop event.

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sys/event.h"
#include "sys/file.h"
#include "sys/process.h"

namespace zelsnmp {
namespace {

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
