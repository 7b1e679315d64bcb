// agentsim as the program it is: its command line, its data file handling and its losses, and
// the values it serves as net-snmp's snmpget reads them beside the task's own decoder.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/block_socket.h"
#include "snmp/ber.h"
#include "snmp/snmp_client.h"
#include "snmp/snmp_message.h"
#include "testing/agent_process.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"

namespace zelsnmp::agentsim {
namespace {

using testing_support::AgentProcess;
using testing_support::ProgramAvailable;
using testing_support::ReadFile;
using testing_support::RunShell;
using testing_support::ShellQuote;
using testing_support::TempDirectory;

// Runs agentsim with `arguments`; its exit status and its output (both streams).
int RunAgentsim(const std::string& arguments, std::string& output) {
  TempDirectory directory;
  const std::string log = directory.PathOf("out.log");
  const std::string status = directory.PathOf("status");
  RunShell(ShellQuote(ZELSNMP_AGENTSIM) + " " + arguments + " >" + ShellQuote(log) +
           " 2>&1; echo $? >" + ShellQuote(status));
  output = ReadFile(log);
  return std::atoi(ReadFile(status).c_str());
}

TEST(AgentsimProgramTest, VersionAndRefusedDataFile) {
  if (!ProgramAvailable("sh")) GTEST_SKIP() << "needs a POSIX shell";
  std::string output;
  EXPECT_EQ(RunAgentsim("--version", output), 0);
  EXPECT_EQ(output.rfind("agentsim ", 0), 0u) << output;
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;

  TempDirectory directory;
  testing_support::WriteFile(directory.path() / "bad.snmprec", "1.3.6|4|a\n1.3.7|9|x\n");
  EXPECT_EQ(
      RunAgentsim("--listen 127.0.0.1:0 --data " + ShellQuote(directory.PathOf("bad.snmprec")),
                  output),
      1);
  EXPECT_NE(output.find("bad.snmprec: line 2: tag 9 is not supported"), std::string::npos)
      << output;
  EXPECT_EQ(RunAgentsim("--listen 127.0.0.1 --data x --port-only", output), 2) << output;
}

TEST(AgentsimProgramTest, LenientServesTheGoodLines) {
  AgentProcess agent("127.0.0.1:0", "1.3.6.1|4|kept\nnot a line\n1.3.6.2|70|-1\n", {"--lenient"});
  ASSERT_TRUE(agent.listening()) << agent.Output();
  EXPECT_NE(agent.Output().find(": 2 malformed line(s) skipped"), std::string::npos)
      << agent.Output();
  EXPECT_NE(agent.Output().find("skipped "), std::string::npos) << agent.Output();
  TSNMPSend client;
  client.Timeout = 2000;
  client.Query().Community = "public";
  client.Query().Version = kSnmpVersion2c;
  client.Query().PDUType = PduGetRequest;
  client.Query().AddBinding("1.3.6.1", "", TagNull);
  client.TargetHost = "127.0.0.1";
  client.TargetPort = agent.port();
  ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
  EXPECT_EQ(client.Reply().BindingValue("1.3.6.1"), "kept");
}

// An agent on an IPv6 address answers there: to the task's client, request after request from
// the same socket, and to snmpget over udp6 where it is installed.
TEST(AgentsimProgramTest, AnswersOnIPv6) {
  AgentProcess agent("[::1]:0", "1.3.6.1|2|6\n");
  if (!agent.listening()) GTEST_SKIP() << "no IPv6 loopback here: " << agent.Output();
  TSNMPSend client;
  client.Timeout = 2000;
  client.TargetHost = "::1";
  client.TargetPort = agent.port();
  client.Query().Community = "public";
  client.Query().Version = kSnmpVersion2c;
  client.Query().PDUType = PduGetRequest;
  client.Query().AddBinding("1.3.6.1", "", TagNull);
  for (int request = 0; request < 2; ++request) {
    ASSERT_TRUE(client.SendQuery()) << client.LastErrorText() << agent.Output();
    EXPECT_EQ(client.Reply().BindingValue("1.3.6.1"), "6");
  }
  EXPECT_EQ(agent.Output().find("send failed"), std::string::npos) << agent.Output();
  if (!testing_support::PeersUnavailable({"snmpget"}).empty()) return;
  TempDirectory directory;
  const testing_support::ToolRun get = testing_support::RunNetSnmpTool(
      directory.path(),
      "snmpget -v2c -c public -t 2 -r 0 -On udp6:[::1]:" + agent.port() + " 1.3.6.1");
  EXPECT_EQ(get.output, ".1.3.6.1 = INTEGER: 6\n") << get.errors;
}

// The positions (0-based) of the answered ones among `count` requests sent at once. The agent
// takes requests one after the other: once it has received a last one sent after them, every
// answer to them is waiting in the socket.
std::vector<int> AnsweredPositions(const std::vector<std::string>& loss_options, int count) {
  constexpr int kFirstId = 1000;
  constexpr int kQueuedMs = 100;
  constexpr int kLogWaits = 10;  // of two seconds each
  AgentProcess agent("127.0.0.1:0", "1.3.6.1|2|1\n", loss_options);
  EXPECT_TRUE(agent.listening()) << agent.Output();
  TUDPBlockSocket socket;
  socket.ConnectTo("127.0.0.1", agent.port());
  for (int i = 0; i <= count; ++i) {
    TSNMPRec request;
    request.Community = "public";
    request.Version = kSnmpVersion2c;
    request.PDUType = PduGetRequest;
    request.ID = kFirstId + i;
    request.AddBinding("1.3.6.1", "", TagNull);
    socket.SendDatagram(request.EncodeMessage());
  }
  const std::size_t all = static_cast<std::size_t>(count) + 1;
  for (int wait = 0; wait < kLogWaits && agent.Requests(all).size() < all; ++wait) {
  }
  EXPECT_EQ(agent.Requests().size(), all) << agent.Output();
  std::vector<int> positions;
  for (;;) {
    const std::string datagram = socket.ReceiveDatagram(kQueuedMs);
    TSNMPRec answer;
    if (socket.LastErrorCode() != 0 || !answer.DecodeMessage(datagram)) break;
    // The last request's answer may come or not: it only marks the end.
    if (answer.ID - kFirstId < count) positions.push_back(answer.ID - kFirstId);
  }
  return positions;
}

TEST(AgentsimProgramTest, LossIsReproducible) {
  constexpr int kRequests = 40;
  const std::vector<int> first = AnsweredPositions({"--loss", "50", "--seed", "7"}, kRequests);
  EXPECT_EQ(AnsweredPositions({"--loss", "50", "--seed", "7"}, kRequests), first);
  EXPECT_GT(first.size(), 5u);
  EXPECT_LT(first.size(), 35u);
  EXPECT_NE(AnsweredPositions({"--loss", "50", "--seed", "8"}, kRequests), first);
  EXPECT_EQ(AnsweredPositions({"--loss", "100"}, 5).size(), 0u);
  EXPECT_EQ(AnsweredPositions({"--loss", "0"}, 5).size(), 5u);
}

}  // namespace
}  // namespace zelsnmp::agentsim
