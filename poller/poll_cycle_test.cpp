// The frame of the poll cycle against the host stand-in: the no-address line, the deletion of the
// configuration file, and the stop event ending the loop.

#include "poller/poll_cycle.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "testing/environment.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

class PollCycleTest : public testing::Test {
 protected:
  void SetUp() override { testing_support::SetEnv("ZELSNMP_SITE", site_.path().string()); }

  std::string ErrorLog() const {
    return testing_support::ReadFile(site_.path() / "log" / "error.log");
  }

  std::string WriteConfig(const std::string& name, const std::string& contents) const {
    return site_.Write(name, contents);
  }

  testing_support::TempDirectory site_;
};

TEST_F(PollCycleTest, NoConfigurationLogsTheNoAddressLineAndReturns) {
  Event stop;  // never signalled: the cycle must not wait at all
  RunPollCycle(stop.handle(), 1, "");
  for (const std::string& path : {WriteConfig("empty", ""), WriteConfig("keys", "a=b\n")}) {
    RunPollCycle(stop.handle(), 1, path);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  const std::string line = "Не задан ни один адрес для опроса\r\n";
  EXPECT_EQ(ErrorLog(), line + line + line);
}

TEST_F(PollCycleTest, SignalledStopEventEndsTheCycleAtTheFirstWait) {
  Event stop;
  ASSERT_TRUE(SignalEvent(stop.handle()));
  const std::string path = WriteConfig("agent", "[127.0.0.1]\n#TC1:2:3=1.3.6.1.2.1.1.3.0\n");
  RunPollCycle(stop.handle(), 1, path);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(ErrorLog(), "");
}

}  // namespace
}  // namespace zelsnmp
