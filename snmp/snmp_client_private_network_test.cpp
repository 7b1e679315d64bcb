// The exchange against an agent at an IPv6 address other than ::1, on port 161, in a network
// namespace of the test process's own (testing/private_network_main.cpp) that gives its
// loopback interface the address fd00::2: the single exchange and the request window, bare and
// in brackets, with an IPv4 agent in the same window.

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "snmp/request_window.h"
#include "snmp/scripted_responder.h"
#include "snmp/snmp_client.h"
#include "testing/peer_programs.h"
#include "testing/private_network.h"

namespace zelsnmp {
namespace {

using testing::ScriptedResponder;

const std::string kHostAddress = "fd00::2";
const std::string kOid = "1.3.6.1.4.1.7.1";
const std::string kIPv4Oid = "1.3.6.1.4.1.7.2";

class PrivateNetworkIPv6Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
    // Added once per process; a second time it is there already.
    testing_support::RunShell("ip -6 addr add " + kHostAddress + "/128 dev lo nodad 2>/dev/null");
  }
};

TSNMPRec Query(const std::string& oid) {
  TSNMPRec query;
  query.Version = kSnmpVersion2c;
  query.PDUType = PduGetRequest;
  query.AddBinding(oid, "", TagNull);
  return query;
}

// Bare, with the first try dropped; then in brackets.
TEST_F(PrivateNetworkIPv6Test, SingleExchangeOnPort161) {
  ScriptedResponder agent(kHostAddress, {{kOid, {1, {}}}}, "161");
  ASSERT_TRUE(agent.listening()) << "cannot listen on [fd00::2]:161";
  const std::pair<std::string, std::string> cases[] = {{kHostAddress, kOid},
                                                       {"[" + kHostAddress + "]", kIPv4Oid}};
  for (const auto& [host, oid] : cases) {
    TSNMPSend client;
    // Long enough for a loaded machine to answer the second try.
    client.Timeout = 1000;
    client.Retries = 1;
    client.Query() = Query(oid);
    client.TargetHost = host;
    ASSERT_EQ(client.TargetPort, "161");
    ASSERT_TRUE(client.SendQuery()) << host << ": " << client.LastErrorText();
    EXPECT_EQ(client.HostIP(), kHostAddress);
    EXPECT_EQ(client.Reply().BindingValue(oid), "answer to " + oid);
  }
  EXPECT_EQ(agent.Tries(kOid).size(), 2u);
}

TEST_F(PrivateNetworkIPv6Test, WindowWithBothFamilies) {
  ScriptedResponder agent(kHostAddress, {}, "161");
  ScriptedResponder ipv4_agent("127.0.0.1", {{kIPv4Oid, {1, {}}}});
  ASSERT_TRUE(agent.listening() && ipv4_agent.listening());
  TSNMPSend client;
  RequestWindow window(client, 2);
  TSNMPRec ipv6_query = Query(kOid);
  TSNMPRec ipv4_query = Query(kIPv4Oid);
  // Time-outs long enough for a loaded machine: the answered try costs only its round trip.
  ASSERT_TRUE(window.Send(ipv6_query, RequestTarget{"[" + kHostAddress + "]", "161", 5000, 0}, 6));
  ASSERT_TRUE(window.Send(ipv4_query, RequestTarget{"127.0.0.1", ipv4_agent.port(), 1000, 1}, 4));
  std::map<std::size_t, SettledRequest> settled;
  while (window.in_flight() > 0) {
    for (SettledRequest& outcome : window.Settle()) settled[outcome.tag] = std::move(outcome);
  }
  ASSERT_EQ(settled.size(), 2u);
  EXPECT_TRUE(settled[6].answered);
  EXPECT_EQ(settled[6].sender, kHostAddress);
  EXPECT_TRUE(settled[4].answered);
  EXPECT_EQ(settled[4].sender, "127.0.0.1");
  EXPECT_EQ(ipv4_agent.Tries(kIPv4Oid).size(), 2u);
}

}  // namespace
}  // namespace zelsnmp
