// The frame of the poll cycle against the host stand-in: the no-address line, the deletion of the
// configuration file, and the stop event ending the loop.

#include "poller/poll_cycle.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

class PollCycleTest : public testing::Test {
 protected:
  void SetUp() override {
    site_ = std::filesystem::temp_directory_path() /
            ("zelsnmp_poll_cycle_" + std::to_string(getpid()));
    std::filesystem::remove_all(site_);
    std::filesystem::create_directories(site_);
    setenv("ZELSNMP_SITE", site_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(site_); }

  std::string ErrorLog() const {
    std::ifstream in(site_ / "log" / "error.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string WriteConfig(const std::string& name, const std::string& contents) const {
    const std::filesystem::path file = site_ / name;
    std::ofstream(file, std::ios::binary) << contents;
    return file.string();
  }

  std::filesystem::path site_;
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
