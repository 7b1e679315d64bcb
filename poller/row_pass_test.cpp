// Rows found by their name, through the real pass: net-snmp's snmpd on loopback walked for its
// real interface table, and agent simulators that renumber their tables (agentsim
// --renumber-after) or refuse GetBulk, polled one request after the other and in a window;
// read back from the stand-in TM server's journal and the logs.

#include <memory>
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

}  // namespace
}  // namespace zelsnmp
