// agentsim as a version-3 agent for a manager nobody here wrote: net-snmp's snmpget, run
// against the agent process on a loopback port, for a table of authentication and privacy
// protocols, a wrong passphrase and engine restarts; and the agent's discovery Report read
// with the task's own decoder. Skipped (never passed) where snmpget is missing.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/block_socket.h"
#include "snmp/usm_discovery.h"
#include "testing/agent_process.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"

namespace zelsnmp::agentsim {
namespace {

using testing_support::AgentProcess;
using testing_support::LogField;
using testing_support::ShellQuote;
using testing_support::TempDirectory;

const std::string kSysName = "1.3.6.1.2.1.1.5.0";
const std::string kData = kSysName + "|4|sw-floor2\n";
const std::string kAuthPass = "auth-Words-8831";
const std::string kPrivPass = "priv-Words-4417";

// snmpget -v3 at the level the protocols give ("" for none), with a state directory of its own
// so that no engine knowledge is kept between runs.
testing_support::ToolRun RunSnmpget(const AgentProcess& agent, const std::string& auth,
                                    const std::string& priv,
                                    const std::string& auth_pass = kAuthPass) {
  TempDirectory directory;
  std::string command = "snmpget -v3 -u ops -t 1 -r 1";
  if (auth.empty()) {
    command += " -l noAuthNoPriv";
  } else if (priv.empty()) {
    command += " -l authNoPriv -a " + auth + " -A " + ShellQuote(auth_pass);
  } else {
    command += " -l authPriv -a " + auth + " -A " + ShellQuote(auth_pass) + " -x " + priv +
               " -X " + ShellQuote(kPrivPass);
  }
  return testing_support::RunNetSnmpTool(directory.path(),
                                         command + " 127.0.0.1:" + agent.port() + " " + kSysName);
}

std::vector<std::string> UserOptions(const std::string& auth, const std::string& priv) {
  std::vector<std::string> options = {"--v3-user", "ops"};
  if (!auth.empty()) options.insert(options.end(), {"--auth", auth + ":" + kAuthPass});
  if (!priv.empty()) options.insert(options.end(), {"--priv", priv + ":" + kPrivPass});
  return options;
}

void ExpectNoSecret(const std::string& output) {
  EXPECT_EQ(output.find(kAuthPass), std::string::npos) << output;
  EXPECT_EQ(output.find(kPrivPass), std::string::npos) << output;
}

class AgentsimV3SnmpgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = testing_support::PeersUnavailable({"snmpget"});
    if (!missing.empty()) GTEST_SKIP() << missing;
  }
};

struct ProtocolCase {
  const char* auth;
  const char* priv;
  const char* level;
};

TEST_F(AgentsimV3SnmpgetTest, AnswersEveryProtocolWithTheData) {
  const ProtocolCase cases[] = {
      {"", "", "noAuthNoPriv"},
      {"MD5", "", "authNoPriv"},
      {"SHA", "DES", "authPriv"},
      {"SHA-256", "AES", "authPriv"},
      {"SHA-512", "AES-256", "authPriv"},
      {"SHA", "AES-192-C", "authPriv"},
      {"SHA-224", "AES-256-C", "authPriv"},
  };
  for (const ProtocolCase& c : cases) {
    SCOPED_TRACE(std::string(c.auth) + "/" + c.priv);
    AgentProcess agent("127.0.0.1:0", kData, UserOptions(c.auth, c.priv));
    ASSERT_TRUE(agent.listening()) << agent.Output();
    const testing_support::ToolRun get = RunSnmpget(agent, c.auth, c.priv);
    EXPECT_EQ(get.status, 0) << get.errors;
    EXPECT_NE(get.output.find("STRING: \"sw-floor2\""), std::string::npos) << get.errors;
    const std::vector<std::string> answers = agent.Answers(1);
    ASSERT_EQ(answers.size(), 1u) << agent.Output();
    EXPECT_EQ(LogField(answers[0], "level"), c.level);
    EXPECT_EQ(LogField(answers[0], "user"), "\"ops\"");
    ExpectNoSecret(agent.Output());
  }
}

TEST_F(AgentsimV3SnmpgetTest, WrongPassphraseIsAWrongDigest) {
  AgentProcess agent("127.0.0.1:0", kData, UserOptions("SHA", "AES"));
  ASSERT_TRUE(agent.listening()) << agent.Output();
  const testing_support::ToolRun get = RunSnmpget(agent, "SHA", "AES", "not-the-" + kAuthPass);
  EXPECT_NE(get.status, 0) << get.output;
  EXPECT_EQ(get.output.find("sw-floor2"), std::string::npos) << get.output;
  EXPECT_TRUE(agent.OutputShows("report=usmStatsWrongDigests count=1")) << agent.Output();
  EXPECT_TRUE(agent.Answers().empty());
  ExpectNoSecret(agent.Output());
}

// The discovery Report names the engine and its clock, each restart raises the boots count,
// and a manager that discovers again is answered.
TEST_F(AgentsimV3SnmpgetTest, DiscoveryAndRestarts) {
  const std::string engine_id_hex = "800000000102030405";
  AgentProcess agent("127.0.0.1:0", kData,
                     {"--v3-user", "ops", "--auth", "SHA-384:" + kAuthPass, "--engine-id",
                      engine_id_hex, "--boots", "7", "--reboot-after", "1"});
  ASSERT_TRUE(agent.listening()) << agent.Output();
  auto discover = [&agent](DiscoveryReport& report) {
    TUDPBlockSocket socket;
    socket.ConnectTo("127.0.0.1", agent.port());
    socket.SendDatagram(EncodeDiscoveryRequest(31337, 4711));
    return DecodeDiscoveryReport(socket.ReceiveDatagram(2000), 31337, report);
  };
  DiscoveryReport report;
  ASSERT_TRUE(discover(report)) << agent.Output();
  EXPECT_EQ(report.engine_id, std::string("\x80\0\0\0\x01\x02\x03\x04\x05", 9));
  EXPECT_EQ(report.engine_boots, 7);
  EXPECT_LE(report.engine_time, 2);
  EXPECT_EQ(report.report, UsmReport::kUnknownEngineId);

  for (int boots = 7; boots <= 8; ++boots) {
    const testing_support::ToolRun get = RunSnmpget(agent, "SHA-384", "");
    EXPECT_NE(get.output.find("sw-floor2"), std::string::npos) << get.errors;
    ASSERT_TRUE(discover(report));
    EXPECT_EQ(report.engine_boots, boots + 1);
  }
  ExpectNoSecret(agent.Output());
}

}  // namespace
}  // namespace zelsnmp::agentsim
