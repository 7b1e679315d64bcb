// The request-size probe against a responder of the test's own and the agent simulator on
// loopback, reached through the agents' @port: devices that drop or refuse large requests, one
// that takes them all, and one that answers nothing.

#include "tools/check/size_probe.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "testing/agent_process.h"
#include "testing/fit_responder.h"
#include "testing/temp_directory.h"
#include "tools/check/check_run.h"

namespace zelsnmp::check {
namespace {

using testing_support::Device;
using testing_support::FitResponder;

constexpr std::int32_t kTimeoutMs = 150;

TEST(SizeProbeTest, FindsTheLargestRequestTheDeviceAnswers) {
  FitResponder responder({{"drops", Device{.drop_above = 40}},
                          {"refuses", Device{.max_bindings = 7}},
                          {"fits", Device{}},
                          {"dead", Device{.silent = true}}});
  const struct {
    const char* community;
    int lines;
    std::size_t largest;
    std::size_t tries;
    const char* described;
  } cases[] = {
      // 100 silent, 1, 50 silent, 25, then 37, 43 silent, 40, 41 silent.
      {"drops", 100, 40, 8, "at most 40 bindings per request: write @max-oids = 40"},
      {"refuses", 20, 7, 6, "at most 7 bindings per request: write @max-oids = 7"},
      {"fits", 12, 12, 1, "all 12 lines in one request"},
      {"dead", 30, 0, 2, "not even one binding is answered"},
  };
  testing_support::TempDirectory dir;
  for (const auto& c : cases) {
    std::string text = std::string("[127.0.0.1:") + c.community + "]\n@port=" +
                        responder.port() + "\n";
    for (int i = 1; i <= c.lines; ++i) {
      text += "#TS1:1:" + std::to_string(i) + "=1.3.6.1.4.1.99." + std::to_string(i) + "\n";
    }
    const PollConfig config = LoadPollConfig(dir.Write("config", text));
    ASSERT_EQ(config.agents.size(), 1u);
    const SizeProbe probe = ProbeRequestSize(config.agents[0], kTimeoutMs);
    EXPECT_EQ(probe.largest, c.largest) << c.community;
    EXPECT_EQ(probe.tries.size(), c.tries) << c.community;
    EXPECT_EQ(DescribeSizeProbe(probe), c.described) << c.community;
  }
}

// zelsnmp-check --probe names the @max-oids to write for an agent simulator that drops
// requests of more than 40 OIDs, and asks nothing of an agent whose options hold a mistake.
TEST(SizeProbeTest, CheckProbeNamesTheMaxOidsToWrite) {
  std::string data;
  std::string config = "[127.0.0.1:drops]\n@port=PORT\n";
  for (int i = 1; i <= 60; ++i) {
    data += "1.3.6.1.4.1.99." + std::to_string(i) + "|2|" + std::to_string(i) + "\n";
    config += "#TS1:1:" + std::to_string(i) + "=1.3.6.1.4.1.99." + std::to_string(i) + "\n";
  }
  testing_support::AgentProcess agent("127.0.0.1:0", data, {"--drop-above", "40"});
  ASSERT_TRUE(agent.listening()) << agent.Output();
  config += "[127.0.0.1:bad]\n@port=PORT\n@retries=x\n#TS2:1:1=1.3.6.1.4.1.99.1\n";
  for (std::size_t at; (at = config.find("PORT")) != std::string::npos;) {
    config.replace(at, 4, agent.port());
  }
  testing_support::TempDirectory dir;
  std::ostringstream out;
  std::ostringstream err;
  RunCheck({"--probe", "--wide", "--timeout", "200", dir.Write("config", config)}, out, err);
  std::string text;  // runs of blanks as one
  for (char c : out.str()) {
    if (c != ' ' || text.empty() || text.back() != ' ') text += c;
  }
  for (const char* part : {"request size: at most 40 bindings per request: write @max-oids = 40",
                           "probe: the device answers at most 40 bindings per request",
                           "probe: not asked: its options hold a mistake"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  for (const std::string& answer : agent.Answers()) {
    EXPECT_EQ(answer.find("community=\"bad\""), std::string::npos) << answer;
  }
}

}  // namespace
}  // namespace zelsnmp::check
