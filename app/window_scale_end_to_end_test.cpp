// The windowed pass with many devices, end to end: dead devices cost a pass one time-out
// together however many they are, a "/p" above the largest runs at the largest and says so,
// and a receive queue of little room narrows the window without losing an answer. Runs in the
// private network of private_network_main.cpp; the agents share a few agentsim processes, one
// section per agent ("host:community"), since agentsim answers any community.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
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
using testing_support::LogField;
using testing_support::SiteTask;

const std::string kOid = "1.3.6.1.4.1.7.1";
const std::string kPassStarted = "Начинаем цикл опроса";

// The arrival times (agentsim's "at=", one clock for every agent) of the agent's requests.
std::vector<long long> Arrivals(const AgentProcess& agent, std::size_t at_least = 0) {
  std::vector<long long> times;
  for (const std::string& line : agent.Requests(at_least)) {
    times.push_back(std::stoll(LogField(line, "at")));
  }
  return times;
}

// Waits until the task's debug log holds `line` `times` times.
bool WaitForCount(const SiteTask& task, const std::string& line, std::size_t times,
                  std::chrono::seconds limit) {
  return testing_support::WaitForLogText(task.site(), "debug.log", line, limit, times);
}

class WindowScaleEndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
  }
};

// /p32, 200 agents of which 100 never answer, @timeout = 1000: after the first pass (which does
// not know yet who is silent) every pass lasts under one time-out + the live agents' work +
// 500 ms, the dead agents' points are flagged every pass, and a dead agent that comes back is
// written in the next pass.
TEST_F(WindowScaleEndToEndTest, DeadDevicesCostAPassOneTimeOutTogether) {
  constexpr long long kTimeoutMs = 1000;
  // A pass begins five one-second waits after the one before ended.
  constexpr long long kWaitsMs = 5000;
  AgentProcess live("127.0.0.2", kOid + "|2|7\n");
  AgentProcess dead("127.0.0.3", kOid + "|2|7\n", {"--silent"});
  auto back = std::make_unique<AgentProcess>("127.0.0.4", kOid + "|2|7\n",
                                             std::vector<std::string>{"--silent"});
  ASSERT_TRUE(live.listening() && dead.listening() && back->listening());
  std::string config = "[*]\n@timeout = " + std::to_string(kTimeoutMs) + "\n";
  std::vector<std::string> dead_points;
  for (int i = 0; i < 200; ++i) {
    const std::string n = std::to_string(i + 1);
    const std::string section = i == 1       ? "127.0.0.4:back"
                                : i % 2 == 0 ? "127.0.0.2:live" + n
                                             : "127.0.0.3:dead" + n;
    if (i % 2 == 1 && i != 1) dead_points.push_back(n + ":1:1");
    config += "[" + section + "]\n#TC" + n + ":1:1=" + kOid + "\n#TT" + n + ":1:2=" + kOid + "\n";
  }
  SiteTask task;
  ASSERT_TRUE(task.Start(config, {"/p32"}));
  const std::string last = "Нет ответа от 127.0.0.3:dead200\r\n";
  ASSERT_TRUE(WaitForCount(task, last, 2, 60s)) << task.Log("debug.log");
  // Back during the waits after the second pass, or, on a slow machine, later: the passes
  // begun before it came back flag it, those begun after write it (one that began meanwhile
  // may do either).
  const std::size_t passes_before_back = Count(task.Log("debug.log"), kPassStarted);
  back.reset();
  back = std::make_unique<AgentProcess>("127.0.0.4", kOid + "|2|7\n");
  ASSERT_TRUE(back->listening());
  const std::size_t passes_after_back = Count(task.Log("debug.log"), kPassStarted);
  ASSERT_TRUE(WaitForCount(task, last, passes_after_back + 2, 60s)) << task.Log("debug.log");
  EXPECT_EQ(task.Stop(), 0);

  const std::string debug = task.Log("debug.log");
  const std::size_t passes = Count(debug, kPassStarted);
  ASSERT_GE(passes, 4u);
  // Each pass sends each agent one request: the pass's requests are the next ones per agent.
  const std::vector<long long> live_at = Arrivals(live, 100 * passes);
  const std::vector<long long> dead_at = Arrivals(dead, 99 * passes);
  ASSERT_EQ(live_at.size(), 100 * passes);
  ASSERT_EQ(dead_at.size(), 99 * passes);
  auto first_of = [&](std::size_t pass) {
    return std::min(
        *std::min_element(live_at.begin() + 100 * pass, live_at.begin() + 100 * (pass + 1)),
        *std::min_element(dead_at.begin() + 99 * pass, dead_at.begin() + 99 * (pass + 1)));
  };
  for (std::size_t pass = 1; pass + 1 < passes; ++pass) {
    const long long start = first_of(pass);
    const long long live_work =
        *std::max_element(live_at.begin() + 100 * pass, live_at.begin() + 100 * (pass + 1)) - start;
    const long long lasted = first_of(pass + 1) - start - kWaitsMs;
    EXPECT_LT(lasted, kTimeoutMs + live_work + 500)
        << "pass " << pass + 1 << " (live work " << live_work << " ms)";
  }

  const auto journal = testing_support::ReadJournal(task.JournalFile());
  for (const std::string& point : dead_points) {
    const std::vector<std::string> writes = testing_support::WritesTo(journal, point);
    EXPECT_EQ(static_cast<std::size_t>(
                  std::count(writes.begin(), writes.end(), "slSetStatusFlags 0x0001")),
              passes)
        << point;
  }
  // The pass after it came back writes it; those before flagged it.
  std::vector<std::string> pass_traces;
  for (std::size_t at = debug.find(kPassStarted); at != std::string::npos;) {
    const std::size_t next = debug.find(kPassStarted, at + 1);
    pass_traces.push_back(debug.substr(at, next == std::string::npos ? next : next - at));
    at = next;
  }
  for (std::size_t pass = 0; pass < pass_traces.size(); ++pass) {
    const bool answered =
        pass_traces[pass].find("Ответ от 127.0.0.4:back\r\n") != std::string::npos;
    if (pass < passes_before_back) {
      EXPECT_FALSE(answered) << "pass " << pass + 1;
    }
    if (pass >= passes_after_back) {
      EXPECT_TRUE(answered) << "pass " << pass + 1;
    }
  }
  EXPECT_EQ(task.Log("error.log"), "");
}

// /p1000 runs at /p256, says so once in the error log, and never has more than 256 requests in
// flight: against one agent that never answers, each request is held for its whole time-out,
// so the agent sees the first window-full arrive together and the next only a time-out later.
TEST_F(WindowScaleEndToEndTest, WindowAboveTheLargestRunsAtTheLargest) {
  constexpr long long kTimeoutMs = 2000;
  AgentProcess dead("127.0.0.5", kOid + "|2|7\n", {"--silent"});
  ASSERT_TRUE(dead.listening());
  std::string config = "[*]\n@timeout = " + std::to_string(kTimeoutMs) + "\n";
  for (int i = 1; i <= 300; ++i) {
    config +=
        "[127.0.0.5:a" + std::to_string(i) + "]\n#TC" + std::to_string(i) + ":1:1=" + kOid + "\n";
  }
  SiteTask task;
  ASSERT_TRUE(task.Start(config, {"/p1000"}));
  ASSERT_TRUE(WaitForCount(task, "Нет ответа от 127.0.0.5:a300\r\n", 1, 60s));
  EXPECT_EQ(task.Stop(), 0);

  EXPECT_EQ(task.Log("error.log"), "Ключ /p1000 больше наибольшего: опрос идёт с окном /p256\n");
  // A receive queue too small for 256 answers narrows the window further, and says so.
  std::size_t expected = 256;
  const std::string message = task.Log("message.log");
  if (const std::size_t at = message.find("сужено до "); at != std::string::npos) {
    expected = std::stoul(message.substr(at + std::strlen("сужено до ")));
  }
  std::vector<long long> at = Arrivals(dead, 300);
  ASSERT_GE(at.size(), 300u);
  at.resize(300);  // the first pass's
  std::sort(at.begin(), at.end());
  std::size_t most = 0;
  for (std::size_t j = 0; j < at.size(); ++j) {
    // In flight when request j arrived: those that arrived less than a time-out before it (less
    // 200 ms for the time between a send and its arrival).
    const auto held = std::count_if(at.begin(), at.begin() + static_cast<long>(j),
                                    [&](long long t) { return t > at[j] - (kTimeoutMs - 200); });
    most = std::max(most, static_cast<std::size_t>(held) + 1);
  }
  EXPECT_EQ(most, expected);
}

// With net.core.rmem_max at 65536 in the test's own network namespace, 2,000 agents of ten OIDs
// at /p256 all answer, nothing is dropped, and the message log names the narrowed window.
TEST_F(WindowScaleEndToEndTest, SmallReceiveQueueNarrowsTheWindowAndLosesNoAnswer) {
  const char* const kRmemMax = "/proc/sys/net/core/rmem_max";
  std::string before;
  std::ifstream(kRmemMax) >> before;
  {
    std::ofstream lower(kRmemMax);
    lower << "65536\n";
    lower.flush();
    if (!lower) {
      GTEST_SKIP() << "net.core.rmem_max cannot be set in the test's own network namespace on "
                      "this kernel ("
                   << kRmemMax << ": " << std::strerror(errno) << ")";
    }
  }
  std::vector<std::unique_ptr<AgentProcess>> agents;
  std::string data;
  for (int l = 1; l <= 10; ++l)
    data += kOid + "." + std::to_string(l) + "|2|" + std::to_string(l) + "\n";
  for (int a = 0; a < 4; ++a) {
    agents.push_back(std::make_unique<AgentProcess>("127.0.0." + std::to_string(6 + a), data));
    ASSERT_TRUE(agents.back()->listening());
  }
  std::string config;
  for (int i = 0; i < 2000; ++i) {
    config += "[127.0.0." + std::to_string(6 + i % 4) + ":c" + std::to_string(i + 1) + "]\n";
    for (int l = 1; l <= 10; ++l) {
      config += "#TS" + std::to_string(i % 1000 + 1) + ":" + std::to_string(i / 1000 + 1) + ":" +
                std::to_string(l) + "=" + kOid + "." + std::to_string(l) + "\n";
    }
  }
  SiteTask task;
  ASSERT_TRUE(task.Start(config, {"/p256"}));
  const bool done = WaitForCount(task, "Ответ от 127.0.0.9:c2000\r\n", 1, 60s);
  EXPECT_EQ(task.Stop(), 0);
  std::ofstream(kRmemMax) << before << "\n";
  ASSERT_TRUE(done);
  const std::string debug = task.Log("debug.log");
  EXPECT_EQ(Count(debug, "Ответ от "), 2000u);
  EXPECT_EQ(Count(debug, "Нет ответа от "), 0u);
  EXPECT_EQ(task.Log("error.log"), "");
  EXPECT_NE(task.Log("message.log").find("Окно /p256 сужено до "), std::string::npos)
      << task.Log("message.log");
}

}  // namespace
}  // namespace zelsnmp
