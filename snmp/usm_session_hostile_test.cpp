// The version-3 exchange against a scripted engine of the test's own on loopback that answers
// the session's second request (the engine and its clock known from the first) with spoilt
// answers built with the task's own codec and cryptography: a wrong digest, a cut digest, a
// digest of the wrong length, another msgID, answers at the edge of the time window, and
// unauthenticated Reports of the request's msgID. Each spoilt answer carries a value of its
// own; an answer that must be dropped is followed by the true one, and the reply must hold the
// true value only (the request may also heal first, and be answered truly again).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/block_socket.h"
#include "snmp/ber.h"
#include "snmp/snmp_client.h"
#include "snmp/usm_auth.h"
#include "snmp/usm_keys.h"
#include "snmp/usm_privacy.h"
#include "snmp/usm_reports.h"
#include "snmp/usm_session.h"
#include "snmp/v3_message.h"

namespace zelsnmp {
namespace {

const std::string kOid = "1.3.6.1.4.1.7.1";
const std::string kUser = "edge";
const std::string kAuthPass = "edge auth passphrase";
const std::string kPrivPass = "edge priv passphrase";
const std::string kEngineId(
    "\x80\x00\x1f\x88\x04"
    "edge-engine",
    16);
constexpr std::int32_t kBoots = 9;
// The engine's clock stands still (unless a test sets it): the session's estimate stays at what
// it learnt for the second after learning it, so the window's edge is exact.
constexpr std::int32_t kTime = 5000;
constexpr std::int32_t kTrueValue = 7;
constexpr std::int32_t kSpoiltValue = 666;  // also of an answer at the edge that is taken

// How a spoilt answer differs from the true one.
struct Spoilt {
  std::int32_t message_id_offset = 0;
  std::int32_t time_offset = 0;  // from the engine's clock
  // The digest's length in the message, and what is done to the right digest of that length.
  std::size_t digest_bytes = 24;
  std::function<void(std::string& digest)> spoil_digest = [](std::string&) {};
  // Instead of an answer, an unauthenticated Report of this counter from a bogus engine, as
  // anyone who sees the request can send.
  UsmReport forged_report = UsmReport::kNone;
};

class EdgeEngine {
 public:
  // For the second timely GetRequest, the answers `answers` (true or spoilt) in order; any
  // other is answered truly.
  struct Answer {
    std::int32_t value;
    Spoilt spoilt;
  };
  explicit EdgeEngine(std::vector<Answer> answers) : answers_(std::move(answers)) {
    socket_.BindLocal("127.0.0.1", "0");
    port_ = std::to_string(socket_.LocalPortNumber());
    thread_ = std::thread([this] {
      while (!stop_) {
        const std::string request = socket_.ReceiveDatagram(20);
        if (socket_.LastErrorCode() == 0) Take(request);
      }
    });
  }
  ~EdgeEngine() {
    stop_ = true;
    thread_.join();
  }
  const std::string& port() const { return port_; }
  int get_requests() const { return get_requests_; }
  // The clock set to another time, as an operator or a faulty clock source may.
  void SetTime(std::int32_t time) { engine_time_ = time; }

 private:
  void Take(const std::string& bytes) {
    DecodedV3Message message;
    if (!DecodeV3Message(bytes, message)) return;
    const std::int32_t message_id = message.header.message_id;
    TSNMPRec report;
    report.PDUType = PduReport;
    report.AddBinding("1.3.6.1.6.3.15.1.1.4.0", "1", TagCounter32);
    if (message.security.engine_id != kEngineId) {  // discovery
      socket_.SendDatagram(Message(message_id, 0, report, Spoilt()));
      return;
    }
    if (message.security.engine_boots != kBoots ||
        std::abs(message.security.engine_time - engine_time_) >
            UsmEngineState::kTimeWindowSeconds) {  // not in time: teach the clock
      TSNMPRec clock;
      clock.PDUType = PduReport;
      clock.AddBinding("1.3.6.1.6.3.15.1.1.2.0", "1", TagCounter32);
      socket_.SendDatagram(Message(message_id, kV3FlagAuth, clock, Spoilt()));
      return;
    }
    std::string plaintext;
    ScopedPdu scoped;
    TSNMPRec request;
    if (!DecryptScopedPdu(PrivProtocol::kAes128, PrivKey(), message.security.engine_boots,
                          message.security.engine_time, message.security.privacy_parameters,
                          message.data, plaintext) ||
        !DecodeScopedPdu(plaintext, scoped) || !request.DecodePdu(scoped.pdu)) {
      return;
    }
    const std::vector<Answer> truly = {{kTrueValue, Spoilt()}};
    for (const Answer& answer : ++get_requests_ == 2 ? answers_ : truly) {
      if (answer.spoilt.forged_report != UsmReport::kNone) {
        TSNMPRec forged;
        forged.PDUType = PduReport;
        forged.AddBinding(std::string(UsmReportOid(answer.spoilt.forged_report)), "1",
                          TagCounter32);
        const std::string pdu = forged.EncodePdu();
        socket_.SendDatagram(
            EncodeV3Message({message_id, kV3MaxMessageSizeBytes, 0, kUserSecurityModel},
                            {"bogus-engine", 2147483646, 2147483000, kUser, "", ""}, 0,
                            EncodeScopedPdu({"bogus-engine", "", pdu}))
                .bytes);
        continue;
      }
      TSNMPRec response;
      response.PDUType = PduResponse;
      response.ID = request.ID;
      response.AddBinding(kOid, std::to_string(answer.value), TagInteger);
      socket_.SendDatagram(Message(message_id, kV3FlagAuth | kV3FlagPriv, response, answer.spoilt));
    }
  }

  std::string Message(std::int32_t message_id, std::uint8_t flags, TSNMPRec pdu,
                      const Spoilt& spoilt) {
    std::string data = EncodeScopedPdu({kEngineId, "", pdu.EncodePdu()});
    const std::int32_t time = engine_time_ + spoilt.time_offset;
    UsmSecurityParameters security{kEngineId, kBoots, time, kUser, "", ""};
    if ((flags & kV3FlagPriv) != 0) {
      std::string encrypted;
      EncryptScopedPdu(PrivProtocol::kAes128, PrivKey(), kBoots, time, data, encrypted,
                       security.privacy_parameters);
      data = encrypted;
    }
    const std::size_t digest_bytes = (flags & kV3FlagAuth) != 0 ? spoilt.digest_bytes : 0;
    EncodedV3Message message = EncodeV3Message(
        {message_id + spoilt.message_id_offset, kV3MaxMessageSizeBytes, flags, kUserSecurityModel},
        security, digest_bytes, data);
    if ((flags & kV3FlagAuth) != 0) {
      std::string digest = HmacOf(AuthProtocol::kSha256, AuthKey().view(), message.bytes);
      digest.resize(digest_bytes, '\0');
      spoilt.spoil_digest(digest);
      PlaceAuthenticationCode(message, digest);
    }
    return message.bytes;
  }

  SecretBytes AuthKey() {
    return keys_.AuthenticationKey(AuthProtocol::kSha256, kAuthPass, kEngineId);
  }
  SecretBytes PrivKey() {
    return keys_.PrivacyKey(AuthProtocol::kSha256, PrivProtocol::kAes128, kPrivPass, kEngineId);
  }

  const std::vector<Answer> answers_;
  TUDPBlockSocket socket_;
  std::string port_;
  UsmKeyCache keys_;
  std::atomic<int> get_requests_ = 0;
  std::atomic<std::int32_t> engine_time_ = kTime;
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

struct HostileCase {
  const char* name;
  Spoilt spoilt;
  bool taken;  // the spoilt answer is sound after all and is the reply
};

// The case's name in test listings instead of its bytes.
void PrintTo(const HostileCase& c, std::ostream* out) {
  *out << c.name;
}

Spoilt WithDigest(std::size_t bytes, std::function<void(std::string&)> spoil) {
  Spoilt spoilt;
  spoilt.digest_bytes = bytes;
  spoilt.spoil_digest = std::move(spoil);
  return spoilt;
}

Spoilt WithTimeOffset(std::int32_t offset) {
  Spoilt spoilt;
  spoilt.time_offset = offset;
  return spoilt;
}

Spoilt WithForgedReport(UsmReport report) {
  Spoilt spoilt;
  spoilt.forged_report = report;
  return spoilt;
}

Spoilt WithMessageIdOffset(std::int32_t offset) {
  Spoilt spoilt;
  spoilt.message_id_offset = offset;
  return spoilt;
}

const HostileCase kCases[] = {
    {"WrongDigest", WithDigest(24, [](std::string& d) { d[23] ^= 0x01; }), false},
    {"DigestOfZeroBytes", WithDigest(24, [](std::string& d) { d.assign(24, '\0'); }), false},
    // The right code cut short (as MD5 and SHA-1 send it) and the whole HMAC, each computed
    // over the message as sent.
    {"TruncatedDigest", WithDigest(12, [](std::string&) {}), false},
    {"DigestOfTheWrongLength", WithDigest(32, [](std::string&) {}), false},
    {"EmptyDigest", WithDigest(0, [](std::string&) {}), false},
    {"OtherMessageId", WithMessageIdOffset(1), false},
    {"ForgedNotInTimeWindowReport", WithForgedReport(UsmReport::kNotInTimeWindow), false},
    {"ForgedUnknownEngineIdReport", WithForgedReport(UsmReport::kUnknownEngineId), false},
    {"ForgedWrongDigestReport", WithForgedReport(UsmReport::kWrongDigest), false},
    {"ForgedDecryptionErrorReport", WithForgedReport(UsmReport::kDecryptionError), false},
    {"ForgedUnknownUserNameReport", WithForgedReport(UsmReport::kUnknownUserName), false},
    {"TimeJustInsideTheWindow", WithTimeOffset(-UsmEngineState::kTimeWindowSeconds), true},
    {"TimeJustOutsideTheWindow", WithTimeOffset(-UsmEngineState::kTimeWindowSeconds - 1), false},
};

class UsmSessionHostileTest : public testing::TestWithParam<HostileCase> {};

UsmSecurity EdgeSecurity() {
  UsmSecurity security;
  security.user_name = kUser;
  security.auth = AuthProtocol::kSha256;
  security.auth_passphrase = SecretBytes(kAuthPass);
  security.priv = PrivProtocol::kAes128;
  security.priv_passphrase = SecretBytes(kPrivPass);
  return security;
}

bool Ask(TSNMPSend& client, UsmSession& session, const EdgeEngine& engine) {
  client.TargetHost = "127.0.0.1";
  client.TargetPort = engine.port();
  client.Timeout = 2000;
  client.Security = &session;
  client.Query().ResetMessage();
  client.Query().PDUType = PduGetRequest;
  client.Query().AddBinding(kOid, "", TagNull);
  return client.SendQuery();
}

TEST_P(UsmSessionHostileTest, NoBindingOfADroppedAnswer) {
  const HostileCase& c = GetParam();
  EdgeEngine engine({{kSpoiltValue, c.spoilt}, {kTrueValue, Spoilt()}});
  UsmKeyCache keys;
  UsmSession session(EdgeSecurity(), keys);
  TSNMPSend client;
  ASSERT_TRUE(Ask(client, session, engine)) << session.StatusText();
  ASSERT_TRUE(Ask(client, session, engine)) << session.StatusText();
  EXPECT_LE(engine.get_requests(), 3);
  ASSERT_EQ(client.Reply().BindingCount(), 1);
  EXPECT_EQ(client.Reply().Bindings()[0].OidText, kOid);
  EXPECT_EQ(client.Reply().Bindings()[0].ValueText,
            std::to_string(c.taken ? kSpoiltValue : kTrueValue));
  EXPECT_EQ(session.status().outcome, UsmOutcome::kAnswered);
  EXPECT_EQ(session.engine().engine_boots(), kBoots);
  EXPECT_EQ(session.engine().latest_received_engine_time(), kTime);
}

// The engine's clock set back ten minutes: its authenticated Report of the earlier time is not
// believed as such, but the request discovers the engine anew, learns the clock and is answered.
TEST(UsmSessionClockTest, ClockSetBackTenMinutesHealsWithinOneRequest) {
  EdgeEngine engine({{kTrueValue, Spoilt()}});
  UsmKeyCache keys;
  UsmSession session(EdgeSecurity(), keys);
  TSNMPSend client;
  ASSERT_TRUE(Ask(client, session, engine)) << session.StatusText();
  engine.SetTime(kTime - 600);
  ASSERT_TRUE(Ask(client, session, engine)) << session.StatusText();
  EXPECT_EQ(client.Reply().BindingValue(kOid), std::to_string(kTrueValue));
  EXPECT_EQ(engine.get_requests(), 2);
  EXPECT_EQ(session.engine().latest_received_engine_time(), kTime - 600);
}

std::string CaseName(const testing::TestParamInfo<HostileCase>& param_info) {
  return param_info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, UsmSessionHostileTest, testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace zelsnmp
