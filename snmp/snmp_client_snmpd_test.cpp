// The exchange against a real agent nobody here wrote: net-snmp's snmpd, started on a loopback
// port with a configuration the test writes, and compared with what net-snmp's own snmpget
// reports for the same OIDs. Skipped (never passed) where the two programs are not installed.

#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "snmp/snmp_client.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using testing_support::TempDirectory;

const std::string kCommunity = "zeltest";
const std::string kSysDescr = "1.3.6.1.2.1.1.1.0";
const std::string kSysObjectId = "1.3.6.1.2.1.1.2.0";
const std::string kSysUpTime = "1.3.6.1.2.1.1.3.0";
const std::string kSysContact = "1.3.6.1.2.1.1.4.0";
const std::string kSysLocation = "1.3.6.1.2.1.1.6.0";
const std::string kMissing = "1.3.6.1.2.1.1.99.0";
// sysUpTime counts hundredths of a second.
constexpr std::chrono::milliseconds kTick(10);

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
    const std::string missing = testing_support::PeersUnavailable({"snmpd", "snmpget"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_TRUE(snmpd_.Start("rocommunity " + kCommunity + " 127.0.0.1\n"
                             "sysDescr zelSNMP exchange test agent\n"
                             "sysContact ops@example.test\n"
                             "sysLocation Test rack 7\n"))
        << "snmpd did not start; its log:\n" << snmpd_.Log();
  }

  void PrepareQuery(TSNMPSend& client, std::int32_t version,
                    std::initializer_list<std::string> oids) const {
    client.Query().ResetMessage();
    client.Query().Community = kCommunity;
    client.Query().Version = version;
    client.Query().PDUType = PduGetRequest;
    for (const std::string& oid : oids) client.Query().AddBinding(oid, "", TagNull);
    client.TargetHost = "127.0.0.1";
    client.TargetPort = snmpd_.port();
  }

  testing_support::ToolRun Snmpget(const std::string& version,
                                   std::initializer_list<std::string> oids) {
    std::string command = "snmpget -v" + version + " -c " + kCommunity +
                          " -On -Oe -t 2 -r 1 127.0.0.1:" + snmpd_.port();
    for (const std::string& oid : oids) command += " " + oid;
    return testing_support::RunNetSnmpTool(dir_.path() / "snmpget", command);
  }

  TempDirectory dir_;
  testing_support::SnmpdProcess snmpd_{dir_.path() / "snmpd"};
};

TEST_F(SnmpdTest, GetRequestGivesWhatSnmpgetReports) {
  TSNMPSend client;
  client.Timeout = 2000;
  PrepareQuery(client, kSnmpVersion2c,
               {kSysDescr, kSysObjectId, kSysUpTime, kSysContact, kSysLocation, kMissing});
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
  const std::string printed =
      Snmpget("2c", {kSysDescr, kSysObjectId, kSysUpTime, kSysContact, kSysLocation, kMissing})
          .output;
  // sysUpTime moved on between the two reads by at most the time both took, and a tick.
  const long long elapsed_ticks = (std::chrono::steady_clock::now() - before) / kTick + 1;
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
      EXPECT_LE(theirs - ours, elapsed_ticks);
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
  // snmpget tells the error on its standard error.
  const std::string printed = Snmpget("1", {kSysDescr, kMissing}).errors;
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
