// The task end to end with several requests in flight (/p8) against the same agents polled one
// after the other (no switch): the same journal and debug trace, a shorter pass, and on the
// wire distinct request IDs from one local port with never more than eight requests in flight.
// Runs in the private network of end_to_end_main.cpp.

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/private_network.h"
#include "app/task_runner.h"
#include "testing/agent_process.h"
#include "testing/journal.h"

namespace zelsnmp {
namespace {

using namespace std::chrono_literals;
using testing_support::AgentProcess;
using testing_support::LogField;
using testing_support::ReadJournal;
using testing_support::TestSite;

constexpr int kTimeoutMs = 5000;
constexpr int kWindow = 8;

// One agent of the site: how long it takes to answer; -1 never.
struct AgentKind {
  int delay_ms;
  bool silent() const { return delay_ms < 0; }
  bool answers_in_time() const { return delay_ms >= 0 && delay_ms < kTimeoutMs; }
  // How long its request stays in flight at least, counted from its arrival.
  int held_ms() const { return answers_in_time() ? delay_ms : kTimeoutMs; }
};

// In configuration order. The first eight fill the window; agent 8 goes out when agent 3
// answers, so it is still in flight when the answers of agents 0 and 5 come after their own
// deadlines.
constexpr int kLate = 5500;
const std::vector<AgentKind> kAgents = {
    {kLate}, {-1}, {-1}, {1000}, {2000}, {kLate}, {3000}, {4000}, {-1}, {0},
    {0},     {0},  {0},  {0},    {0},    {0},     {0},    {0},    {0},  {0}};

std::string Address(std::size_t agent) { return "127.0.0." + std::to_string(agent + 2); }
std::string Value(std::size_t agent) { return std::to_string(1000 + agent); }

struct PassRecord {
  std::vector<std::string> journal;  // "operation point value", in order
  std::string debug;
  double pass_seconds = 0;  // as the test sees it in the debug log
};

class WindowEndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
    const std::string oid = "1.3.6.1.4.1.7.1";
    for (std::size_t i = 0; i < kAgents.size(); ++i) {
      std::vector<std::string> options;
      if (kAgents[i].silent()) options = {"--silent"};
      if (kAgents[i].delay_ms > 0) options = {"--delay", std::to_string(kAgents[i].delay_ms)};
      agents_.push_back(
          std::make_unique<AgentProcess>(Address(i), oid + "|2|" + Value(i) + "\n", options));
      ASSERT_TRUE(agents_.back()->listening()) << agents_.back()->Output();
      const std::string n = std::to_string(i + 1);
      config_ += "[" + Address(i) + "]\n#TC" + n + ":1:1=" + oid + "\n#TS" + n + ":1:2=" + oid +
                 "\n#TT" + n + ":1:3=" + oid + "\n";
    }
  }

  // One pass of the task with `switches`, stopped once the last agent is written.
  PassRecord PollOnce(const std::vector<std::string>& switches) {
    TestSite site;
    site.AddTmServer("TMS");
    site.AddConfigFile("TMS", "poll.ini", config_);
    std::vector<std::string> arguments = {"TMS", ".", "/fpoll.ini"};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    const pid_t task = testing_support::StartTask(testing_support::ProgramPath(), arguments,
                                                  site.Environment(), site.work());
    EXPECT_TRUE(testing_support::WaitForLogText(site, "debug.log", "Начинаем цикл опроса", 20s));
    const auto pass_started = std::chrono::steady_clock::now();
    const std::string last = std::to_string(kAgents.size());
    EXPECT_TRUE(testing_support::WaitForLogText(
        site, "debug.log", "(#TT" + last + ":1:3)=" + Value(kAgents.size() - 1) + "\r\n", 60s))
        << site.Log("debug.log");
    PassRecord run;
    run.pass_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - pass_started).count();
    kill(task, SIGTERM);
    EXPECT_EQ(testing_support::WaitForTask(task), 0);
    const auto journal = ReadJournal(site.site() / "tm" / "TMS" / "journal.tsv");
    for (const auto& entry : journal) {
      run.journal.push_back(entry.operation + " " + entry.point + " " + entry.value);
    }
    run.debug = site.Log("debug.log");
    EXPECT_EQ(site.Log("error.log"), "");
    return run;
  }

  std::vector<std::unique_ptr<AgentProcess>> agents_;
  std::string config_;
};

TEST_F(WindowEndToEndTest, SameJournalAndTraceAsOneAfterTheOtherInAShorterPass) {
  const PassRecord serial = PollOnce({});
  std::vector<std::size_t> serial_requests;
  for (const auto& agent : agents_) serial_requests.push_back(agent->Requests(1).size());
  const PassRecord windowed = PollOnce({"/p" + std::to_string(kWindow)});

  std::cout << "pass time of " << kAgents.size() << " agents, one after the other: "
            << serial.pass_seconds << " s, with /p" << kWindow << ": " << windowed.pass_seconds
            << " s" << std::endl;
  RecordProperty("serial_pass_seconds", std::to_string(serial.pass_seconds));
  RecordProperty("windowed_pass_seconds", std::to_string(windowed.pass_seconds));
  EXPECT_EQ(windowed.journal, serial.journal);
  EXPECT_EQ(windowed.debug, serial.debug);
  // The shorter pass is what the test is about, and the margin is wide: one after the other,
  // the time-outs and delays alone (each a lower bound) add up to 35 s; with /p8 the pass
  // takes about 7 s.
  EXPECT_LT(windowed.pass_seconds, serial.pass_seconds);

  // Answers after their own deadline never reach a point, in either run.
  for (std::size_t i = 0; i < kAgents.size(); ++i) {
    if (kAgents[i].delay_ms != kLate) continue;
    const std::string n = std::to_string(i + 1);
    EXPECT_EQ(agents_[i]->Answers(2).size(), 2u) << "agent " << i << " answered both, late";
    EXPECT_EQ(windowed.debug.find("=" + Value(i) + "\r\n"), std::string::npos);
    EXPECT_NE(windowed.debug.find("Нет ответа от " + Address(i) + "\r\n"), std::string::npos);
    EXPECT_NE(std::find(windowed.journal.begin(), windowed.journal.end(),
                        "slSetStatusFlags " + n + ":1:1 0x0001"),
              windowed.journal.end());
  }

  // The requests of the windowed run as the agents saw them.
  struct Seen {
    long long at_ms;
    std::size_t agent;
  };
  std::vector<Seen> seen;
  std::set<std::string> ids;
  std::set<std::string> senders;
  for (std::size_t i = 0; i < agents_.size(); ++i) {
    const std::vector<std::string> requests = agents_[i]->Requests(serial_requests[i] + 1);
    ASSERT_EQ(requests.size(), serial_requests[i] + 1) << "agent " << i;
    const std::string& line = requests.back();
    seen.push_back({std::stoll(LogField(line, "at")), i});
    ids.insert(LogField(line, "id"));
    senders.insert(line.substr(0, line.find(" id=")));
  }
  EXPECT_EQ(ids.size(), kAgents.size()) << "distinct request IDs";
  EXPECT_EQ(senders.size(), 1u) << "one local port: " << *senders.begin();
  std::sort(seen.begin(), seen.end(), [](const Seen& a, const Seen& b) { return a.at_ms < b.at_ms; });
  // When a request arrives, the earlier ones still held are in flight: at most seven of them.
  // A request is held at least from its arrival (its send came before) for its agent's delay,
  // or the time-out when the agent does not answer in time; 50 ms allow for the loopback.
  for (std::size_t j = 0; j < seen.size(); ++j) {
    int held = 0;
    for (std::size_t i = 0; i < j; ++i) {
      if (seen[i].at_ms + kAgents[seen[i].agent].held_ms() - 50 > seen[j].at_ms) ++held;
    }
    EXPECT_LE(held, kWindow - 1) << "at the request of agent " << seen[j].agent;
  }
  // The first eight went out together: the eighth arrived before any of them could have been
  // answered, which a narrower window would have waited for. The earliest answer comes its
  // agent's delay (at least a second) after its request arrived, a margin of a second over
  // sends that follow one another within milliseconds.
  long long first_answer_ms = seen[0].at_ms + kTimeoutMs;
  for (std::size_t i = 0; i < static_cast<std::size_t>(kWindow); ++i) {
    first_answer_ms = std::min(first_answer_ms, seen[i].at_ms + kAgents[seen[i].agent].held_ms());
  }
  EXPECT_LT(seen[kWindow - 1].at_ms, first_answer_ms) << "the first eight went out together";
}

}  // namespace
}  // namespace zelsnmp
