// What a point shows, through the real pass: agent simulators on loopback whose counters and
// clock move by a known step per answer (agentsim --counter, --restart-after), and devices that
// answer, stay silent, refuse an SNMPv3 user or are not polled, each with its @status and @rtt
// points; read back from the stand-in TM server's journal.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "poller/agent_poller.h"
#include "poller/pass_test_site.h"
#include "testing/agent_process.h"
#include "testing/environment.h"

namespace zelsnmp {
namespace {

using testing_support::AgentProcess;
using testing_support::JournalEntry;
using testing_support::WritesTo;

constexpr std::int32_t kTestTimeoutMs = 400;

class PointPassTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::DistinctLoopbackAgents()) {
      GTEST_SKIP() << "agents at distinct loopback addresses cannot be told apart here (Wine)";
    }
    ASSERT_GT(site_.tm(), 0);
  }

  // An agent on `address`; the first one takes any free port, later ones that same port.
  void StartAgent(const std::string& address, const std::string& snmprec,
                  const std::vector<std::string>& options = {}) {
    agents_.push_back(std::make_unique<AgentProcess>(
        address + ":" + (port_.empty() ? "0" : port_), snmprec, options));
    ASSERT_TRUE(agents_.back()->listening()) << agents_.back()->Output();
    if (port_.empty()) port_ = agents_.back()->port();
  }

  PollConfig Load(const std::string& ini) {
    return LoadPollConfig(site_.directory().Write("poll.ini", ini));
  }

  std::unique_ptr<AgentPoller> MakePoller(int requests_in_flight) {
    auto poller = std::make_unique<AgentPoller>(site_.tm(), [port = port_] {
      auto client = std::make_unique<TSNMPSend>();
      client->TargetPort = port;
      client->Timeout = kTestTimeoutMs;
      return client;
    });
    poller->SetRequestsInFlight(requests_in_flight);
    return poller;
  }

  std::vector<JournalEntry> Journal() const { return site_.Journal(); }

  testing_support::PassTestSite site_;
  std::string port_;
  std::vector<std::unique_ptr<AgentProcess>> agents_;
};

// The values written into `point`, as numbers.
std::vector<double> Values(const std::vector<JournalEntry>& journal, const std::string& point) {
  std::vector<double> values;
  for (const JournalEntry& entry : journal) {
    if (entry.point == point) values.push_back(std::stod(entry.value));
  }
  return values;
}

// Every answer is one second of the device's sysUpTime, so a counter growing by STEP per
// answer has the rate STEP per second, however long the passes take.
TEST_F(PointPassTest, RatesFollowTheDeviceClockAcrossWrapsAndRestarts) {
  const std::string data =
      "1.3.6.1.2.1.2.2.1.10.1|65|4294967000\n"     // ifInOctets: wraps at the third answer
      "1.3.6.1.2.1.31.1.1.1.6.1|70|18446744073709000000\n"  // ifHCInOctets: wraps too
      "1.3.6.1.4.1.99.1|2|2305\n";                 // a UPS voltage in tenths
  StartAgent("127.0.0.2", data,
             {"--counter", "1.3.6.1.2.1.2.2.1.10.1:100", "--counter",
              "1.3.6.1.2.1.31.1.1.1.6.1:125000"});
  StartAgent("127.0.0.3", data, {"--counter", "1.3.6.1.2.1.2.2.1.10.1:50", "--restart-after", "3"});
  const PollConfig config = Load(
      "[127.0.0.2]\n"
      "#TT1:1:1=1.3.6.1.2.1.2.2.1.10.1 rate\n"
      "#TT1:1:2=1.3.6.1.2.1.31.1.1.1.6.1 rate scale=0.008\n"
      "#TT1:1:3=1.3.6.1.4.1.99.1 scale=0.1\n"
      "#TS1:1:4=1.3.6.1.2.1.2.2.1.10.1 rate offset=-0.4\n"
      "[127.0.0.3]\n"
      "#TT2:1:1=1.3.6.1.2.1.2.2.1.10.1 rate\n");
  ASSERT_TRUE(config.point_mistakes.empty());
  const std::unique_ptr<AgentPoller> poller = MakePoller(1);
  constexpr int kPasses = 6;
  for (int pass = 0; pass < kPasses; ++pass) poller->RunPass(config);

  const auto journal = Journal();
  // The first answer is only a base; then STEP per second, across the wraps.
  const std::vector<double> octets = Values(journal, "1:1:1");
  ASSERT_EQ(octets.size(), kPasses - 1u);
  for (double rate : octets) EXPECT_NEAR(rate, 100, 1);
  const std::vector<double> kbits = Values(journal, "1:1:2");
  ASSERT_EQ(kbits.size(), kPasses - 1u);
  for (double rate : kbits) EXPECT_NEAR(rate, 1000, 10);  // 125000 octets/s = 1000 kbit/s
  EXPECT_EQ(WritesTo(journal, "1:1:3"),
            std::vector<std::string>(kPasses, "slSetAnalogFloatCodeUT 230.5"));
  EXPECT_EQ(WritesTo(journal, "1:1:4"), std::vector<std::string>(kPasses - 1, "slSetStatus 100"));
  // Restarted at the fourth answer: no value in that pass, then rates again.
  EXPECT_EQ(WritesTo(journal, "2:1:1"),
            std::vector<std::string>(kPasses - 2, "slSetAnalogFloatCodeUT 50"));
  const std::string debug = site_.Log("debug.log");
  EXPECT_NE(debug.find("1.3.6.1.2.1.2.2.1.10.1(#TT2:1:1): агент перезапущен, значение "
                       "запомнено для скорости\r\n"),
            std::string::npos)
      << debug;
  EXPECT_NE(debug.find("1.3.6.1.2.1.31.1.1.1.6.1(#TT1:1:2) rate scale=0.008: 1000\r\n"),
            std::string::npos)
      << debug;
  // sysUpTime.0 is asked beside the rate lines, once per request, and written to no point.
  const std::vector<std::string> answers = agents_[0]->Answers(kPasses);
  ASSERT_FALSE(answers.empty());
  EXPECT_EQ(testing_support::LogField(answers[0], "oids"),
            "1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.31.1.1.1.6.1,1.3.6.1.4.1.99.1,"
            "1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.1.3.0");
}

// @status takes every value in one run, serial and with requests in flight alike.
TEST_F(PointPassTest, StatusShowsEachOutcomeTheSameSeriallyAndInTheWindow) {
  StartAgent("127.0.0.2", "1.3.6.1.4.1.99.1|2|7\n");
  StartAgent("127.0.0.3", "1.3.6.1.4.1.99.1|2|7\n", {"--silent"});
  StartAgent("127.0.0.4", "1.3.6.1.4.1.99.1|2|7\n",
             {"--v3-user", "ops", "--auth", "SHA:the-right-passphrase"});
  StartAgent("127.0.0.5", "1.3.6.1.4.1.99.1|2|7\n", {"--error-status", "5"});
  const PollConfig config = Load(
      "[127.0.0.2]\n"
      "#TS1:1:1=@status\n#TC1:1:2=@status\n#TT1:1:3=@rtt\n#TS1:1:4=1.3.6.1.4.1.99.1\n"
      "[127.0.0.3]\n"
      "#TS2:1:1=@status\n#TC2:1:2=@status\n#TT2:1:3=@rtt\n#TS2:1:4=1.3.6.1.4.1.99.1\n"
      "[127.0.0.4]\n"
      "@version = 3\n@user = ops\n@auth = SHA:a-wrong-passphrase\n"
      "#TS3:1:1=@status\n#TT3:1:2=@status scale=10 offset=1\n#TS3:1:4=1.3.6.1.4.1.99.1\n"
      "[127.0.0.5]\n"
      "#TS4:1:1=@status\n#TS4:1:4=1.3.6.1.4.1.99.1\n"
      "[127.0.0.6]\n"
      "@retries = 9\n"
      "#TS5:1:1=@status\n#TC5:1:2=@status\n#TT5:1:3=@rtt\n"
      "[127.0.0.2:only-device-points]\n"
      "#TS6:1:1=@status\n#TS6:1:2=@rtt\n");
  ASSERT_EQ(config.option_mistakes.size(), 1u);

  MakePoller(1)->RunPass(config);
  const std::vector<JournalEntry> serial = Journal();
  MakePoller(3)->RunPass(config);
  const std::vector<JournalEntry> both = Journal();
  ASSERT_EQ(both.size(), 2 * serial.size());

  struct Expected {
    const char* point;
    std::vector<std::string> writes;
  };
  const Expected expected[] = {
      {"1:1:1", {"slSetStatus 0"}},
      {"1:1:2", {"slSetStatus 0"}},
      {"1:1:4", {"slSetStatus 7"}},
      {"2:1:1", {"slSetStatus 1"}},
      {"2:1:2", {"slSetStatus 1"}},
      {"2:1:3", {"slSetAnalogFlags 0x0001"}},
      {"3:1:1", {"slSetStatus 2"}},
      {"3:1:2", {"slSetAnalogFloatCodeUT 21"}},
      {"4:1:1", {"slSetStatus 2"}},
      {"5:1:1", {"slSetStatus 3"}},
      {"5:1:2", {"slSetStatus 1"}},
      {"5:1:3", {"slSetAnalogFlags 0x0001"}},
      {"6:1:1", {"slSetStatus 0"}},
  };
  for (const Expected& point : expected) {
    EXPECT_EQ(WritesTo(serial, point.point), point.writes) << point.point;
  }
  // The response time of an answering device: a time, never a flag.
  for (const char* point : {"1:1:3", "6:1:2"}) {
    const std::vector<std::string> writes = WritesTo(serial, point);
    ASSERT_EQ(writes.size(), 1u) << point;
    EXPECT_EQ(writes[0].rfind(point[0] == '1' ? "slSetAnalogFloatCodeUT " : "slSetStatus ", 0),
              0u);
  }
  // The windowed pass writes the same points in the same order; only the times may differ.
  for (std::size_t i = 0; i < serial.size(); ++i) {
    const JournalEntry& windowed = both[serial.size() + i];
    EXPECT_EQ(windowed.point, serial[i].point) << i;
    EXPECT_EQ(windowed.operation, serial[i].operation) << i;
    if (serial[i].point != "1:1:3" && serial[i].point != "6:1:2") {
      EXPECT_EQ(windowed.value, serial[i].value) << serial[i].point;
    }
  }
  // Device points are never asked of the device; one with only them is asked sysUpTime.0.
  for (const std::string& answer : agents_[0]->Answers(4)) {
    const std::string oids = testing_support::LogField(answer, "oids");
    EXPECT_TRUE(oids == "1.3.6.1.4.1.99.1" || oids == "1.3.6.1.2.1.1.3.0") << answer;
  }
}

}  // namespace
}  // namespace zelsnmp
