// Devices as they are, end to end: the real zelSNMP polls agent simulators that each have one
// problem of real devices (a small request limit, silence above a request size, an OID refused
// by its error index, a lossy link, a non-standard port, IPv6 addresses, Opaque floats) through
// the agent options that fit it, three passes long, in the test process's own network namespace
// (testing/private_network_main.cpp); and a third-party simulator (snmpsimd) polled in requests
// of @max-oids. The journal, the logs and what the agents saw are checked.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/task_runner.h"
#include "testing/agent_process.h"
#include "testing/journal.h"
#include "testing/peer_programs.h"
#include "testing/private_network.h"
#include "testing/text_count.h"

namespace zelsnmp {
namespace {

using namespace std::chrono_literals;
using testing_support::AgentProcess;
using testing_support::Count;
using testing_support::LogField;
using testing_support::WritesTo;
using Sizes = std::vector<std::size_t>;

constexpr int kPasses = 3;
// An address of the private network's loopback interface besides ::1, as a remote device has.
const std::string kIPv6HostAddress = "2001:db8::7";

// One device and the section that fits it. Its lines are #TT<channel>:1:<i> = 1.3.6.1.4.1.99.<i>.
struct DeviceCase {
  const char* problem;
  const char* listen;  // agentsim --listen
  std::vector<std::string> agent_options;
  const char* section;  // the section's name and option lines
  std::size_t lines;
  // Per line the data file's TAG|VALUE and the value the journal shows; empty: INTEGER i.
  std::vector<std::pair<std::string, std::string>> values;
  Sizes first_pass;  // bindings of each request the agent answered, in order
  Sizes later_pass;
  std::size_t refused_line = 0;  // 1-based: the line the agent refuses by its error index
  bool lossy = false;            // tries go unanswered, the same request is sent again
};

const std::vector<DeviceCase> kDevices = {
    {"small agent, tooBig above 8 OIDs", "127.0.0.2", {"--max-oids", "8"}, "[127.0.0.2]\n", 20,
     {}, {20, 10, 5, 5, 10, 5, 5}, {5, 5, 5, 5}},
    {"silent above 10 OIDs", "127.0.0.3", {"--drop-above", "10"},
     "[127.0.0.3]\n@max-oids = 10\n", 25, {}, {10, 10, 5}, {10, 10, 5}},
    {"error index", "127.0.0.4", {"--error-index-for", "1.3.6.1.4.1.99.3"}, "[127.0.0.4]\n", 5,
     {}, {5, 4}, {4}, 3},
    // Seed 35 loses the first two tries of the first pass, then never more than two in a row.
    {"lossy link", "127.0.0.5", {"--loss", "30", "--seed", "35"},
     "[127.0.0.5]\n@retries = 3\n@timeout = 500\n", 4, {}, {4}, {4}, 0, true},
    {"NAT port", "127.0.0.6:1161", {"--port-only"}, "[127.0.0.6]\n@port = 1161\n", 3, {}, {3},
     {3}},
    {"IPv6 loopback", "[::1]", {}, "[ups-v6]\n@host = ::1\n", 2, {}, {2}, {2}},
    {"IPv6 in brackets", "[::1]:1162", {}, "[ups-v6-brackets]\n@host = [::1]\n@port = 1162\n", 2,
     {}, {2}, {2}},
    {"IPv6 host", "[2001:db8::7]", {}, "[ups-far:public]\n@host = 2001:db8::7\n", 2, {}, {2},
     {2}},
    {"UPS with Opaque floats", "127.0.0.7", {}, "[127.0.0.7]\n", 2,
     {{"68x|9f780441bc0000", "23.5"}, {"68x|9f7908406cc80000000000", "230.25"}}, {2}, {2}},
};

std::string Oid(std::size_t line) { return "1.3.6.1.4.1.99." + std::to_string(line); }
std::string Point(std::size_t channel, std::size_t line) {
  return std::to_string(channel) + ":1:" + std::to_string(line);
}

// The number of bindings of each request in the agent's "answered" lines.
Sizes AnsweredSizes(const std::vector<std::string>& answers) {
  Sizes sizes;
  for (const std::string& answer : answers) {
    const std::string oids = LogField(answer, "oids");
    sizes.push_back(oids.empty() ? 0 : std::count(oids.begin(), oids.end(), ',') + 1);
  }
  return sizes;
}

class DeviceFitEndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
  }

  // Runs the task with `config` until the debug log holds `last_line` `passes` times.
  void PollPasses(const std::string& config, const std::string& last_line, int passes) {
    ASSERT_TRUE(task_.Start(config));
    ASSERT_TRUE(testing_support::WaitForLogText(task_.site(), "debug.log", last_line, 60s,
                                                static_cast<std::size_t>(passes)))
        << task_.Log("debug.log");
    EXPECT_EQ(task_.Stop(), 0);
  }
  std::vector<testing_support::JournalEntry> Journal() const {
    return testing_support::ReadJournal(task_.JournalFile());
  }

  testing_support::SiteTask task_;
};

TEST_F(DeviceFitEndToEndTest, EachDeviceProblemIsFittedByItsOptions) {
  // The test process's network namespace is its own: the address is new there.
  const std::string added = testing_support::AddLoopbackIPv6Address(kIPv6HostAddress);
  ASSERT_TRUE(added.empty()) << added;
  std::vector<std::unique_ptr<AgentProcess>> agents;
  std::string config;
  std::string last_line;
  for (std::size_t c = 0; c < kDevices.size(); ++c) {
    const DeviceCase& device = kDevices[c];
    std::string data;
    config += device.section;
    for (std::size_t line = 1; line <= device.lines; ++line) {
      data += Oid(line) + "|" +
              (device.values.empty() ? "2|" + std::to_string(line) : device.values[line - 1].first) +
              "\n";
      config += "#TT" + Point(c + 1, line) + "=" + Oid(line) + "\n";
    }
    agents.push_back(std::make_unique<AgentProcess>(device.listen, data, device.agent_options));
    ASSERT_TRUE(agents.back()->listening()) << device.problem << ": " << agents.back()->Output();
    last_line = "(#TT" + Point(c + 1, device.lines) + ")=";
  }
  PollPasses(config, last_line, kPasses);

  const auto journal = Journal();
  for (std::size_t c = 0; c < kDevices.size(); ++c) {
    const DeviceCase& device = kDevices[c];
    for (std::size_t line = 1; line <= device.lines; ++line) {
      const std::string value =
          device.values.empty() ? std::to_string(line) : device.values[line - 1].second;
      const std::string write = line == device.refused_line ? "slSetAnalogFlags 0x0001"
                                                            : "slSetAnalogFloatCodeUT " + value;
      EXPECT_EQ(WritesTo(journal, Point(c + 1, line)), std::vector<std::string>(kPasses, write))
          << device.problem << ", line " << line;
    }
    Sizes sizes = device.first_pass;
    for (int pass = 1; pass < kPasses; ++pass) {
      sizes.insert(sizes.end(), device.later_pass.begin(), device.later_pass.end());
    }
    const std::vector<std::string> answers = agents[c]->Answers(sizes.size());
    EXPECT_EQ(AnsweredSizes(answers), sizes) << device.problem;
    const std::vector<std::string> requests = agents[c]->Requests(answers.size());
    if (!device.lossy) {
      EXPECT_EQ(requests.size(), answers.size()) << device.problem << ": every request answered";
      continue;
    }
    // Tries went unanswered, and every try of a pass carried the pass's one request ID.
    EXPECT_GT(requests.size(), answers.size()) << device.problem;
    std::set<std::string> ids;
    for (const std::string& request : requests) ids.insert(LogField(request, "id"));
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kPasses)) << device.problem;
  }

  const std::string debug = task_.Log("debug.log");
  EXPECT_EQ(Count(debug, "Нет ответа от"), 0u) << debug;
  // Refusals only in the first pass: three tooBig halvings, one refused OID.
  EXPECT_EQ(Count(debug, "Ошибка 1 в ответе от 127.0.0.2\r\n"), 3u) << debug;
  EXPECT_EQ(Count(debug, "Ошибка 2 в ответе от 127.0.0.4\r\n"), 1u) << debug;
  EXPECT_NE(debug.find("Ответ от ups-far:public\r\n1.3.6.1.4.1.99.1(#TT8:1:1)=1\r\n"),
            std::string::npos)
      << debug;
  EXPECT_EQ(task_.Log("message.log"),
            "Задача запущена\nЗапросы к 127.0.0.2 уменьшены до 5 OID\r\nЗадача остановлена\n");
  EXPECT_EQ(task_.Log("error.log"), "");
}

// snmpsimd answers a GetRequest of any size (its --max-varbinds limits GETBULK only): a
// section's @max-oids alone cuts its lines into requests, each of which it answers.
TEST_F(DeviceFitEndToEndTest, ThirdPartySimulatorPolledInRequestsOfMaxOids) {
  const std::string missing = testing_support::PeersUnavailable({"snmpsimd"});
  if (!missing.empty()) GTEST_SKIP() << missing;
  // It refuses to run as root and drops to nobody, whom only the machine's own root has.
  std::ifstream uid_map("/proc/self/uid_map");
  std::string inside, outside;
  uid_map >> inside >> outside;
  if (getuid() == 0 && outside != "0") {
    GTEST_SKIP() << "snmpsimd must drop root to nobody, whom this user namespace lacks";
  }
  constexpr std::size_t kLines = 12;
  std::string data;
  std::string config = "[127.0.0.9:public]\n@max-oids = 5\n";
  for (std::size_t line = 1; line <= kLines; ++line) {
    data += Oid(line) + "|2|" + std::to_string(line) + "\n";
    config += "#TT" + Point(1, line) + "=" + Oid(line) + "\n";
  }
  testing_support::SnmpsimdProcess simulator(task_.site().work().parent_path() / "snmpsim",
                                             "127.0.0.9", "161", {{"public.snmprec", data}},
                                             {"--v2c-arch"});
  ASSERT_TRUE(simulator.listening()) << "snmpsimd did not start: " << simulator.Log();
  PollPasses(config, "(#TT1:1:12)=12\r\n", 1);
  simulator.Stop();

  const auto journal = Journal();
  for (std::size_t line = 1; line <= kLines; ++line) {
    EXPECT_EQ(WritesTo(journal, Point(1, line)),
              std::vector<std::string>{"slSetAnalogFloatCodeUT " + std::to_string(line)})
        << line;
  }
  // 5, 5 and 2 bindings, as snmpsimd logged the requests.
  Sizes sizes;
  for (const std::string& line : testing_support::SplitLines(simulator.Log())) {
    if (line.find("Request var-binds: ") != std::string::npos) {
      sizes.push_back(std::count(line.begin(), line.end(), '='));
    }
  }
  EXPECT_EQ(sizes, (Sizes{5, 5, 2})) << simulator.Log();
  EXPECT_EQ(Count(task_.Log("debug.log"), "Ответ от 127.0.0.9:public\r\n"), 3u);
  EXPECT_EQ(task_.Log("error.log"), "");
}

}  // namespace
}  // namespace zelsnmp
