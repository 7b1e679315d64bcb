// Rows found by their name, through the real pass: net-snmp's snmpd on loopback walked for its
// real interface table, and agent simulators that renumber their tables (agentsim
// --renumber-after), refuse GetBulk or answer nothing, polled one request after the other and
// in a window; read back from the stand-in TM server's journal and the logs.

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "poller/agent_poller.h"
#include "poller/pass_test_site.h"
#include "testing/agent_process.h"
#include "testing/peer_programs.h"
#include "testing/text_count.h"

namespace zelsnmp {
namespace {

using testing_support::Count;
using testing_support::WritesTo;

constexpr std::int32_t kTestTimeoutMs = 400;

class RowPassTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_GT(site_.tm(), 0); }

  PollConfig Load(const std::string& ini) {
    return LoadPollConfig(site_.directory().Write("poll.ini", ini));
  }

  std::unique_ptr<AgentPoller> MakePoller(const std::string& port, int requests_in_flight) {
    auto poller = std::make_unique<AgentPoller>(site_.tm(), [port] {
      auto client = std::make_unique<TSNMPSend>();
      client->TargetPort = port;
      client->Timeout = kTestTimeoutMs;
      return client;
    });
    poller->SetRequestsInFlight(requests_in_flight);
    return poller;
  }

  testing_support::PassTestSite site_;
};

// snmpd's loopback interface found by its name, in requests of one OID or more, serial and in
// a window: the same journal, the value snmpd gives at that index.
TEST_F(RowPassTest, SnmpdInterfaceFoundByItsName) {
  const std::string missing = testing_support::PeersUnavailable({"snmpd", "snmpget"});
  if (!missing.empty()) GTEST_SKIP() << missing;
  testing_support::SnmpdProcess snmpd(site_.directory().PathOf("snmpd"));
  ASSERT_TRUE(snmpd.Start("rocommunity public 127.0.0.1\n")) << snmpd.Log();
  const testing_support::ToolRun index = testing_support::RunNetSnmpTool(
      site_.directory().PathOf("tools"),
      "snmpget -v2c -c public -Oqv 127.0.0.1:" + snmpd.port() + " 1.3.6.1.2.1.2.2.1.4.1");
  ASSERT_EQ(index.status, 0) << index.errors;
  const std::string config =
      "[127.0.0.1:public]\n"
      "#TT1:1:1 = 1.3.6.1.2.1.2.2.1.4[1.3.6.1.2.1.2.2.1.2=lo]\n"
      "#TS1:1:2 = 1.3.6.1.2.1.2.2.1.1[1.3.6.1.2.1.2.2.1.2=lo]\n"
      "#TT1:1:3 = 1.3.6.1.2.1.2.2.1.4[1.3.6.1.2.1.2.2.1.2=\"no such link\"] scale=2\n"
      "#TT1:1:4 = 1.3.6.1.2.1.2.1.0\n";
  for (int window : {1, 3}) {
    SCOPED_TRACE(window);
    std::unique_ptr<AgentPoller> poller = MakePoller(snmpd.port(), window);
    const PollConfig loaded = Load(config);
    for (int pass = 0; pass < 2; ++pass) poller->RunPass(loaded);
  }
  const auto journal = site_.Journal();
  const std::string mtu = "slSetAnalogFloatCodeUT " + index.output.substr(0, index.output.find('\n'));
  EXPECT_EQ(WritesTo(journal, "1:1:1"), std::vector<std::string>(4, mtu));
  EXPECT_EQ(WritesTo(journal, "1:1:2"), std::vector<std::string>(4, "slSetStatus 1"));
  EXPECT_EQ(WritesTo(journal, "1:1:3"), std::vector<std::string>(4, "slSetAnalogFlags 0x0001"));
  const std::string debug = site_.Log("debug.log");
  // One walk per poller: the key no row holds waits for its 60th pass.
  EXPECT_EQ(Count(debug, "Обход столбца 1.3.6.1.2.1.2.2.1.2 [127.0.0.1:public]: прочитано строк "),
            2u)
      << debug;
  EXPECT_EQ(Count(debug, ", совпало 1\r\n"), 2u) << debug;
  EXPECT_EQ(Count(debug, "1.3.6.1.2.1.2.2.1.4.1(#TT1:1:1)="), 4u) << debug;
}

// A table of `rows` interfaces: ifDescr "port<i>", ifMtu 1000 + i.
std::string InterfaceTable(int rows) {
  std::string data = "1.3.6.1.2.1.1.3.0|67|100\n";
  for (int row = 1; row <= rows; ++row) {
    data += "1.3.6.1.2.1.2.2.1.2." + std::to_string(row) + "|4|port" + std::to_string(row) + "\n";
  }
  for (int row = 1; row <= rows; ++row) {
    data += "1.3.6.1.2.1.2.2.1.4." + std::to_string(row) + "|2|" + std::to_string(1000 + row) +
            "\n";
  }
  return data;
}

std::string MtuLine(int point, int row) {
  return "#TT1:1:" + std::to_string(point) + " = 1.3.6.1.2.1.2.2.1.4[1.3.6.1.2.1.2.2.1.2=port" +
         std::to_string(row) + "]\n";
}

// A device that moves every table row to the next index every few answers: the point shows
// its own row's value or is flagged, never another row's; serial and windowed passes write the
// same journal.
TEST_F(RowPassTest, RenumberedRowIsNeverWrittenWithAnotherRowsValue) {
  constexpr int kPasses = 12;
  std::vector<std::vector<testing_support::JournalEntry>> journals;
  std::vector<std::string> debugs;
  for (int window : {1, 3}) {
    SCOPED_TRACE(window);
    testing_support::AgentProcess agent("127.0.0.1:0", InterfaceTable(6),
                                        {"--renumber-after", "5"});
    ASSERT_TRUE(agent.listening()) << agent.Output();
    std::unique_ptr<AgentPoller> poller = MakePoller(agent.port(), window);
    const PollConfig loaded = Load("[127.0.0.1]\n" + MtuLine(1, 3) + MtuLine(2, 6));
    const std::size_t before = site_.Journal().size();
    for (int pass = 0; pass < kPasses; ++pass) poller->RunPass(loaded);
    const auto all = site_.Journal();
    journals.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
  }
  ASSERT_EQ(journals[0].size(), journals[1].size());
  for (std::size_t i = 0; i < journals[0].size(); ++i) {
    EXPECT_EQ(journals[0][i].operation + " " + journals[0][i].point + " " + journals[0][i].value,
              journals[1][i].operation + " " + journals[1][i].point + " " + journals[1][i].value)
        << i;
  }
  for (const auto& [point, value] : {std::pair{"1:1:1", "1003"}, std::pair{"1:1:2", "1006"}}) {
    const std::vector<std::string> writes = WritesTo(journals[0], point);
    EXPECT_EQ(writes.size(), static_cast<std::size_t>(kPasses)) << point;
    const auto flagged = std::count(writes.begin(), writes.end(), "slSetAnalogFlags 0x0001");
    const auto own = std::count(writes.begin(), writes.end(),
                                std::string("slSetAnalogFloatCodeUT ") + value);
    EXPECT_EQ(flagged + own, kPasses) << point;
    EXPECT_GT(flagged, 0) << point;
    EXPECT_GT(own, kPasses / 2) << point;
  }
}

// Over SNMPv3 at authPriv the walk (GetBulk, and GetNext for a device that refuses GetBulk)
// and the rows' requests go through the user's session as any request: serial and windowed.
TEST_F(RowPassTest, RowsFoundOverV3) {
  for (const bool no_bulk : {false, true}) {
    for (int window : {1, 3}) {
      SCOPED_TRACE(testing::Message() << "no GetBulk " << no_bulk << ", window " << window);
      std::vector<std::string> options = {"--v3-user", "ops", "--auth", "SHA-256:row auth phrase",
                                          "--priv", "AES:row priv phrase"};
      if (no_bulk) options.push_back("--no-getbulk");
      testing_support::AgentProcess agent("127.0.0.1:0", InterfaceTable(30), options);
      ASSERT_TRUE(agent.listening()) << agent.Output();
      std::unique_ptr<AgentPoller> poller = MakePoller(agent.port(), window);
      const PollConfig loaded = Load(
          "[127.0.0.1]\n@version = 3\n@user = ops\n@auth = SHA-256:row auth phrase\n"
          "@priv = AES:row priv phrase\n" + MtuLine(1, 27));
      const std::size_t before = site_.Journal().size();
      for (int pass = 0; pass < 2; ++pass) poller->RunPass(loaded);
      const auto all = site_.Journal();
      const std::vector<testing_support::JournalEntry> journal(
          all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
      EXPECT_EQ(WritesTo(journal, "1:1:1"),
                std::vector<std::string>(2, "slSetAnalogFloatCodeUT 1027"));
    }
  }
  const std::string debug = site_.Log("debug.log");
  EXPECT_EQ(Count(debug, "прочитано строк 30, совпало 1\r\n"), 4u) << debug;
}

// Requests per pass: a walk at the first pass (GetBulk of 25 rows, or GetNext where GetBulk
// is refused), then one request of the rows' columns and their keys, as fixed OIDs would be
// plus one key binding per row.
TEST_F(RowPassTest, FiftyRowsCostOneRequestPerPassAfterTheWalk) {
  struct Case {
    const char* device;
    std::vector<std::string> options;
    std::size_t walk_requests;
  };
  const Case cases[] = {
      {"GetBulk", {}, 3},
      {"no GetBulk", {"--no-getbulk"}, 52},
  };
  constexpr int kRows = 50;
  std::string config = "[127.0.0.1]\n";
  for (int row = 1; row <= kRows; ++row) config += MtuLine(row, row);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    testing_support::AgentProcess agent("127.0.0.1:0", InterfaceTable(kRows), c.options);
    ASSERT_TRUE(agent.listening()) << agent.Output();
    std::unique_ptr<AgentPoller> poller = MakePoller(agent.port(), 1);
    const PollConfig loaded = Load(config);
    poller->RunPass(loaded);
    EXPECT_EQ(agent.Answers(c.walk_requests + 1).size(), c.walk_requests + 1) << agent.Output();
    poller->RunPass(loaded);
    const std::vector<std::string> answers = agent.Answers(c.walk_requests + 2);
    ASSERT_EQ(answers.size(), c.walk_requests + 2) << agent.Output();
    const std::string oids = testing_support::LogField(answers.back(), "oids");
    EXPECT_EQ(std::count(oids.begin(), oids.end(), ',') + 1, 2 * kRows + 1) << oids;
    const auto journal = site_.Journal();
    EXPECT_EQ(WritesTo(journal, "1:1:50").back(), "slSetAnalogFloatCodeUT 1050");
  }
}

// A dead device: its walk goes unanswered once; after that only its other request goes each
// pass, so that it costs one time-out per pass; the row's point is flagged every pass.
TEST_F(RowPassTest, DeadDeviceIsWalkedOnceUntilItAnswers) {
  testing_support::AgentProcess agent("127.0.0.1:0", InterfaceTable(2), {"--silent"});
  ASSERT_TRUE(agent.listening()) << agent.Output();
  std::unique_ptr<AgentPoller> poller = MakePoller(agent.port(), 1);
  const PollConfig loaded =
      Load("[127.0.0.1]\n" + MtuLine(1, 2) + "#TT1:1:2 = 1.3.6.1.2.1.1.3.0\n");
  for (int pass = 0; pass < 3; ++pass) poller->RunPass(loaded);
  const std::vector<std::string> requests = agent.Requests(4);
  EXPECT_EQ(requests.size(), 4u) << agent.Output();
  EXPECT_EQ(WritesTo(site_.Journal(), "1:1:1"),
            std::vector<std::string>(3, "slSetAnalogFlags 0x0001"));
}

// Six silent devices (sections of one silent simulator) and two live ones, with row lines, in
// a window of 8: every silent device's walk goes out before any of them is tried again, so
// that the walks cost the pass one time-out (x tries), not one per device; the live devices'
// rows are found and written, the silent ones' flagged, and a silent device is not walked
// again while it answers nothing.
TEST_F(RowPassTest, WindowedWalksOfSilentDevicesAreInFlightTogether) {
  constexpr int kSilent = 6;
  constexpr int kDevices = kSilent + 2;
  testing_support::AgentProcess silent("127.0.0.1:0", InterfaceTable(3), {"--silent"});
  testing_support::AgentProcess live1("127.0.0.1:0", InterfaceTable(3));
  testing_support::AgentProcess live2("127.0.0.1:0", InterfaceTable(3));
  const testing_support::AgentProcess* const device_agents[] = {&live1, &live2};
  std::string config;
  for (int device = 0; device < kDevices; ++device) {
    const bool dead = device < kSilent;
    const testing_support::AgentProcess& agent = dead ? silent : *device_agents[device - kSilent];
    ASSERT_TRUE(agent.listening()) << agent.Output();
    const std::string rtu = std::to_string(device + 1);
    config += "[device" + rtu + "]\n@host = 127.0.0.1\n@port = " + agent.port() +
              "\n@timeout = 500\n@retries = 1\n#TT1:" + rtu +
              ":1 = 1.3.6.1.2.1.2.2.1.4[1.3.6.1.2.1.2.2.1.2=port2]\n#TT1:" + rtu +
              ":2 = 1.3.6.1.2.1.1.3.0\n";
  }
  std::unique_ptr<AgentPoller> poller = MakePoller("161", 8);
  const PollConfig loaded = Load(config);
  for (int pass = 0; pass < 2; ++pass) poller->RunPass(loaded);

  // Per silent device: a walk and a request in the first pass, a request in the second; two
  // tries each. The first tries of the walks come before any second one.
  const std::vector<std::string> requests = silent.Requests(6 * kSilent + 1);
  ASSERT_EQ(requests.size(), 6u * kSilent) << silent.Output();
  std::vector<std::string> first_tries, second_tries;
  for (int i = 0; i < kSilent; ++i) {
    first_tries.push_back(testing_support::LogField(requests[i], "id"));
    second_tries.push_back(testing_support::LogField(requests[kSilent + i], "id"));
  }
  std::sort(first_tries.begin(), first_tries.end());
  std::sort(second_tries.begin(), second_tries.end());
  EXPECT_EQ(std::set<std::string>(first_tries.begin(), first_tries.end()).size(),
            static_cast<std::size_t>(kSilent))
      << silent.Output();
  EXPECT_EQ(first_tries, second_tries) << silent.Output();

  const auto journal = site_.Journal();
  const std::string debug = site_.Log("debug.log");
  for (int device = 0; device < kDevices; ++device) {
    SCOPED_TRACE(device);
    const bool dead = device < kSilent;
    const std::string rtu = std::to_string(device + 1);
    EXPECT_EQ(WritesTo(journal, "1:" + rtu + ":1"),
              std::vector<std::string>(2, dead ? "slSetAnalogFlags 0x0001"
                                               : "slSetAnalogFloatCodeUT 1002"));
    EXPECT_EQ(WritesTo(journal, "1:" + rtu + ":2"),
              std::vector<std::string>(2, dead ? "slSetAnalogFlags 0x0001"
                                               : "slSetAnalogFloatCodeUT 100"));
    const std::string walked = "Обход столбца 1.3.6.1.2.1.2.2.1.2 [device" + rtu +
                               "]: прочитано строк " +
                               (dead ? "0, обход не завершён" : "3, совпало 1");
    EXPECT_EQ(Count(debug, walked), 1u) << debug;
  }
}

// A real switch's recording, served by snmpsimd: each interface found by its name (one of them
// recorded as hex) shows its ifIndex as snmpget reads it at the index the walk found.
TEST_F(RowPassTest, RecordedSwitchRowsEqualWhatSnmpgetReads) {
  const std::string missing = testing_support::PeersUnavailable({"snmpsimd", "snmpget"});
  if (!missing.empty()) GTEST_SKIP() << missing;
  // It refuses to run as root and drops to nobody, whom only the machine's own root has.
  std::ifstream uid_map("/proc/self/uid_map");
  std::string inside, outside;
  uid_map >> inside >> outside;
  if (testing_support::RunsAsRoot() && outside != "0") {
    GTEST_SKIP() << "snmpsimd must drop root to nobody, whom this user namespace lacks";
  }
  const std::string recording = "/usr/share/doc/snmpsim/examples/data/cisco_16_switch.snmprec.gz";
  const std::string data_file = site_.directory().PathOf("switch.snmprec");
  if (testing_support::RunShell("zcat " + recording + " > " + data_file + " 2>/dev/null") != 0) {
    GTEST_SKIP() << "no device recording at " << recording << " (Debian's snmpsim examples)";
  }
  std::ifstream file(data_file, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  testing_support::SnmpsimdProcess simulator(site_.directory().PathOf("snmpsim"), "127.0.0.1", "",
                                             {{"public.snmprec", data}}, {"--v2c-arch"});
  ASSERT_TRUE(simulator.listening()) << "snmpsimd did not start: " << simulator.Log();
  const char* const kNames[] = {"Vlan60", "StackPort3", "StackSub-St3-1", "FastEthernet3/0/7"};
  std::string config = "[127.0.0.1:public]\n";
  for (std::size_t i = 0; i < std::size(kNames); ++i) {
    config += "#TS1:1:" + std::to_string(i + 1) + " = 1.3.6.1.2.1.2.2.1.1[1.3.6.1.2.1.2.2.1.2=" +
              kNames[i] + "]\n";
  }
  MakePoller(simulator.port(), 1)->RunPass(Load(config));
  const auto journal = site_.Journal();
  const std::string debug = site_.Log("debug.log");
  for (std::size_t i = 0; i < std::size(kNames); ++i) {
    SCOPED_TRACE(kNames[i]);
    // The OID the pass asked, as traced: "OID(#TT1:1:N)=value".
    const std::string traced = "(#TS1:1:" + std::to_string(i + 1) + ")=";
    const std::size_t at = debug.find(traced);
    ASSERT_NE(at, std::string::npos) << debug;
    const std::size_t begin = debug.rfind('\n', at) + 1;
    const std::string oid = debug.substr(begin, at - begin);
    const testing_support::ToolRun read = testing_support::RunNetSnmpTool(
        site_.directory().PathOf("tools"), "snmpget -v2c -c public -Oqv 127.0.0.1:" +
                                               simulator.port() + " " + oid);
    ASSERT_EQ(read.status, 0) << read.errors;
    EXPECT_EQ(WritesTo(journal, "1:1:" + std::to_string(i + 1)),
              std::vector<std::string>{"slSetStatus " +
                                       read.output.substr(0, read.output.find('\n'))})
        << oid;
  }
}

}  // namespace
}  // namespace zelsnmp
