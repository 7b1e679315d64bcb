// MessageSecurity: how the messages of one agent's requests are secured, as the exchange
// (TSNMPSend) and the request window see it. A request runs as a series of steps, each one
// datagram that the caller sends, sends again on its tries and waits for:
//   - BeginRequest wraps the query (whose request ID the caller has drawn) into the first
//     step's datagram;
//   - every datagram received while the request waits goes to TakeDatagram, which says what it
//     means to the request: nothing (wait on), a next step to send at once with fresh tries,
//     the answer (the reply is filled), or the end of the request without an answer;
//   - StepTimedOut, StepFailed and StepNotSent tell the model how a step ended otherwise.
// The caller keeps one SecuredRequest per request and reads of it only the current step's
// datagram, the request ID and the step's mark (step_id); the rest is the model's own.
//
// Two models implement it: CommunitySecurity (SNMPv1/v2c, snmp/community_security.h) and
// UsmSession (SNMPv3's user-based model, snmp/usm_session.h). A caller with several requests
// in flight finds the one a datagram may answer by its StepMark (ReadStepMark): the model that
// secured the message and the ID that marks its step. Nothing here logs, and no text it gives
// holds a passphrase or key.
//
// The receiver of notifications reaches the same seam from the other side, through
// IncomingSecurity: one per configured sender (a section of the configuration), asked whether a
// received datagram is that sender's notification. CommunityNotificationSecurity checks the
// community of a v1/v2c section (snmp/community_security.h), UsmNotificationSecurity a v3
// section's user, level, digest, engine and time window, and decryption, in that order, as for
// answers (snmp/usm_notification_security.h); an inform's authoritative engine is the task's own
// (snmp/usm_authority.h), which also answers the sender's discovery and time synchronisation
// with a Report. A check never logs; its fault says why the datagram is not the section's.
//
// The seam builds on the message codecs only; the exchange, the window and the receiver build
// on it.

#ifndef ZELSNMP_SNMP_MESSAGE_SECURITY_H_
#define ZELSNMP_SNMP_MESSAGE_SECURITY_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "snmp/notification_message.h"
#include "snmp/snmp_message.h"
#include "snmp/v3_message.h"

namespace zelsnmp {

// How a message is secured, as a received datagram shows it.
enum class MessageModel {
  kCommunity,  // version 1 or 2c: a community, the PDU's request ID marks the answer
  kUserBased,  // version 3: the user-based model, the message's msgID marks the answer
};

// One request's way through its steps, kept by the caller that runs it.
struct SecuredRequest {
  std::int32_t request_id = 0;  // of the query
  // Marks the answer to the current step: the request ID of a community message, the msgID of
  // a version-3 message.
  std::int32_t step_id = 0;
  std::string datagram;  // of the current step, sent again by retries

  // The rest is the user-based model's: the query's PDU as encoded once, and the allowances
  // that keep a request from looping (each kind of healing at most once).
  std::string pdu;
  bool discovery_step = false;   // the current step is a discovery request
  bool tried_other_engine = false;
  bool rediscovered = false;     // the request has discovered (or re-pinned) once
  bool resent = false;           // the request has been sent again once
  bool sent_without_clock = false;  // the current step went out at boots and time 0
  bool saw_untimely = false;     // an authenticated answer came outside the time window
  bool authenticated_answer = false;  // the engine answered a step with an authentic Report
  bool decrypted_answer = false;      // an encrypted answer decrypted (if not taken)
  // An unauthenticated Report to an authenticated step, acted on only if no authentic answer
  // follows before the step times out (a forger on the path cannot cut the exchange short).
  bool has_pending_report = false;
  int pending_report = 0;  // the model's code of that Report
};

// What a received datagram means to the request.
enum class SecuredStep {
  kDrop,      // answers nothing: wait on
  kSend,      // a new step: send request.datagram, with fresh tries
  kAnswered,  // the reply is filled
  kFailed,    // the request ends unanswered; the model says why
};

class MessageSecurity {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~MessageSecurity() = default;

  virtual MessageModel model() const = 0;

  // Begins a request of `query`, whose request ID is already drawn; encodes it (raising
  // query.ID by one, as an encoding does) and prepares the first step's datagram in `request`.
  // False when it cannot be sent.
  virtual bool BeginRequest(TSNMPRec& query, SecuredRequest& request,
                            Clock::time_point now) = 0;

  // Takes a datagram received while `request` waits; fills `reply` when answered. Nothing is
  // spent on the bindings of a datagram that is not the answer.
  virtual SecuredStep TakeDatagram(SecuredRequest& request, std::string_view bytes,
                                   TSNMPRec& reply, Clock::time_point now) = 0;

  // The current step got no answer within its tries: kSend when something that came meanwhile
  // asks for a next step, else kFailed.
  virtual SecuredStep StepTimedOut(SecuredRequest& request, Clock::time_point now) = 0;
  // The receive failed otherwise than by time-out: the request ends unanswered.
  virtual void StepFailed(const SecuredRequest& request) = 0;
  // The current step's datagram could not be sent: the request ends.
  virtual void StepNotSent() = 0;

 protected:
  MessageSecurity() = default;
  MessageSecurity(const MessageSecurity&) = default;
  MessageSecurity& operator=(const MessageSecurity&) = default;
};

// Which step a received datagram may answer: the model of its message and its mark.
struct StepMark {
  MessageModel model = MessageModel::kCommunity;
  std::int32_t step_id = 0;
};

// Reads the mark of `datagram` from its headers only; false when it can answer no step (no
// message, or a version 1/2c PDU that is no Response).
bool ReadStepMark(std::string_view datagram, StepMark& mark);

// The receiving side: notifications from the configured senders.

// Why a datagram is not a section's notification. Ordered by how far the checks got, so that
// of several sections of one address the reason of the one that came furthest is told.
enum class IncomingFault {
  kNone,
  kWrongCommunity,    // v1/v2c: another community
  kUnknownUser,       // v3: another user name
  kLevelTooLow,       // v3: a security level below the section's
  kWrongDigest,       // v3: the digest does not verify (passphrase or protocol)
  kWrongEngineId,     // v3: authentic, but from another engine than the polled one
  kNotInTimeWindow,   // v3: authentic, but outside the engine's time window
  kReplay,            // v3: the same authentic trap again within the time window
  kDecryptionFailed,  // v3: authentic, but its scoped PDU does not decrypt or decode
  kNotANotification,  // v3: a well-formed PDU of another type
  kMalformed,         // v3: the PDU inside does not decode
  kAnswered,          // v3: a discovery or time synchronisation, answered with a Report
};

// A received datagram as the receiver decoded it: a version-3 message's header and security
// parameters in `v3`, null for v1 and v2c.
struct ReceivedNotification {
  std::string_view bytes;
  const DecodedV3Message* v3 = nullptr;
};

// How one configured sender's notifications are secured.
class IncomingSecurity {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~IncomingSecurity() = default;

  // Whether `received` is this section's notification. For v1 and v2c `notification` holds the
  // decoded message already; for v3 the check fills it once the message is believed. A
  // datagram to send back to the sender (a Report) is put into `answer`, which is left empty
  // otherwise.
  virtual IncomingFault Check(const ReceivedNotification& received, Notification& notification,
                              std::string& answer, Clock::time_point now) = 0;

  // The Response to an inform that Check believed, secured as the inform came.
  virtual std::string Response(const Notification& inform, Clock::time_point now) = 0;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_MESSAGE_SECURITY_H_
