// The version-3 exchange against a minimal authoritative engine of the test's own on a loopback
// port (authPriv, SHA-256 and AES-128), which runs wherever the task runs: how many steps the
// first contact, a reboot and a replaced engine cost, that the healing happens within the one
// exchange, and the texts the session gives for its outcomes.

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/block_socket.h"
#include "snmp/ber.h"
#include "snmp/request_window.h"
#include "snmp/snmp_client.h"
#include "snmp/usm_auth.h"
#include "snmp/usm_privacy.h"
#include "snmp/usm_session.h"
#include "testing/agent_process.h"
#include "util/cp1251.h"

namespace zelsnmp {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kSysName = "1.3.6.1.2.1.1.5.0";
const std::string kUser = "loopuser";
const std::string kAuthPass = "loop-auth-secret";
const std::string kPrivPass = "loop-priv-secret";
const std::string kEngineOne("\x80\x00\x1f\x88\x04loop-one", 13);
const std::string kEngineTwo("\x80\x00\x1f\x88\x04loop-two", 13);

// Answers discovery, refuses with the Reports an engine gives, and answers an authentic and
// timely GetRequest with every binding valued "loop".
class LoopbackEngine {
 public:
  LoopbackEngine() {
    socket_.BindLocal("127.0.0.1", "0");
    port_ = std::to_string(socket_.LocalPortNumber());
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackEngine() {
    stop_ = true;
    thread_.join();
  }
  const std::string& port() const { return port_; }
  int taken() const { return taken_; }
  // A restart: boots up, time from 0.
  void Reboot() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++boots_;
    started_ = Clock::now();
  }
  // The next datagram is lost.
  void LoseNext() { lose_next_ = true; }
  // The msgMaxSize of its messages, and the contextEngineID of its answers (its own if empty).
  void Shape(std::int32_t max_size, const std::string& context_engine_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    max_size_ = max_size;
    context_engine_id_ = context_engine_id;
  }
  // Another engine ID (a replaced agent), or the same one with its boots count lost.
  void Reset(const std::string& engine_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    engine_id_ = engine_id;
    boots_ = 1;
    started_ = Clock::now();
  }

 private:
  void Run() {
    while (!stop_) {
      const std::string request = socket_.ReceiveDatagram(20);
      if (socket_.LastErrorCode() != 0) continue;
      ++taken_;
      if (lose_next_.exchange(false)) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      const std::string answer = Answer(request);
      if (!answer.empty()) socket_.SendDatagram(answer);
    }
  }

  std::int32_t Time() const {
    return static_cast<std::int32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count());
  }

  std::string Message(std::int32_t message_id, std::uint8_t flags, const TSNMPRec& pdu_in,
                      const std::string& user) {
    TSNMPRec pdu = pdu_in;
    std::string data = EncodeScopedPdu(
        {context_engine_id_.empty() ? engine_id_ : context_engine_id_, "", pdu.EncodePdu()});
    UsmSecurityParameters security{engine_id_, boots_, Time(), user, "", ""};
    if ((flags & kV3FlagPriv) != 0) {
      std::string encrypted;
      EncryptScopedPdu(PrivProtocol::kAes128, PrivKey(), boots_, Time(), data, encrypted,
                       security.privacy_parameters);
      data = encrypted;
    }
    EncodedV3Message message =
        EncodeV3Message({message_id, max_size_, flags, kUserSecurityModel}, security,
                        (flags & kV3FlagAuth) != 0 ? 24 : 0, data);
    if ((flags & kV3FlagAuth) != 0) {
      PlaceAuthenticationCode(message, AuthenticationCode(AuthProtocol::kSha256, AuthKey(),
                                                          message.bytes));
    }
    return message.bytes;
  }

  std::string Report(std::int32_t message_id, std::int32_t request_id, UsmReport report,
                     std::uint8_t flags, const std::string& user) {
    TSNMPRec pdu;
    pdu.PDUType = PduReport;
    pdu.ID = request_id;
    pdu.AddBinding(UsmReportOid(report), "1", TagCounter32);
    return Message(message_id, flags, pdu, user);
  }

  SecretBytes AuthKey() {
    return keys_.AuthenticationKey(AuthProtocol::kSha256, kAuthPass, engine_id_);
  }
  SecretBytes PrivKey() {
    return keys_.PrivacyKey(AuthProtocol::kSha256, PrivProtocol::kAes128, kPrivPass, engine_id_);
  }

  std::string Answer(const std::string& bytes) {
    DecodedV3Message message;
    if (!DecodeV3Message(bytes, message)) return "";
    const std::int32_t id = message.header.message_id;
    const UsmSecurityParameters& security = message.security;
    if (security.engine_id != engine_id_) {
      return Report(id, 0, UsmReport::kUnknownEngineId, 0, security.user_name);
    }
    if (!AuthenticationCodeMatches(AuthProtocol::kSha256, AuthKey(),
                                   WithZeroedAuthParameters(bytes, message),
                                   security.auth_parameters)) {
      return Report(id, 0, UsmReport::kWrongDigest, 0, security.user_name);
    }
    if (security.engine_boots != boots_ ||
        std::abs(security.engine_time - Time()) > UsmEngineState::kTimeWindowSeconds) {
      return Report(id, 0, UsmReport::kNotInTimeWindow, kV3FlagAuth, security.user_name);
    }
    std::string plaintext;
    ScopedPdu scoped;
    TSNMPRec pdu;
    if (!DecryptScopedPdu(PrivProtocol::kAes128, PrivKey(), security.engine_boots,
                          security.engine_time, security.privacy_parameters, message.data,
                          plaintext) ||
        !DecodeScopedPdu(plaintext, scoped) || !pdu.DecodePdu(scoped.pdu)) {
      return Report(id, 0, UsmReport::kDecryptionError, 0, security.user_name);
    }
    TSNMPRec response;
    response.PDUType = PduResponse;
    response.ID = pdu.ID;
    for (const TSNMPMib& binding : pdu.Bindings()) {
      response.AddBinding(binding.OidText, "loop", TagOctetString);
    }
    return Message(id, kV3FlagAuth | kV3FlagPriv, response, security.user_name);
  }

  TUDPBlockSocket socket_;
  std::string port_;
  std::thread thread_;
  std::atomic<bool> stop_ = false;
  std::atomic<int> taken_ = 0;
  std::atomic<bool> lose_next_ = false;
  std::mutex mutex_;
  std::string engine_id_ = kEngineOne;
  std::int32_t boots_ = 7;
  std::int32_t max_size_ = kV3MaxMessageSizeBytes;
  std::string context_engine_id_;
  Clock::time_point started_ = Clock::now() - std::chrono::hours(3);
  UsmKeyCache keys_;
};

UsmSecurity LoopSecurity() {
  UsmSecurity security;
  security.user_name = kUser;
  security.auth = AuthProtocol::kSha256;
  security.auth_passphrase = SecretBytes(kAuthPass);
  security.priv = PrivProtocol::kAes128;
  security.priv_passphrase = SecretBytes(kPrivPass);
  return security;
}

void FillQuery(TSNMPRec& query) {
  query.ResetMessage();
  query.PDUType = PduGetRequest;
  query.AddBinding(kSysName, "", TagNull);
}

// Each change is healed within one exchange, in as many datagrams as it needs and no more.
TEST(UsmSessionTest, ChangesOfTheEngineHealWithinOneExchange) {
  LoopbackEngine engine;
  UsmKeyCache keys;
  UsmSession session(LoopSecurity(), keys);
  TSNMPSend client;
  client.TargetPort = engine.port();
  client.Timeout = 300;
  client.Retries = 1;
  client.Security = &session;
  const struct {
    const char* what;
    void (*change)(LoopbackEngine&);
    int datagrams;
  } cases[] = {
      // Discovery, the request at 0/0 the engine answers with its clock, the request again.
      {"first contact", [](LoopbackEngine&) {}, 3},
      {"known engine", [](LoopbackEngine&) {}, 1},
      // A try is lost; the retry sends the same datagram.
      {"lossy", [](LoopbackEngine& e) { e.LoseNext(); }, 2},
      {"rebooted", [](LoopbackEngine& e) { e.Reboot(); }, 2},
      // The Report of a clock behind the known one, discovery, the request at 0/0, again.
      {"lost its boots", [](LoopbackEngine& e) { e.Reset(kEngineOne); }, 4},
      // unknownEngineIDs (unauthenticated: believed only once the step has had its tries, so
      // that a forger cannot cut an exchange short), discovery, the request at 0/0, again.
      {"replaced", [](LoopbackEngine& e) { e.Reset(kEngineTwo); }, 5},
      {"known again", [](LoopbackEngine&) {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.change(engine);
    const int before = engine.taken();
    FillQuery(client.Query());
    ASSERT_TRUE(client.SendQuery()) << session.StatusText();
    EXPECT_EQ(client.Reply().BindingValue(kSysName), "loop");
    EXPECT_EQ(session.status().outcome, UsmOutcome::kAnswered);
    EXPECT_EQ(engine.taken() - before, c.datagrams);
  }
  EXPECT_EQ(session.engine().engine_id(), kEngineTwo);
  EXPECT_EQ(keys.MasterKeyDerivations(), 2u);
}

// A pinned engine is not discovered: its first exchange learns only the clock; an agent that
// comes back as another engine is refused, not followed.
TEST(UsmSessionTest, PinnedEngineIsNeverDiscovered) {
  LoopbackEngine engine;
  UsmKeyCache keys;
  UsmSecurity security = LoopSecurity();
  security.pinned_engine_id = kEngineOne;
  UsmSession session(std::move(security), keys);
  TSNMPSend client;
  client.TargetPort = engine.port();
  client.Timeout = 300;
  client.Security = &session;
  FillQuery(client.Query());
  ASSERT_TRUE(client.SendQuery()) << session.StatusText();
  EXPECT_EQ(engine.taken(), 2);
  engine.Reset(kEngineTwo);
  FillQuery(client.Query());
  EXPECT_FALSE(client.SendQuery());
  EXPECT_EQ(session.status(), (UsmStatus{UsmOutcome::kReport, UsmReport::kUnknownEngineId}));
  EXPECT_EQ(session.engine().engine_id(), kEngineOne);
  EXPECT_EQ(engine.taken(), 4);
}

// The same through the request window, two requests of the session at once beside one to a
// silent v2c agent: each request discovers and learns the clock for itself.
TEST(UsmSessionTest, StepsPassThroughTheWindow) {
  LoopbackEngine engine;
  TUDPBlockSocket silent;
  silent.BindLocal("127.0.0.1", "0");
  UsmKeyCache keys;
  UsmSession session(LoopSecurity(), keys);
  TSNMPSend client;
  RequestWindow window(client, 3);
  RequestTarget v3{"127.0.0.1", engine.port(), 2000, 0};
  v3.security = &session;
  const RequestTarget v2c{"127.0.0.1", std::to_string(silent.LocalPortNumber()), 300, 0};
  TSNMPRec queries[3];
  for (TSNMPRec& query : queries) FillQuery(query);
  ASSERT_TRUE(window.Send(queries[0], v3, 0));
  ASSERT_TRUE(window.Send(queries[1], v3, 1));
  ASSERT_TRUE(window.Send(queries[2], v2c, 2));
  bool answered[3] = {};
  while (window.in_flight() > 0) {
    for (const SettledRequest& settled : window.Settle()) {
      answered[settled.tag] = settled.answered;
      if (settled.answered) {
        EXPECT_EQ(settled.reply.BindingValue(kSysName), "loop");
      }
    }
  }
  EXPECT_TRUE(answered[0] && answered[1]) << session.StatusText();
  EXPECT_FALSE(answered[2]);
  EXPECT_EQ(engine.taken(), 6);
}

// The agent simulator's engine faults, each against a session that reads five times: the ones
// an engine lives through heal within each exchange; a wrong digest on every answer never lets
// one through.
TEST(UsmSessionTest, AgentSimulatorEngineFaults) {
  const struct {
    std::vector<std::string> fault;
    int answered;
  } cases[] = {
      {{}, 5},
      {{"--reboot-after", "1"}, 5},
      {{"--new-engine-after", "1"}, 5},
      {{"--report-flood"}, 5},
      {{"--replay"}, 5},
      {{"--clock-skew", "1000"}, 5},
      {{"--clock-skew", "-1000"}, 5},
      {{"--bad-digest"}, 0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> options = {"--v3-user", kUser, "--auth", "SHA-256:" + kAuthPass,
                                        "--priv", "AES:" + kPrivPass};
    options.insert(options.end(), c.fault.begin(), c.fault.end());
    SCOPED_TRACE(c.fault.empty() ? "no fault" : c.fault[0] + " " + c.fault.back());
    testing_support::AgentProcess agent("127.0.0.1:0", kSysName + "|4|sim\n", options);
    ASSERT_TRUE(agent.listening()) << agent.Output();
    UsmKeyCache keys;
    UsmSession session(LoopSecurity(), keys);
    TSNMPSend client;
    client.TargetPort = agent.port();
    client.Timeout = 300;
    client.Security = &session;
    int answered = 0;
    for (int i = 0; i < 5; ++i) {
      FillQuery(client.Query());
      if (client.SendQuery() && client.Reply().BindingValue(kSysName) == "sim") ++answered;
    }
    EXPECT_EQ(answered, c.answered) << session.StatusText();
    EXPECT_EQ(agent.Output().find(kAuthPass), std::string::npos);
  }
}

// What the engine says of itself shapes the exchange: a Response naming another
// contextEngineID than the request's is not believed (the request goes unanswered), and a
// request longer than the engine's msgMaxSize is not sent.
TEST(UsmSessionTest, ContextEngineIdAndMessageSizeOfTheEngine) {
  const struct {
    const char* what;
    std::int32_t max_size;
    std::string context_engine_id;
    int bindings;
    UsmOutcome outcome;
    int datagrams;  // the engine took
  } cases[] = {
      {"as asked", kV3MaxMessageSizeBytes, "", 1, UsmOutcome::kAnswered, 3},
      {"another context engine", kV3MaxMessageSizeBytes, kEngineTwo, 1, UsmOutcome::kNoAnswer, 3},
      {"fits the engine's size", kV3MinMessageSizeBytes, "", 8, UsmOutcome::kAnswered, 3},
      // Only the discovery went out: its answer told the size.
      {"longer than the engine takes", kV3MinMessageSizeBytes, "", 40,
       UsmOutcome::kRequestTooLarge, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackEngine engine;
    engine.Shape(c.max_size, c.context_engine_id);
    UsmKeyCache keys;
    UsmSession session(LoopSecurity(), keys);
    TSNMPSend client;
    client.TargetPort = engine.port();
    client.Timeout = 300;
    client.Security = &session;
    FillQuery(client.Query());
    for (int i = 1; i < c.bindings; ++i) client.Query().AddBinding(kSysName, "", TagNull);
    EXPECT_EQ(client.SendQuery(), c.outcome == UsmOutcome::kAnswered);
    EXPECT_EQ(session.status().outcome, c.outcome) << session.StatusText();
    EXPECT_EQ(engine.taken(), c.datagrams);
    EXPECT_EQ(session.engine().max_message_size(), c.max_size);
  }
}

TEST(UsmSessionTest, EveryStatusHasItsOwnText) {
  const UsmStatus statuses[] = {
      {UsmOutcome::kNone, UsmReport::kNone},
      {UsmOutcome::kAnswered, UsmReport::kNone},
      {UsmOutcome::kNoAnswer, UsmReport::kNone},
      {UsmOutcome::kDiscoveryFailed, UsmReport::kNone},
      {UsmOutcome::kReport, UsmReport::kWrongDigest},
      {UsmOutcome::kReport, UsmReport::kUnknownUserName},
      {UsmOutcome::kNotInTime, UsmReport::kNone},
      {UsmOutcome::kNoKeys, UsmReport::kNone},
      {UsmOutcome::kSendFailed, UsmReport::kNone},
      {UsmOutcome::kEncryptedUnanswered, UsmReport::kNone},
      {UsmOutcome::kRequestTooLarge, UsmReport::kNone},
  };
  std::set<std::string> texts;
  for (const UsmStatus& status : statuses) {
    const std::string& text = UsmSession::UsmStatusText(status);
    EXPECT_FALSE(text.empty());
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), std::size(statuses));
  EXPECT_EQ(UsmSession::UsmStatusText({UsmOutcome::kNoAnswer, UsmReport::kNone}),
            Utf8ToCp1251("Агент SNMPv3 не ответил"));
}

}  // namespace
}  // namespace zelsnmp
