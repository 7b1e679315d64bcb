// The task end to end against a version-3 agent simulator whose engine changes under it: a
// reboot between two requests, a replaced engine, a clock ten minutes ahead, forged Reports and
// replayed answers before every answer, and a wrong passphrase. The real zelSNMP polls agentsim
// on 127.0.0.2:161 in the test process's own network namespace for several passes; the
// journal, the logs and the agent's output are what is checked. (A clock set back is the
// session test's: the simulator's clock starts at 0 and cannot go below it.)
//
// The agent's two lines go in two requests (@max-oids = 1), so that the answer to one request
// replayed before the answer to the other, if it were taken, would leave the second point
// without its value: every write must be the device's value, or flags where it cannot answer.


#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/task_runner.h"
#include "testing/agent_process.h"
#include "testing/journal.h"
#include "testing/private_network.h"
#include "testing/text_count.h"

namespace zelsnmp {
namespace {

using namespace std::chrono_literals;
using testing_support::AgentProcess;
using testing_support::Count;
using testing_support::ReadJournal;
using testing_support::WritesTo;

const std::string kAuthPassphrase = "healing auth passphrase";
const std::string kPrivPassphrase = "healing priv passphrase";
const std::string kOtherPassphrase = "some other passphrase";
const std::string kData = "1.3.6.1.4.1.7.1|2|11\n1.3.6.1.4.1.7.2|2|22\n";
const std::string kStatusPoint = "1:1:1";  // "#TC" writes the value less one
const std::string kAnalogPoint = "1:1:2";
const std::string kStatusValue = "slSetStatus 10";
const std::string kAnalogValue = "slSetAnalogFloatCodeUT 22";
const std::string kStatusFlags = "slSetStatusFlags 0x0001";
const std::string kAnalogFlags = "slSetAnalogFlags 0x0001";
const std::string kAnswersAgain = "снова отвечает по SNMPv3";
constexpr std::size_t kPasses = 3;
constexpr std::size_t kRequestsPerPass = 2;

// Which passphrase of the task's section differs from the agent's.
enum class Mistake { kNone, kWrongAuth, kWrongPriv };

struct HealingCase {
  const char* name;
  std::vector<std::string> agent_options;  // besides the user and its keys
  // A line of the agent's output that shows the fault was played, and how often at least.
  const char* evidence;
  std::size_t evidence_count;
  // Besides the server and the file: "/p2" puts the agent's two requests in flight together.
  std::vector<std::string> task_arguments = {};
  Mistake mistake = Mistake::kNone;
};

void PrintTo(const HealingCase& c, std::ostream* out) {
  *out << c.name;
}

const char* const kNotInTime = "report=usmStatsNotInTimeWindows";
const char* const kUnknownEngine = "report=usmStatsUnknownEngineIDs";
const char* const kRestarted = "engine-boots=2";
const std::vector<std::string> kTogether = {"/p2"};

const HealingCase kCases[] = {
    {"RebootBetweenTwoRequests", {"--reboot-after", "3"}, kRestarted, 1},
    {"EngineReplacedBetweenTwoRequests", {"--new-engine-after", "3"}, kUnknownEngine, 2},
    {"ClockTenMinutesAhead", {"--clock-skew", "600"}, kNotInTime, 2},
    {"ForgedReportsBeforeEveryAnswer", {"--report-flood"}, "answered", 2},
    {"OldAnswerReplayedBeforeEveryAnswer", {"--replay"}, "answered", 2},
    {"RebootInFlightTogether", {"--reboot-after", "3"}, kRestarted, 1, kTogether},
    {"EngineReplacedInFlightTogether", {"--new-engine-after", "3"}, kUnknownEngine, 2, kTogether},
    {"ClockAheadInFlightTogether", {"--clock-skew", "600"}, kNotInTime, 2, kTogether},
    {"ForgedReportsInFlightTogether", {"--report-flood"}, "answered", 2, kTogether},
    {"WrongAuthPassphrase", {}, "report=usmStatsWrongDigests", 1, {}, Mistake::kWrongAuth},
    {"WrongPrivPassphrase", {}, "report=usmStatsDecryptionErrors", 1, {}, Mistake::kWrongPriv},
};

// The error-log line of the agent's refusal, said once; empty when nothing is refused.
std::string Refusal(Mistake mistake) {
  switch (mistake) {
    case Mistake::kWrongAuth:
      return "(usmStatsWrongDigests)";
    case Mistake::kWrongPriv:
      return "(usmStatsDecryptionErrors)";
    default:
      return "";
  }
}

class V3HealingTest : public testing::TestWithParam<HealingCase> {
 protected:
  void SetUp() override {
    const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
  }

  // Runs the task until it has written kPasses passes (or 40 s went by), then stops it.
  void RunTask(const HealingCase& c) {
    const std::string auth = c.mistake == Mistake::kWrongAuth ? kOtherPassphrase : kAuthPassphrase;
    const std::string priv = c.mistake == Mistake::kWrongPriv ? kOtherPassphrase : kPrivPassphrase;
    ASSERT_TRUE(task_.Start("[127.0.0.2]\n@version = 3\n@user = ops\n@auth = SHA-256:" + auth +
                                "\n@priv = AES:" + priv +
                                "\n@max-oids = 1\n@timeout = 1000\n"
                                "#TC1:1:1 = 1.3.6.1.4.1.7.1\n#TT1:1:2 = 1.3.6.1.4.1.7.2\n",
                            c.task_arguments));
    const auto give_up = std::chrono::steady_clock::now() + 40s;
    while (WritesTo(Journal(), kAnalogPoint).size() < kPasses &&
           std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(task_.Stop(), 0);
  }

  std::vector<testing_support::JournalEntry> Journal() const {
    return ReadJournal(task_.JournalFile());
  }

  testing_support::SiteTask task_;
};

// Passes in which a point did not get its value; fails the test when it missed two in a row,
// the last pass, or got anything but its value or flags.
size_t MissedPasses(const std::vector<std::string>& writes, const std::string& value,
                    const std::string& flags) {
  size_t missed = 0;
  bool missed_last = false;
  for (const std::string& write : writes) {
    const bool miss = write != value;
    EXPECT_TRUE(write == value || write == flags) << write;
    EXPECT_FALSE(miss && missed_last) << "two passes in a row without the value";
    missed += miss ? 1 : 0;
    missed_last = miss;
  }
  EXPECT_FALSE(missed_last) << "the last pass without the value";
  return missed;
}

TEST_P(V3HealingTest, EveryValueArrivesAndNoOtherIsWritten) {
  const HealingCase& c = GetParam();
  std::vector<std::string> options = {"--v3-user", "ops",
                                      "--auth",    "SHA-256:" + kAuthPassphrase,
                                      "--priv",    "AES:" + kPrivPassphrase};
  options.insert(options.end(), c.agent_options.begin(), c.agent_options.end());
  AgentProcess agent("127.0.0.2", kData, options);
  ASSERT_TRUE(agent.listening()) << agent.Output();
  RunTask(c);
  EXPECT_GE(Count(agent.Output(), c.evidence), c.evidence_count) << agent.Output();

  const auto journal = Journal();
  const auto status_writes = WritesTo(journal, kStatusPoint);
  const auto analog_writes = WritesTo(journal, kAnalogPoint);
  ASSERT_GE(analog_writes.size(), kPasses) << task_.Log("debug.log");
  EXPECT_EQ(status_writes.size(), analog_writes.size()) << "one write per point and pass";
  EXPECT_EQ(journal.size(), status_writes.size() + analog_writes.size());
  const std::string error_log = task_.Log("error.log");
  const std::string message_log = task_.Log("message.log");
  const std::string refusal = Refusal(c.mistake);
  if (refusal.empty()) {
    const size_t missed = MissedPasses(status_writes, kStatusValue, kStatusFlags) +
                          MissedPasses(analog_writes, kAnalogValue, kAnalogFlags);
    // A request the engine refused before it healed is said once, and so is its healing.
    // (A restart or a new engine ID has a message line of its own.)
    EXPECT_EQ(Count(error_log, "\r\n"), Count(message_log, kAnswersAgain)) << error_log;
    std::cout << c.name << ": " << missed << " missed value(s) in " << analog_writes.size()
              << " passes; error log: " << error_log << "\n";
  } else {
    for (const auto& write : status_writes) EXPECT_EQ(write, kStatusFlags);
    for (const auto& write : analog_writes) EXPECT_EQ(write, kAnalogFlags);
    EXPECT_EQ(Count(error_log, "\r\n"), 1u) << error_log;
    EXPECT_EQ(Count(error_log, refusal), 1u) << error_log;
    EXPECT_EQ(Count(message_log, kAnswersAgain), 0u) << message_log;
    // No loop: the agent sees a bounded number of datagrams per request.
    EXPECT_LE(agent.Requests().size(), 3 * kRequestsPerPass * analog_writes.size());
  }
  // Every file the task wrote (the configuration it was given aside) and the agent's output.
  std::vector<std::string> outputs = {agent.Output()};
  for (const auto& root : {task_.site().site(), task_.site().work()}) {
    for (const auto& file : std::filesystem::recursive_directory_iterator(root)) {
      if (!file.is_regular_file() || file.path().string().find("/config/") != std::string::npos) {
        continue;
      }
      std::ifstream in(file.path(), std::ios::binary);
      outputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  for (const std::string& output : outputs) {
    for (const std::string& secret : {kAuthPassphrase, kPrivPassphrase, kOtherPassphrase}) {
      EXPECT_EQ(output.find(secret), std::string::npos) << secret;
    }
  }
}

std::string CaseName(const testing::TestParamInfo<HealingCase>& param_info) {
  return param_info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, V3HealingTest, testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace zelsnmp
