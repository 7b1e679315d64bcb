// The version-3 message against programs nobody here wrote: what snmpget sends to
// discover an engine, caught on a loopback socket, and what snmpd, started on a
// loopback port, answers the task's own discovery and noAuthNoPriv requests with. Skipped
// (never passed) where the programs are not installed.

#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "net/block_socket.h"
#include "snmp/ber.h"
#include "snmp/snmp_message.h"
#include "snmp/usm_discovery.h"
#include "snmp/v3_message.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using testing_support::TempDirectory;

const std::string kSysUpTime = "1.3.6.1.2.1.1.3.0";
const std::string kUser = "zelnoauth";
constexpr int kAnswerWaitMs = 5000;

// snmpget discovers the engine before anything else; its first datagram is the discovery
// request, which decodes and is byte for byte what the task sends with the same IDs.
TEST(UsmSnmpget, DiscoveryRequestAsSnmpgetSendsIt) {
  const std::string missing = testing_support::PeersUnavailable({"snmpget"});
  if (!missing.empty()) GTEST_SKIP() << missing;
  TempDirectory dir;
  TUDPBlockSocket socket;
  socket.BindLocal("127.0.0.1", "0");
  ASSERT_EQ(socket.LastErrorCode(), 0);
  // Its answer never comes; it is stopped before its directory goes.
  testing_support::PeerProcess snmpget;
  ASSERT_TRUE(snmpget.Start(testing_support::NetSnmpEnvironment(dir.path()) +
                                "snmpget -v3 -l noAuthNoPriv -u x -t 1 -r 0 127.0.0.1:" +
                                std::to_string(socket.LocalPortNumber()) + " " + kSysUpTime,
                            dir.path() / "snmpget.log", dir.path() / "snmpget.pid", "",
                            std::chrono::seconds(1)));
  const std::string datagram = socket.ReceiveDatagram(5000);
  ASSERT_EQ(socket.LastErrorCode(), 0);

  DecodedV3Message message;
  ScopedPdu scoped;
  TSNMPRec pdu;
  ASSERT_TRUE(DecodeV3Message(datagram, message) && DecodeScopedPdu(message.data, scoped) &&
              pdu.DecodePdu(scoped.pdu));
  EXPECT_EQ(EncodeDiscoveryRequest(message.header.message_id, pdu.ID), datagram);
}

class UsmSnmpdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = testing_support::PeersUnavailable({"snmpd"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_TRUE(snmpd_.Start("createUser " + kUser + "\nrouser " + kUser + " noauth\n"))
        << "snmpd did not start; its log:\n"
        << snmpd_.Log();
    socket_.ConnectTo("127.0.0.1", snmpd_.port());
    ASSERT_TRUE(Discover()) << "snmpd did not answer; its log:\n" << snmpd_.Log();
  }

  bool Discover() {
    ++message_id_;
    socket_.SendDatagram(EncodeDiscoveryRequest(message_id_, 500 + message_id_));
    const std::string answer = socket_.ReceiveDatagram(kAnswerWaitMs);
    return socket_.LastErrorCode() == 0 && DecodeDiscoveryReport(answer, message_id_, report_);
  }

  TempDirectory dir_;
  testing_support::SnmpdProcess snmpd_{dir_.path()};
  TUDPBlockSocket socket_;
  std::int32_t message_id_ = 1000;
  DiscoveryReport report_;
};

// snmpd answers discovery with a Report of usmStatsUnknownEngineIDs naming its engine; with
// that engine ID a noAuthNoPriv GetRequest of a known user gets a Response, of an unknown user a
// Report saying so.
TEST_F(UsmSnmpdTest, DiscoveryThenNoAuthNoPrivRequests) {
  EXPECT_EQ(report_.report, UsmReport::kUnknownEngineId);
  EXPECT_GE(report_.engine_id.size(), 5u);
  const struct {
    std::string user;
    int pdu_type;
    UsmReport report;
  } cases[] = {
      {kUser, PduResponse, UsmReport::kNone},
      {"nobody", PduReport, UsmReport::kUnknownUserName},
  };
  for (const auto& c : cases) {
    TSNMPRec request;
    request.PDUType = PduGetRequest;
    request.ID = 77;
    request.AddBinding(kSysUpTime, "", TagNull);
    const V3Header header{++message_id_, kV3MaxMessageSizeBytes,
                          RequestFlags(SecurityLevel::kNoAuthNoPriv), kUserSecurityModel};
    socket_.SendDatagram(
        EncodeV3Message(header, {report_.engine_id, 0, 0, c.user, "", ""}, 0,
                        EncodeScopedPdu({report_.engine_id, "", request.EncodePdu()}))
            .bytes);
    const std::string answer = socket_.ReceiveDatagram(5000);
    DecodedV3Message message;
    ScopedPdu scoped;
    TSNMPRec reply;
    ASSERT_TRUE(DecodeV3Message(answer, message) && DecodeScopedPdu(message.data, scoped) &&
                reply.DecodePdu(scoped.pdu))
        << c.user;
    EXPECT_EQ(FitOfAnswer(message.header, message_id_, SecurityLevel::kNoAuthNoPriv),
              AnswerFit::kSameLevel);
    EXPECT_EQ(message.security.engine_id, report_.engine_id);
    EXPECT_EQ(reply.PDUType, c.pdu_type) << c.user;
    EXPECT_EQ(UsmReportOf(reply), c.report) << c.user;
    EXPECT_EQ(reply.BindingValue(kSysUpTime).empty(), c.pdu_type != PduResponse) << c.user;
  }
}

}  // namespace
}  // namespace zelsnmp
