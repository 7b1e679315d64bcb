// The version-3 exchange against net-snmp's snmpd, a real authoritative engine started here on
// a loopback port with a configuration and persistent directory of its own (so that a restart
// raises its boots count): every level and protocol reads what snmpget reads; a restart heals
// within one exchange; refusals end at once with their reason; forged Reports, even of the
// request's msgID, change nothing;
// and a version-3 request shares the request window with a v2c one. Skipped (never passed)
// where snmpd and snmpget are not installed.

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "net/block_socket.h"
#include "snmp/ber.h"
#include "snmp/request_window.h"
#include "snmp/snmp_client.h"
#include "snmp/usm_session.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using testing_support::TempDirectory;

const std::string kSysName = "1.3.6.1.2.1.1.5.0";
const std::string kSysNameValue = "zel-v3-agent";
const std::string kAuthPass = "auth-phrase-7Qx";
const std::string kPrivPass = "priv-phrase-9Kd";

struct User {
  std::string name;
  AuthProtocol auth;
  PrivProtocol priv;
};

// net-snmp's names of the protocols, where they differ from ours.
std::string PeerName(PrivProtocol privacy) {
  if (privacy == PrivProtocol::kAes192Reeder) return "AES192C";
  if (privacy == PrivProtocol::kAes256Reeder) return "AES256C";
  return std::string(PrivProtocolName(privacy));
}

const User kUsers[] = {
    {"unone", AuthProtocol::kNone, PrivProtocol::kNone},
    {"umd5", AuthProtocol::kMd5, PrivProtocol::kNone},
    {"usha", AuthProtocol::kSha1, PrivProtocol::kNone},
    {"usha224", AuthProtocol::kSha224, PrivProtocol::kNone},
    {"usha256", AuthProtocol::kSha256, PrivProtocol::kNone},
    {"usha384", AuthProtocol::kSha384, PrivProtocol::kNone},
    {"usha512", AuthProtocol::kSha512, PrivProtocol::kNone},
    {"udes", AuthProtocol::kSha1, PrivProtocol::kDes},
    {"uaes", AuthProtocol::kSha1, PrivProtocol::kAes128},
    {"uaes192", AuthProtocol::kSha1, PrivProtocol::kAes192},
    {"uaes256", AuthProtocol::kSha1, PrivProtocol::kAes256},
    {"uaes192c", AuthProtocol::kSha1, PrivProtocol::kAes192Reeder},
    {"uaes256c", AuthProtocol::kSha1, PrivProtocol::kAes256Reeder},
    {"usha256aes", AuthProtocol::kSha256, PrivProtocol::kAes128},
};

UsmSecurity SecurityOf(const User& user, const std::string& auth_pass = kAuthPass,
                       const std::string& priv_pass = kPrivPass) {
  UsmSecurity security;
  security.user_name = user.name;
  security.auth = user.auth;
  if (user.auth != AuthProtocol::kNone) security.auth_passphrase = SecretBytes(auth_pass);
  security.priv = user.priv;
  if (user.priv != PrivProtocol::kNone) security.priv_passphrase = SecretBytes(priv_pass);
  return security;
}

class UsmSessionSnmpdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = testing_support::PeersUnavailable({"snmpd", "snmpget"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    config_ = "sysName " + kSysNameValue + "\nrocommunity zelv2 127.0.0.1\n";
    for (const User& user : kUsers) {
      config_ += "createUser " + user.name;
      if (user.auth != AuthProtocol::kNone) {
        config_ += " " + std::string(AuthProtocolName(user.auth)) + " " + kAuthPass;
      }
      if (user.priv != PrivProtocol::kNone) config_ += " " + PeerName(user.priv) + " " + kPrivPass;
      config_ += "\nrouser " + user.name + " " +
                 (user.auth == AuthProtocol::kNone   ? "noauth"
                  : user.priv == PrivProtocol::kNone ? "auth"
                                                     : "priv") +
                 "\n";
    }
    StartSnmpd();
    client_.TargetHost = "127.0.0.1";
    client_.TargetPort = snmpd_.port();
    client_.Timeout = 1000;
  }

  void StartSnmpd() {
    ASSERT_TRUE(snmpd_.Start(config_)) << "snmpd did not start; its log:\n" << snmpd_.Log();
  }

  // sysName.0 as snmpget reads it from the agent as `user`; empty when it does not answer.
  std::string Snmpget(const User& user) {
    std::string command = "snmpget -v3 -t 1 -r 0 -Oqv -u " + user.name;
    if (user.auth == AuthProtocol::kNone) {
      command += " -l noAuthNoPriv";
    } else if (user.priv == PrivProtocol::kNone) {
      command += " -l authNoPriv";
    } else {
      command += " -l authPriv -x " + PeerName(user.priv) + " -X " + kPrivPass;
    }
    if (user.auth != AuthProtocol::kNone) {
      command += " -a " + std::string(AuthProtocolName(user.auth)) + " -A " + kAuthPass;
    }
    const testing_support::ToolRun run = testing_support::RunNetSnmpTool(
        dir_.path() / "manager", command + " 127.0.0.1:" + snmpd_.port() + " " + kSysName);
    if (run.status != 0) return "";
    std::string value = run.output;
    while (!value.empty() && (value.back() == '\n' || value.back() == '"')) value.pop_back();
    if (!value.empty() && value.front() == '"') value.erase(0, 1);
    return value;
  }

  // The datagrams snmpd received (snmpInPkts), read over v2c.
  long long ReceivedDatagrams() {
    static const std::string kInPackets = "1.3.6.1.2.1.11.1.0";
    TSNMPSend reader;
    reader.TargetHost = "127.0.0.1";
    reader.TargetPort = snmpd_.port();
    reader.Timeout = 5000;
    reader.Query().Version = kSnmpVersion2c;
    reader.Query().Community = "zelv2";
    reader.Query().PDUType = PduGetRequest;
    reader.Query().AddBinding(kInPackets, "", TagNull);
    EXPECT_TRUE(reader.SendQuery()) << reader.LastErrorText();
    return std::atoll(reader.Reply().BindingValue(kInPackets).c_str());
  }

  bool Read(UsmSession& session) {
    client_.Security = &session;
    client_.Query().ResetMessage();
    client_.Query().PDUType = PduGetRequest;
    client_.Query().AddBinding(kSysName, "", TagNull);
    return client_.SendQuery();
  }

  TempDirectory dir_;
  testing_support::SnmpdProcess snmpd_{dir_.path() / "agent"};
  std::string config_;
  UsmKeyCache keys_;
  TSNMPSend client_;
};

TEST_F(UsmSessionSnmpdTest, EveryLevelAndProtocolReadsWhatSnmpgetReads) {
  for (const User& user : kUsers) {
    SCOPED_TRACE(user.name);
    UsmSession session(SecurityOf(user), keys_);
    ASSERT_TRUE(session.PrepareKeys());
    ASSERT_TRUE(Read(session)) << session.StatusText();
    EXPECT_EQ(session.status().outcome, UsmOutcome::kAnswered);
    EXPECT_EQ(client_.Reply().BindingValue(kSysName), Snmpget(user));
    EXPECT_EQ(client_.Reply().BindingValue(kSysName), kSysNameValue);
    // Once known, the engine is not discovered again: a second read is one request.
    ASSERT_TRUE(Read(session));
  }
  // One master key per distinct (hash, passphrase): SHA-1 and SHA-256 serve several users.
  EXPECT_EQ(keys_.MasterKeyDerivations(), 6u + 2u);
}

// A restart raises the engine's boots count; a replaced agent (its persistent state gone)
// comes back as another engine. Either way the next exchange heals and is answered.
TEST_F(UsmSessionSnmpdTest, RestartedOrReplacedAgentHealsWithinOneExchange) {
  for (const bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "replaced" : "restarted");
    UsmSession session(SecurityOf(kUsers[13]), keys_);
    ASSERT_TRUE(Read(session)) << session.StatusText();
    const std::string engine_id = session.engine().engine_id();
    const std::int32_t boots = session.engine().engine_boots();
    snmpd_.Stop();
    if (replaced) snmpd_.ForgetState();
    StartSnmpd();
    ASSERT_TRUE(Read(session)) << session.StatusText();
    EXPECT_EQ(client_.Reply().BindingValue(kSysName), kSysNameValue);
    EXPECT_EQ(session.engine().engine_id() != engine_id, replaced);
    if (!replaced) {
      EXPECT_GT(session.engine().engine_boots(), boots);
    }
  }
}

TEST_F(UsmSessionSnmpdTest, RefusalsEndTheExchangeWithTheirReason) {
  const UsmStatus silent{UsmOutcome::kNoAnswer, UsmReport::kNone};
  const struct {
    const char* what;
    UsmSecurity security;
    UsmStatus status;        // of the first request
    UsmStatus later_status;  // of the next one, the engine's clock known
  } cases[] = {
      {"wrong auth passphrase", SecurityOf(kUsers[4], "not-the-auth-phrase"),
       {UsmOutcome::kReport, UsmReport::kWrongDigest},
       {UsmOutcome::kReport, UsmReport::kWrongDigest}},
      {"unknown user", SecurityOf({"nobody", AuthProtocol::kSha1, PrivProtocol::kNone}),
       {UsmOutcome::kReport, UsmReport::kUnknownUserName},
       {UsmOutcome::kReport, UsmReport::kUnknownUserName}},
      {"level above the user's", SecurityOf({"usha", AuthProtocol::kSha1, PrivProtocol::kAes128}),
       {UsmOutcome::kReport, UsmReport::kUnsupportedSecurityLevel},
       {UsmOutcome::kReport, UsmReport::kUnsupportedSecurityLevel}},
      // snmpd is silent when it cannot decrypt; the first request had its clock taught by an
      // authenticated Report, so authentication worked. Later requests need no such step and
      // are mere silence.
      {"wrong priv passphrase", SecurityOf(kUsers[8], kAuthPass, "not-the-priv-phrase"),
       {UsmOutcome::kEncryptedUnanswered, UsmReport::kNone}, silent},
      {"wrong priv protocol", SecurityOf({"uaes", AuthProtocol::kSha1, PrivProtocol::kDes}),
       {UsmOutcome::kEncryptedUnanswered, UsmReport::kNone}, silent},
  };
  client_.Timeout = 300;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UsmSession session(c.security, keys_);
    for (int round = 0; round < 2; ++round) {
      const long long received_before = ReceivedDatagrams();
      EXPECT_FALSE(Read(session));
      EXPECT_EQ(session.status(), round == 0 ? c.status : c.later_status)
          << session.StatusText();
      // One step's tries, no loop, as snmpd counts the datagrams (Retries 0; the count's own
      // read is one of them): at first contact at most discovery, the request without a clock
      // and with it; once the engine is known, the refused step alone.
      const long long sent = ReceivedDatagrams() - received_before - 1;
      EXPECT_GE(sent, 1);
      EXPECT_LE(sent, round == 0 ? 3 : 1);
      for (const std::string& text : {session.StatusText(), client_.LastErrorText()}) {
        EXPECT_EQ(text.find("phrase"), std::string::npos);
      }
    }
  }
}

// A sender on the path sees every request and answers it first with a flood of forgeries:
// Reports of every kind under other msgIDs, then, under its own msgID, unauthenticated and
// badly signed Reports of a far later clock and a badly signed Response. The real answers are
// still taken, and the engine's ID and clock stay where the engine put them.
TEST_F(UsmSessionSnmpdTest, ForgedReportFloodChangesNothing) {
  UsmSession session(SecurityOf(kUsers[13]), keys_);
  ASSERT_TRUE(Read(session)) << session.StatusText();
  const std::string engine_id = session.engine().engine_id();
  const std::int32_t boots = session.engine().engine_boots();
  TUDPBlockSocket near;
  near.BindLocal("127.0.0.1", "0");
  TUDPBlockSocket far;
  far.ConnectTo("127.0.0.1", snmpd_.port());
  std::atomic<bool> stop = false;
  std::thread forger([&] {
    while (!stop) {
      const std::string request = near.ReceiveDatagram(50);
      if (near.LastErrorCode() != 0) continue;
      const SocketAddress client = near.RemoteAddress();
      DecodedV3Message message;
      if (!DecodeV3Message(request, message)) continue;
      const std::string& named = message.security.engine_id;
      for (std::int32_t other = 1; other <= 20; ++other) {
        TSNMPRec pdu;
        pdu.PDUType = PduReport;
        pdu.AddBinding(UsmReportOid(static_cast<UsmReport>(1 + other % 6)), "1", TagCounter32);
        const V3Header header{message.header.message_id ^ other, kV3MaxMessageSizeBytes, 0,
                              kUserSecurityModel};
        near.SendDatagramTo(EncodeV3Message(header, {"forged-engine", 99, 99, "", "", ""}, 0,
                                            EncodeScopedPdu({"forged", "", pdu.EncodePdu()}))
                                .bytes,
                            client);
      }
      TSNMPRec report;
      report.PDUType = PduReport;
      report.AddBinding(UsmReportOid(UsmReport::kNotInTimeWindow), "1", TagCounter32);
      TSNMPRec response;
      response.PDUType = PduResponse;
      response.AddBinding(kSysName, "forged", TagOctetString);
      const struct {
        TSNMPRec* pdu;
        std::uint8_t flags;
      } forgeries[] = {{&report, 0}, {&report, kV3FlagAuth}, {&response, kV3FlagAuth}};
      for (const auto& f : forgeries) {
        const V3Header header{message.header.message_id, kV3MaxMessageSizeBytes, f.flags,
                              kUserSecurityModel};
        EncodedV3Message forged = EncodeV3Message(
            header, {named, 1000000, 5, message.security.user_name, "", ""},
            f.flags != 0 ? 24 : 0, EncodeScopedPdu({named, "", f.pdu->EncodePdu()}));
        if (f.flags != 0) PlaceAuthenticationCode(forged, std::string(24, '\x5a'));
        near.SendDatagramTo(forged.bytes, client);
      }
      far.SendDatagram(request);
      const std::string answer = far.ReceiveDatagram(1000);
      if (far.LastErrorCode() == 0) near.SendDatagramTo(answer, client);
    }
  });
  client_.TargetPort = std::to_string(near.LocalPortNumber());
  int answered = 0;
  for (int i = 0; i < 10; ++i) {
    if (Read(session) && client_.Reply().BindingValue(kSysName) == kSysNameValue) ++answered;
  }
  stop = true;
  forger.join();
  EXPECT_EQ(answered, 10) << session.StatusText();
  EXPECT_EQ(session.engine().engine_id(), engine_id);
  EXPECT_EQ(session.engine().engine_boots(), boots);
}

TEST_F(UsmSessionSnmpdTest, VersionThreeBesideV2cInTheWindow) {
  UsmSession session(SecurityOf(kUsers[13]), keys_);
  RequestWindow window(client_, 4);
  RequestTarget v3{"127.0.0.1", snmpd_.port(), 1000, 0};
  v3.security = &session;
  RequestTarget v2c{"127.0.0.1", snmpd_.port(), 1000, 0};
  TSNMPRec queries[3];
  for (TSNMPRec& query : queries) {
    query.PDUType = PduGetRequest;
    query.AddBinding(kSysName, "", TagNull);
  }
  queries[1].Version = kSnmpVersion2c;
  queries[1].Community = "zelv2";
  // Discovery, the clock's report and the resend all pass through the window.
  ASSERT_TRUE(window.Send(queries[0], v3, 0));
  ASSERT_TRUE(window.Send(queries[1], v2c, 1));
  int answered = 0;
  while (window.in_flight() > 0) {
    for (const SettledRequest& settled : window.Settle()) {
      EXPECT_TRUE(settled.answered) << settled.tag << " " << session.StatusText();
      EXPECT_EQ(settled.reply.BindingValue(kSysName), kSysNameValue) << settled.tag;
      ++answered;
      if (settled.tag == 0) {
        ASSERT_TRUE(window.Send(queries[2], v3, 2));  // now a single step
      }
    }
  }
  EXPECT_EQ(answered, 3);
}

}  // namespace
}  // namespace zelsnmp
