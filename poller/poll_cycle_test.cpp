// The frame of the poll cycle against the host stand-in: the no-address line, the deletion of the
// configuration file, and the stop event ending the loop.

#include "poller/poll_cycle.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "sys/event.h"
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

// Each option mistake goes to the error log once, at load; the agent is not asked.
TEST_F(PollCycleTest, OptionMistakesAreLoggedAtLoad) {
  Event stop;
  ASSERT_TRUE(SignalEvent(stop.handle()));
  const std::string path = WriteConfig(
      "options", "[*]\n@retries = 9\n[127.0.0.1]\n@Port = 0\n#TC1:2:3=1.3.6.1.2.1.1.3.0\n");
  RunPollCycle(stop.handle(), 1, path);
  EXPECT_EQ(ErrorLog(),
            "Ошибка в параметрах агента [*], строка 2, @retries: вне пределов, допустимо от 0 "
            "до 5\r\n"
            "Ошибка в параметрах агента [127.0.0.1], строка 4, @Port: вне пределов, допустимо "
            "от 1 до 65535\r\n");
}

}  // namespace
}  // namespace zelsnmp
