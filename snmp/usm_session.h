// UsmSession: the task's side of the SNMPv3 user-based security model for one agent, for the
// life of the task. It holds the user's security settings, what is known of the agent's engine
// (UsmEngineState), the keys localized to that engine (taken from a UsmKeyCache that all agents
// share) and the outcome of its last exchange, for the caller's log.
//
// It secures the messages of the agent's requests (a MessageSecurity, snmp/message_security.h):
// the exchange (TSNMPSend with Security set, or a RequestWindow target with `security` set)
// runs one request through the session as a series of steps, each one datagram sent and
// waited for with the target's time-out and retries:
//   - discovery, when the engine ID is not known (and not pinned);
//   - the request: the query's PDU in a version-3 message at the user's level, with the
//     engine's boots and time as estimated (0 and 0 while its clock is unknown);
//   - healing, at most once of each kind per request, so a request never loops: a Report of
//     unknownEngineIDs, an authenticated answer from another engine, an authenticated
//     notInTimeWindows Report whose clock lies behind the known one (the engine lost its boots
//     count), or a wrongDigests or decryptionErrors Report to a session whose last request was
//     answered, discovers again (for a pinned engine: forgets its clock only); an authenticated
//     notInTimeWindows Report of a restarted or not yet known clock teaches it and the request
//     is sent once more. An authenticated, timely answer of a higher boots count moves the
//     clock forward and is taken.
// A received datagram answers the step only when, in this order, it is a version-3 message of
// the step's msgID at the level asked (a Report may come at a lower one), its digest verifies
// over the whole message in constant time (before anything is decrypted or read), it comes from
// the known engine within its time window, it decrypts, and its PDU is a Response of the query's
// request ID (or a Report) whose contextEngineID is the engine's. Anything else is dropped and
// the wait goes on. An unauthenticated
// Report teaches nothing but, while discovering, the engine ID; so forged Reports that do not
// carry the msgID of the step change nothing. At an authenticated level an unauthenticated
// Report (unknownEngineIDs, wrongDigests, unknownUserNames, ...) is acted on only when the step
// has had all its tries without an authentic answer, so a forger on the path cannot cut an
// exchange short or send it to discovery while the engine answers.
//
// A request longer than the engine's msgMaxSize (as its discovery answer or an authenticated
// message gave it) is not sent: it ends with kRequestTooLarge, which the pass treats as the
// engine's tooBig. At authPriv, an encrypted request that goes unanswered after the engine
// answered an authenticated step of the same request ends with kEncryptedUnanswered.
//
// Nothing here logs, and no text it gives holds a passphrase or key. Used by one thread.

#ifndef ZELSNMP_SNMP_USM_SESSION_H_
#define ZELSNMP_SNMP_USM_SESSION_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "snmp/message_security.h"
#include "snmp/snmp_message.h"
#include "snmp/usm_crypto.h"
#include "snmp/usm_engine.h"
#include "snmp/usm_keys.h"
#include "snmp/usm_protocol_names.h"
#include "snmp/usm_reports.h"
#include "snmp/v3_message.h"
#include "util/secret_bytes.h"

namespace zelsnmp {

// The agent's version-3 options. The level follows from what is given: a user alone is
// noAuthNoPriv, with an authentication protocol authNoPriv, with privacy too authPriv.
struct UsmSecurity {
  std::string user_name;
  AuthProtocol auth = AuthProtocol::kNone;
  SecretBytes auth_passphrase;
  PrivProtocol priv = PrivProtocol::kNone;
  SecretBytes priv_passphrase;
  std::string context_name;
  std::string pinned_engine_id;  // empty: discovered
};

// The level `security` gives.
SecurityLevel LevelOf(const UsmSecurity& security);

// How one request of a session ended, together with the Report of a kReport outcome.
struct UsmStatus {
  UsmOutcome outcome = UsmOutcome::kNone;
  UsmReport report = UsmReport::kNone;
  friend bool operator==(const UsmStatus&, const UsmStatus&) = default;
};

class UsmSession final : public MessageSecurity {
 public:

  // `keys` is shared by every session and must outlive this one.
  UsmSession(UsmSecurity security, UsmKeyCache& keys);
  UsmSession(const UsmSession&) = delete;
  UsmSession& operator=(const UsmSession&) = delete;

  SecurityLevel level() const { return level_; }
  const std::string& user_name() const { return security_.user_name; }
  const UsmEngineState& engine() const { return engine_; }

  // Derives the master keys of the user's passphrases now (once per distinct passphrase and
  // hash in the shared cache), so that configuration load pays for them and not the first
  // exchange. False when a key cannot be derived (an empty passphrase, no cryptographic
  // library); the session's requests then fail with kNoKeys.
  bool PrepareKeys();

  // The outcome of the last request; kNone before the first.
  const UsmStatus& status() const { return status_; }
  UsmReport last_report() const { return status_.report; }
  // Russian text of status() for the error log, in Windows-1251, without a line end.
  const std::string& StatusText() const { return UsmStatusText(status_); }
  static const std::string& UsmStatusText(const UsmStatus& status);

  // Begins a request of `query`, whose request ID is already drawn; encodes its PDU (raising
  // query.ID by one, as an encoding does) and prepares the first step's datagram in
  // `request`. False, with the status set, when it cannot be sent (no keys).
  MessageModel model() const override { return MessageModel::kUserBased; }
  bool BeginRequest(TSNMPRec& query, SecuredRequest& request, Clock::time_point now) override;

  // Takes a datagram received while `request` waits; fills `reply` when answered.
  SecuredStep TakeDatagram(SecuredRequest& request, std::string_view bytes, TSNMPRec& reply,
                           Clock::time_point now) override;

  // The current step got no answer within its tries. kSend when an unauthenticated Report
  // that came meanwhile asks for a next step (discovery), else kFailed: the request ends.
  SecuredStep StepTimedOut(SecuredRequest& request, Clock::time_point now) override;
  // The receive failed otherwise than by time-out: ends the request unanswered.
  void StepFailed(const SecuredRequest& request) override;
  // The current step's datagram could not be sent: ends the request.
  void StepNotSent() override { status_ = {UsmOutcome::kSendFailed, UsmReport::kNone}; }

 private:
  // Starts a discovery when the request has not yet had its one.
  bool BeginDiscovery(SecuredRequest& request);
  SecuredStep StartDiscovery(SecuredRequest& request);
  // The discovery request as the request's next step (the engine state already discovering).
  SecuredStep DiscoveryStep(SecuredRequest& request);
  SecuredStep SendRequest(SecuredRequest& request, Clock::time_point now);
  // Discovers again when the request still may (for a pinned engine: forgets the clock only).
  SecuredStep Rediscover(SecuredRequest& request, Clock::time_point now, UsmStatus failure);
  SecuredStep TakeDiscoveryAnswer(SecuredRequest& request, std::string_view bytes,
                              Clock::time_point now);
  SecuredStep TakeReport(SecuredRequest& request, const TSNMPRec& pdu, bool authenticated,
                     EngineTimeliness timeliness, Clock::time_point now);
  // What an engine's refusal means to the request: heal once, or fail with it.
  SecuredStep ActOnReport(SecuredRequest& request, UsmReport report, Clock::time_point now);
  SecuredStep Fail(UsmStatus status);
  // Points the keys at those localized to the known engine; false when they cannot be had.
  bool KeysForEngine();
  void PinEngine();

  UsmSecurity security_;
  UsmKeyCache& keys_;
  SecurityLevel level_;
  UsmEngineState engine_;
  // The keys localized to keyed_engine_id_ (copies of the cache's); empty while not had.
  std::string keyed_engine_id_;
  SecretBytes auth_key_;
  SecretBytes priv_key_;
  UsmStatus status_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_SESSION_H_
