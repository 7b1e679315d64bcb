// The exchange against a real agent nobody here wrote: net-snmp's snmpd, started on a loopback
// port with a configuration the test writes, and compared with what net-snmp's own snmpget
// reports for the same OIDs. Skipped (never passed) where the two programs are not installed.

#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "snmp/snmp_client.h"
#include "snmp/snmp_client_test_util.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using Clock = std::chrono::steady_clock;
using testing_support::ReadFile;
using testing::RunShell;
using testing::ShellQuote;
using testing_support::TempDirectory;

const std::string kCommunity = "zeltest";
const std::string kSysDescr = "1.3.6.1.2.1.1.1.0";
const std::string kSysObjectId = "1.3.6.1.2.1.1.2.0";
const std::string kSysUpTime = "1.3.6.1.2.1.1.3.0";
const std::string kSysContact = "1.3.6.1.2.1.1.4.0";
const std::string kSysLocation = "1.3.6.1.2.1.1.6.0";
const std::string kMissing = "1.3.6.1.2.1.1.99.0";
// sysUpTime moves between our query and snmpget's: allow five seconds of ticks.
constexpr long long kUpTimeToleranceTicks = 500;
constexpr int kStartAttempts = 3;

std::string SnmpdPath() {
  if (testing::ProgramAvailable("/usr/sbin/snmpd")) return "/usr/sbin/snmpd";
  return testing::ProgramAvailable("snmpd") ? "snmpd" : "";
}

// A value as snmpget prints it with -On -Oe, in the client's terms.
struct PrintedValue {
  std::string text;
  int tag = -1;
};

// Parses lines such as
//   .1.3.6.1.2.1.1.1.0 = STRING: "text"
//   .1.3.6.1.2.1.1.2.0 = OID: .1.3.6.1.4.1.8072.3.2.10
//   .1.3.6.1.2.1.1.3.0 = Timeticks: (1234) 0:00:12.34
//   .1.3.6.1.2.1.1.99.0 = No Such Object available on this agent at this OID
std::map<std::string, PrintedValue> ParseSnmpgetOutput(const std::string& output) {
  std::map<std::string, PrintedValue> values;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::size_t equals = line.find(" = ");
    if (line.empty() || line.front() != '.' || equals == std::string::npos) continue;
    std::string oid = line.substr(1, equals - 1);
    std::string rest = line.substr(equals + 3);
    auto after = [&rest](const std::string& prefix) { return rest.substr(prefix.size()); };
    PrintedValue value;
    if (rest.rfind("STRING: ", 0) == 0) {
      value = {after("STRING: "), TagOctetString};
      if (value.text.size() >= 2 && value.text.front() == '"' && value.text.back() == '"') {
        value.text = value.text.substr(1, value.text.size() - 2);
      }
    } else if (rest.rfind("OID: .", 0) == 0) {
      value = {after("OID: ."), TagObjectId};
    } else if (rest.rfind("Timeticks: (", 0) == 0) {
      std::string ticks = after("Timeticks: (");
      value = {ticks.substr(0, ticks.find(')')), TagTimeTicks};
    } else if (rest.rfind("INTEGER: ", 0) == 0) {
      value = {after("INTEGER: "), TagInteger};
    } else if (rest.rfind("No Such Object", 0) == 0) {
      value = {"", TagNoSuchObject};
    } else if (rest.rfind("No Such Instance", 0) == 0) {
      value = {"", TagNoSuchInstance};
    }
    values[oid] = value;
  }
  return values;
}

class SnmpdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    snmpd_ = SnmpdPath();
    if (snmpd_.empty() || !testing::ProgramAvailable("snmpget")) {
      GTEST_SKIP() << "snmpd or snmpget is not installed (Debian packages snmpd and snmp)";
    }
    testing_support::WriteFile(dir_.path() / "snmpd.conf",
                           "rocommunity " + kCommunity + " 127.0.0.1\n"
                           "sysDescr zelSNMP exchange test agent\n"
                           "sysContact ops@example.test\n"
                           "sysLocation Test rack 7\n");
    for (int attempt = 0; attempt < kStartAttempts && !Started(); ++attempt) Start();
    ASSERT_TRUE(Started()) << "snmpd did not answer; its log:\n"
                           << ReadFile(dir_.path() / "snmpd.log");
  }

  void TearDown() override {
    if (pid_.empty()) return;
    RunShell("kill -TERM " + pid_ + " 2>/dev/null");
    // Gone, or a zombie nobody has reaped yet.
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline &&
           RunShell("ps -o stat= -p " + pid_ + " 2>/dev/null | grep -qv '^Z'") == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  std::string Environment() const {
    return "SNMP_PERSISTENT_DIR=" + ShellQuote(dir_.path().string()) + " MIBS= ";
  }

  void Start() {
    port_ = std::to_string(testing::FreeUdpPort("127.0.0.1"));
    const std::string pid_path = (dir_.path() / "snmpd.pid").string();
    std::filesystem::remove(pid_path);
    RunShell(Environment() + ShellQuote(snmpd_) + " -f -Lo -C -c " +
             ShellQuote((dir_.path() / "snmpd.conf").string()) + " -p " + ShellQuote(pid_path) +
             " udp:127.0.0.1:" + port_ + " >" +
             ShellQuote((dir_.path() / "snmpd.log").string()) + " 2>&1 & echo $! >" +
             ShellQuote((dir_.path() / "shell.pid").string()));
    pid_ = ReadFile(dir_.path() / "shell.pid");
    while (!pid_.empty() && pid_.back() == '\n') pid_.pop_back();
    // Ready once it answers.
    TSNMPSend probe;
    probe.Timeout = 200;
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
      PrepareQuery(probe, kSnmpVersion2c, {kSysDescr});
      if (probe.SendQuery()) {
        started_ = true;
        return;
      }
    }
    TearDown();
    pid_.clear();
  }

  bool Started() const { return started_; }

  void PrepareQuery(TSNMPSend& client, std::int32_t version,
                    std::initializer_list<std::string> oids) const {
    client.Query().ResetMessage();
    client.Query().Community = kCommunity;
    client.Query().Version = version;
    client.Query().PDUType = PduGetRequest;
    for (const std::string& oid : oids) client.Query().AddBinding(oid, "", TagNull);
    client.TargetHost = "127.0.0.1";
    client.TargetPort = port_;
  }

  std::string Snmpget(const std::string& version, std::initializer_list<std::string> oids) {
    std::string command = Environment() + "snmpget -v" + version + " -c " + kCommunity +
                          " -On -Oe -t 2 -r 1 127.0.0.1:" + port_;
    for (const std::string& oid : oids) command += " " + oid;
    const auto out = dir_.path() / "snmpget.out";
    RunShell(command + " >" + ShellQuote(out.string()) + " 2>&1");
    return ReadFile(out);
  }

  TempDirectory dir_;
  std::string snmpd_;
  std::string port_;
  std::string pid_;
  bool started_ = false;
};

TEST_F(SnmpdTest, GetRequestGivesWhatSnmpgetReports) {
  TSNMPSend client;
  client.Timeout = 2000;
  PrepareQuery(client, kSnmpVersion2c,
               {kSysDescr, kSysObjectId, kSysUpTime, kSysContact, kSysLocation, kMissing});
  ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
  const std::string printed =
      Snmpget("2c", {kSysDescr, kSysObjectId, kSysUpTime, kSysContact, kSysLocation, kMissing});
  std::map<std::string, PrintedValue> expected = ParseSnmpgetOutput(printed);
  ASSERT_EQ(expected.size(), 6u) << printed;

  EXPECT_EQ(client.HostIP(), "127.0.0.1");
  EXPECT_EQ(client.Reply().PDUType, PduResponse);
  EXPECT_EQ(client.Reply().ErrorStatus, 0);
  EXPECT_EQ(client.Reply().Community, kCommunity);
  ASSERT_EQ(client.Reply().BindingCount(), 6);
  for (const TSNMPMib& binding : client.Reply().Bindings()) {
    SCOPED_TRACE(binding.OidText);
    ASSERT_TRUE(expected.count(binding.OidText)) << printed;
    const PrintedValue& want = expected[binding.OidText];
    EXPECT_EQ(binding.ValueTag, want.tag);
    if (binding.OidText == kSysUpTime) {
      long long ours = std::atoll(binding.ValueText.c_str());
      long long theirs = std::atoll(want.text.c_str());
      EXPECT_LE(ours, theirs);
      EXPECT_LT(theirs - ours, kUpTimeToleranceTicks);
    } else {
      EXPECT_EQ(binding.ValueText, want.text);
    }
  }
  EXPECT_EQ(client.Reply().BindingValue(kSysDescr), "zelSNMP exchange test agent");
  EXPECT_EQ(client.Reply().BindingValue(kSysContact), "ops@example.test");
}

TEST_F(SnmpdTest, V1MissingOidGivesTheErrorSnmpgetReports) {
  TSNMPSend client;
  client.Timeout = 2000;
  PrepareQuery(client, kSnmpVersion1, {kSysDescr, kMissing});
  ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
  const std::string printed = Snmpget("1", {kSysDescr, kMissing});
  ASSERT_NE(printed.find("(noSuchName)"), std::string::npos) << printed;
  ASSERT_NE(printed.find("Failed object: ." + kMissing), std::string::npos) << printed;
  EXPECT_EQ(client.Reply().ErrorStatus, 2);
  ASSERT_GE(client.Reply().ErrorIndex, 1);
  ASSERT_LE(client.Reply().ErrorIndex, client.Reply().BindingCount());
  EXPECT_EQ(client.Reply().Bindings()[client.Reply().ErrorIndex - 1].OidText, kMissing);
}

// Two agents in one test, the way the poll cycle meets them: snmpd, then a query that times
// out, then snmpd again; every answer matches its own request.
TEST_F(SnmpdTest, SameObjectKeepsWorkingAcrossATimeout) {
  TSNMPSend client;
  client.Timeout = 300;
  PrepareQuery(client, kSnmpVersion2c, {kSysContact});
  ASSERT_TRUE(client.SendQuery());
  PrepareQuery(client, kSnmpVersion2c, {kSysContact});
  client.Query().Community = "wrong-community";  // snmpd stays silent
  EXPECT_FALSE(client.SendQuery());
  EXPECT_EQ(client.HostIP(), "0.0.0.0");
  PrepareQuery(client, kSnmpVersion2c, {kSysContact});
  ASSERT_TRUE(client.SendQuery());
  EXPECT_EQ(client.Reply().ID, client.SentRequestId());
  EXPECT_EQ(client.Reply().BindingValue(kSysContact), "ops@example.test");
}

}  // namespace
}  // namespace zelsnmp
