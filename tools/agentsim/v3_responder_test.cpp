// The agent's version-3 engine in process: requests built with the task's own message codec
// and cryptography, answered or refused, and the answers read back the way a manager reads
// them. Triple DES lives here because snmpget cannot speak it.

#include "tools/agentsim/v3_responder.h"

#include <map>
#include <ostream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "snmp/usm_auth.h"
#include "snmp/usm_keys.h"
#include "snmp/usm_privacy.h"
#include "snmp/usm_protocol_names.h"
#include "net/block_socket.h"
#include "testing/agent_process.h"
#include "tools/agentsim/agent_responder.h"

namespace zelsnmp::agentsim {
namespace {

using Clock = AgentEngine::Clock;
using testing_support::AgentProcess;

const std::string kSysName = "1.3.6.1.2.1.1.5.0";
const std::string kAuthPass = "auth-words-1";
const std::string kPrivPass = "priv-words-2";

AgentOptions UserOptions(AuthProtocol auth, PrivProtocol priv) {
  AgentOptions options;
  options.v3_user = "ops";
  options.auth_protocol = auth;
  options.auth_passphrase = SecretBytes(kAuthPass);
  options.priv_protocol = priv;
  options.priv_passphrase = SecretBytes(kPrivPass);
  options.engine_boots = 3;
  return options;
}

// What a manager puts into one request.
struct Sent {
  SecurityLevel level = SecurityLevel::kAuthPriv;
  AuthProtocol auth = AuthProtocol::kNone;
  PrivProtocol priv = PrivProtocol::kNone;
  std::string engine_id;
  std::string user = "ops";
  std::string auth_pass = kAuthPass;
  std::string priv_pass = kPrivPass;
  EngineClock clock;
};

SecretBytes AuthKey(const Sent& sent) {
  return LocalizeKey(sent.auth, PasswordToKey(sent.auth, sent.auth_pass), sent.engine_id);
}
SecretBytes PrivKey(const Sent& sent) {
  return LocalizedPrivacyKey(sent.auth, sent.priv, PasswordToKey(sent.auth, sent.priv_pass),
                             sent.engine_id);
}

std::string EncodeRequest(const Sent& sent, std::int32_t message_id) {
  TSNMPRec pdu;
  pdu.PDUType = PduGetRequest;
  pdu.ID = 4242;
  pdu.AddBinding(kSysName, "", TagNull);
  std::string data = EncodeScopedPdu({sent.engine_id, "", pdu.EncodePdu()});
  UsmSecurityParameters security{sent.engine_id, sent.clock.boots, sent.clock.time, sent.user,
                                 "", ""};
  if (sent.level == SecurityLevel::kAuthPriv) {
    std::string encrypted;
    EXPECT_TRUE(EncryptScopedPdu(sent.priv, PrivKey(sent), sent.clock.boots, sent.clock.time,
                                 data, encrypted, security.privacy_parameters));
    data = encrypted;
  }
  V3Header header;
  header.message_id = message_id;
  header.flags = RequestFlags(sent.level);
  const bool authenticated = sent.level != SecurityLevel::kNoAuthNoPriv;
  EncodedV3Message message = EncodeV3Message(
      header, security, authenticated ? AuthParameterLength(sent.auth) : 0, data);
  if (authenticated) {
    EXPECT_TRUE(PlaceAuthenticationCode(
        message, AuthenticationCode(sent.auth, AuthKey(sent), message.bytes)));
  }
  return message.bytes;
}

// An answer as the manager reads it; false when its digest or privacy does not check out.
bool ReadAnswer(const Sent& sent, const std::string& bytes, DecodedV3Message& message,
                TSNMPRec& pdu) {
  if (!DecodeV3Message(bytes, message)) return false;
  std::string plaintext = message.data;
  if (message.header.flags & kV3FlagAuth) {
    if (!AuthenticationCodeMatches(sent.auth, AuthKey(sent),
                                   WithZeroedAuthParameters(bytes, message),
                                   message.security.auth_parameters)) {
      return false;
    }
  }
  if (message.header.flags & kV3FlagPriv) {
    if (!DecryptScopedPdu(sent.priv, PrivKey(sent), message.security.engine_boots,
                          message.security.engine_time, message.security.privacy_parameters,
                          message.data, plaintext)) {
      return false;
    }
  }
  ScopedPdu scoped;
  return DecodeScopedPdu(plaintext, scoped) && pdu.DecodePdu(scoped.pdu) &&
         scoped.context_engine_id == message.security.engine_id;
}

struct RoundTripCase {
  AuthProtocol auth;
  PrivProtocol priv;
  SecurityLevel level;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) {
  *out << AuthProtocolName(c.auth) << "/" << PrivProtocolName(c.priv);
}

class AgentsimV3RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(AgentsimV3RoundTripTest, AnswersAtTheRequestsLevel) {
  const RoundTripCase& c = GetParam();
  const Clock::time_point start = Clock::now();
  AgentEngine engine(UserOptions(c.auth, c.priv), start);
  Sent sent{c.level, c.auth, c.priv, engine.engine_id(), "ops", kAuthPass, kPrivPass, {3, 0}};
  V3Received received = ReceiveV3Message(engine, EncodeRequest(sent, 77), start);
  ASSERT_TRUE(received.request.has_value());
  EXPECT_EQ(received.request->refusal_status, 0);
  SnmprecData data = ParseSnmprec(kSysName + "|4|sw-floor2\n").data;
  std::optional<TSNMPRec> answer = BuildAnswer(received.request->pdu, data, std::nullopt);
  ASSERT_TRUE(answer.has_value());

  DecodedV3Message message;
  TSNMPRec pdu;
  ASSERT_TRUE(ReadAnswer(sent, EncodeV3Answer(engine, *received.request, *answer, false, start),
                         message, pdu));
  EXPECT_EQ(message.header.message_id, 77);
  EXPECT_EQ(SecurityLevelOf(message.header.flags), c.level);
  EXPECT_EQ(message.security.engine_boots, 3);
  EXPECT_EQ(pdu.PDUType, PduResponse);
  EXPECT_EQ(pdu.ID, 4242);
  EXPECT_EQ(pdu.BindingValue(kSysName), "sw-floor2");
}

INSTANTIATE_TEST_SUITE_P(
    Protocols, AgentsimV3RoundTripTest,
    ::testing::Values(
        RoundTripCase{AuthProtocol::kSha1, PrivProtocol::kTripleDes, SecurityLevel::kAuthPriv},
        RoundTripCase{AuthProtocol::kMd5, PrivProtocol::kTripleDes, SecurityLevel::kAuthPriv},
        RoundTripCase{AuthProtocol::kSha384, PrivProtocol::kAes256, SecurityLevel::kAuthPriv},
        RoundTripCase{AuthProtocol::kSha224, PrivProtocol::kNone, SecurityLevel::kAuthNoPriv},
        RoundTripCase{AuthProtocol::kNone, PrivProtocol::kNone,
                      SecurityLevel::kNoAuthNoPriv}));

struct RefusalCase {
  const char* name;
  void (*spoil)(Sent& sent);
  UsmReport report;
  SecurityLevel report_level;
};

const RefusalCase kRefusals[] = {
    {"discovery", [](Sent& s) { s = Sent(); s.level = SecurityLevel::kNoAuthNoPriv; s.user = ""; },
     UsmReport::kUnknownEngineId, SecurityLevel::kNoAuthNoPriv},
    {"other engine", [](Sent& s) { s.engine_id.back() ^= 1; }, UsmReport::kUnknownEngineId,
     SecurityLevel::kNoAuthNoPriv},
    {"other user", [](Sent& s) { s.user = "guest"; }, UsmReport::kUnknownUserName,
     SecurityLevel::kNoAuthNoPriv},
    {"wrong passphrase", [](Sent& s) { s.auth_pass = "guessed-words"; },
     UsmReport::kWrongDigest, SecurityLevel::kNoAuthNoPriv},
    {"late", [](Sent& s) { s.clock.time += 151; }, UsmReport::kNotInTimeWindow,
     SecurityLevel::kAuthNoPriv},
    {"early", [](Sent& s) { s.clock.time = 0; s.clock.boots = 2; },
     UsmReport::kNotInTimeWindow, SecurityLevel::kAuthNoPriv},
    {"wrong privacy passphrase", [](Sent& s) { s.priv_pass = "guessed-words"; },
     UsmReport::kDecryptionError, SecurityLevel::kNoAuthNoPriv},
};

TEST(AgentsimV3RefusalTest, ReportsCountAndCarryTheEngine) {
  const Clock::time_point start = Clock::now();
  AgentEngine engine(UserOptions(AuthProtocol::kSha256, PrivProtocol::kDes), start);
  const Clock::time_point now = start + std::chrono::seconds(200);
  std::map<UsmReport, int> counts;
  for (int round = 1; round <= 2; ++round) {
    for (const RefusalCase& c : kRefusals) {
      SCOPED_TRACE(c.name);
      Sent sent{SecurityLevel::kAuthPriv, AuthProtocol::kSha256, PrivProtocol::kDes,
                engine.engine_id(),         "ops",                 kAuthPass,
                kPrivPass,                  {3, 200}};
      c.spoil(sent);
      V3Received received = ReceiveV3Message(engine, EncodeRequest(sent, 9), now);
      EXPECT_FALSE(received.request.has_value());
      EXPECT_EQ(received.report_kind, c.report);
      EXPECT_EQ(received.report_level, c.report_level);

      DecodedV3Message message;
      TSNMPRec pdu;
      Sent reader = sent;
      reader.auth_pass = kAuthPass;
      reader.engine_id = engine.engine_id();
      ASSERT_TRUE(ReadAnswer(reader, received.report, message, pdu));
      EXPECT_EQ(message.header.message_id, 9);
      EXPECT_EQ(message.header.flags & kV3FlagReportable, 0);
      EXPECT_EQ(message.security.engine_id, engine.engine_id());
      EXPECT_EQ(message.security.engine_boots, 3);
      EXPECT_EQ(message.security.engine_time, 200);
      EXPECT_EQ(pdu.PDUType, PduReport);
      ASSERT_EQ(pdu.BindingCount(), 1);
      EXPECT_EQ(pdu.Bindings()[0].OidText, UsmReportOid(c.report));
      EXPECT_EQ(pdu.Bindings()[0].ValueTag, TagCounter32);
      EXPECT_EQ(pdu.Bindings()[0].ValueText, std::to_string(++counts[c.report]));
    }
  }
}

TEST(AgentsimV3RefusalTest, LevelsOtherThanTheUsers) {
  const Clock::time_point start = Clock::now();
  AgentEngine engine(UserOptions(AuthProtocol::kMd5, PrivProtocol::kNone), start);
  Sent sent{SecurityLevel::kAuthPriv, AuthProtocol::kMd5, PrivProtocol::kAes128,
            engine.engine_id(),         "ops",              kAuthPass,
            kPrivPass,                  {3, 0}};
  EXPECT_EQ(ReceiveV3Message(engine, EncodeRequest(sent, 1), start).report_kind,
            UsmReport::kUnsupportedSecurityLevel);
  sent.level = SecurityLevel::kNoAuthNoPriv;
  V3Received below = ReceiveV3Message(engine, EncodeRequest(sent, 2), start);
  ASSERT_TRUE(below.request.has_value());
  EXPECT_EQ(below.request->refusal_status, kErrorStatusAuthorizationError);
}

TEST(AgentsimEngineTest, FaultsMoveTheEngine) {
  const Clock::time_point start = Clock::now();
  AgentOptions options = UserOptions(AuthProtocol::kSha1, PrivProtocol::kNone);
  options.reboot_after = 2;
  options.new_engine_after = 5;
  options.clock_skew_seconds = 1000;
  AgentEngine engine(options, start);
  const std::string first_id = engine.engine_id();
  const SecretBytes first_key = engine.auth_key();
  EXPECT_EQ(first_id, kDefaultEngineId);
  EXPECT_EQ(engine.Time(start + std::chrono::seconds(10)), 10);
  engine.ClockShown();
  EXPECT_EQ(engine.Time(start + std::chrono::seconds(10)), 1010);

  const std::int32_t boots_after[] = {3, 4, 4, 5, 1, 2, 2};
  for (std::int32_t expected : boots_after) {
    engine.CountAnswer(start + std::chrono::seconds(20));
    EXPECT_EQ(engine.boots(), expected);
  }
  EXPECT_EQ(engine.Time(start + std::chrono::seconds(25)), 5) << "the skew waits for a showing";
  EXPECT_NE(engine.engine_id(), first_id);
  EXPECT_EQ(engine.engine_id().size(), first_id.size());
  EXPECT_FALSE(engine.auth_key() == first_key);
}

// The datagram faults of the process, one request after another: forged Reports, then the
// previous answer again, then the answer, whose digest is spoilt.
TEST(AgentsimV3FaultTest, FloodReplayAndBadDigest) {
  AgentProcess agent("127.0.0.1:0", kSysName + "|4|sw-floor2\n",
                     {"--v3-user", "ops", "--auth", "SHA:" + kAuthPass, "--report-flood",
                      "--replay", "--bad-digest"});
  ASSERT_TRUE(agent.listening()) << agent.Output();
  Sent sent{SecurityLevel::kAuthNoPriv, AuthProtocol::kSha1, PrivProtocol::kNone,
            std::string(kDefaultEngineId), "ops", kAuthPass, "", {1, 0}};
  TUDPBlockSocket socket;
  socket.ConnectTo("127.0.0.1", agent.port());
  struct Expected {
    std::int32_t message_id;
    SecurityLevel level;
    bool digest_ok;
  };
  const std::vector<Expected> first = {{1, SecurityLevel::kNoAuthNoPriv, true},
                                       {1, SecurityLevel::kNoAuthNoPriv, true},
                                       {1, SecurityLevel::kAuthNoPriv, false}};
  std::vector<Expected> second = first;
  for (Expected& e : second) e.message_id = 2;
  second.insert(second.begin() + 2, {1, SecurityLevel::kAuthNoPriv, false});
  for (const auto& [message_id, expected] : {std::pair{1, first}, std::pair{2, second}}) {
    socket.SendDatagram(EncodeRequest(sent, message_id));
    for (const Expected& e : expected) {
      const std::string bytes = socket.ReceiveDatagram(2000);
      DecodedV3Message message;
      TSNMPRec pdu;
      ASSERT_TRUE(DecodeV3Message(bytes, message)) << agent.Output();
      EXPECT_EQ(message.header.message_id, e.message_id);
      EXPECT_EQ(SecurityLevelOf(message.header.flags), e.level);
      EXPECT_EQ(ReadAnswer(sent, bytes, message, pdu), e.digest_ok);
    }
  }
  EXPECT_EQ(agent.Answers(2).size(), 2u) << agent.Output();
}

}  // namespace
}  // namespace zelsnmp::agentsim
