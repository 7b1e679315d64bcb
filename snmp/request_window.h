// RequestWindow: several SNMP requests in flight at once on the sockets of one TSNMPSend.
//
// Each request goes to its own target (RequestTarget: host, port, time-out per try, further
// tries) through the client's socket of the target's address family (TSNMPSend::PrepareRoute),
// and so from that socket's one local port. It carries a fresh random request ID, drawn as the
// single exchange draws it and distinct from every ID still in flight, and has its own
// deadline: its time-out after its own send. When that passes without an answer and tries are
// left, the same datagram (same bytes, same ID) goes out again to the same address and the
// request waits one more time-out, while the others stay in flight. A datagram answers a
// request only when it decodes as a Response PDU carrying that request's ID, comes in on the
// socket that request went out on, and is taken before that request's last deadline; anything
// else (an answer after it, a second copy, a forgery, the request echoed back, bytes that are
// no message) is dropped without its bindings being read. As in the single exchange the
// sender's address is not compared with the host.
//
// At most `capacity` requests that expect an answer are in flight. A request to a target that
// is likely silent (its agent left its last request unanswered) holds no place while it waits:
// it is not expected to bring an answer, so however many such agents there are they cost one
// time-out (x tries) together, not one per window-full. Answered after all, it is taken like
// any other.
//
// So that answers arriving together are not lost, each socket's receive queue is asked for
// room for `capacity` answers of the largest datagram (64 KiB each), and the room granted is
// read back (Linux caps it at net.core.rmem_max). The requests expecting an answer are then
// bounded to as many answers as fit in it: the largest answer taken so far (or, before any, an
// estimate from the request) with the platform's bookkeeping of a queued datagram; limit()
// tells the bound. DroppedDatagrams() tells what the platform dropped all the same.
//
// Network failures end in a request settled without an answer, never in an exception; an
// exception can only come from exhausted resources, and the client is then to be replaced.
// Used by one thread; the client must not run exchanges of its own while requests are in
// flight.
//
// Every request's messages are secured by its target's `security` (snmp/message_security.h),
// or, when that is null, by the query's community as above. A request with an SNMPv3 session
// goes as version 3 (see usm_session.h): each of its steps (discovery, the request, a
// rediscovery or resend the engine asks for) is a datagram of the window like any other, with
// the target's time-out and tries, matched by its msgID on the socket it went out on; a step
// answered by the need of the next starts that one at once with fresh tries. The request is
// settled when answered, refused (the session's status() says why) or when a step's last try
// times out. Requests of several sessions, and v2c requests, interleave freely, and several
// requests of one session may be in flight together (each has its own allowance to discover
// and to be sent again once).

#ifndef ZELSNMP_SNMP_REQUEST_WINDOW_H_
#define ZELSNMP_SNMP_REQUEST_WINDOW_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "snmp/message_security.h"
#include "snmp/snmp_client.h"
#include "snmp/snmp_message.h"

namespace zelsnmp {

// Where one request of the window goes and how long it is waited for: the agent's host (a name,
// an IPv4 literal or an IPv6 literal, bare or in brackets), its UDP port, the wait for the
// answer to one try in milliseconds, and how many further tries of the same request follow a
// try that got no answer.
struct RequestTarget {
  std::string host;
  std::string port{kSnmpAgentPort};
  std::int32_t timeout_ms = kDefaultReceiveTimeoutMs;
  std::int32_t retries = 0;
  // How the agent's messages are secured (owned by the caller: its SNMPv3 session), or null
  // for v1/v2c as the query says.
  MessageSecurity* security = nullptr;
  // The agent left its last request unanswered: the request holds no place in the window.
  bool likely_silent = false;
};

// The outcome of one request.
struct SettledRequest {
  std::size_t tag = 0;    // as given to Send
  bool answered = false;  // false: no answer before its deadline, or the send failed
  TSNMPRec reply;         // the decoded answer; fresh when not answered
  std::string sender;     // numeric address the answer came from
};

class RequestWindow {
 public:
  // `capacity` at least 1.
  RequestWindow(TSNMPSend& client, std::size_t capacity);

  std::size_t capacity() const { return capacity_; }
  std::size_t in_flight() const { return in_flight_.size(); }
  // Requests in flight that hold a place (those not sent as likely silent).
  std::size_t holding() const { return holding_; }
  bool full() const { return holding_ >= limit(); }
  // How many requests may hold a place: the capacity, or fewer when the room granted for
  // received datagrams holds fewer answers.
  std::size_t limit() const;
  // The smallest room granted to a socket's receive queue that requests went out on, as the
  // platform counts it; 0 while none is known.
  long long granted_receive_buffer() const { return granted_; }
  // What the window asks each socket's receive queue for.
  long long wanted_receive_buffer() const;
  // The largest answer taken so far, in bytes; the caller may carry it into a later window.
  std::size_t largest_answer() const { return largest_answer_; }
  void set_largest_answer(std::size_t bytes) { largest_answer_ = bytes; }
  // The datagrams the platform dropped on the client's sockets since they were opened; -1
  // where it does not tell.
  std::int64_t DroppedDatagrams() const;

  // Sends `query` to `target` under a fresh request ID (set in `query`, whose ID is then one
  // higher after the encoding). Datagrams queued on the target's socket while nothing is in
  // flight on it answer nothing and are dropped first. A time-out of -1 waits without limit,
  // a negative number of tries counts as 0. False when the send failed (or the host did not
  // resolve): nothing is then in flight for `tag`, and LastErrorCode() tells why. Must not be
  // called when full(), unless the target is likely silent.
  bool Send(TSNMPRec& query, const RequestTarget& target, std::size_t tag);
  // The same to `host` with the client's TargetPort, Timeout and Retries.
  bool Send(TSNMPRec& query, const std::string& host, std::size_t tag);

  // Waits until at least one request in flight is settled (answered, or its deadline passed)
  // and gives every request settled meanwhile, in no particular order; empty when nothing is
  // in flight.
  std::vector<SettledRequest> Settle();

  std::int32_t LastErrorCode() const { return last_error_code_; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Request {
    std::size_t tag;
    Clock::time_point deadline;  // of the current try
    TUDPBlockSocket* socket;
    std::int32_t tries_left;
    std::chrono::milliseconds try_time;
    SocketAddress sent_to;
    MessageSecurity* security;  // never null: the community's for v1/v2c
    SecuredRequest secured;     // its datagram is the current step's
    std::int32_t retries;
    bool holds_place;  // not sent as likely silent
  };
  // The sockets of the client, one per address family.
  static constexpr int kSocketCount = 2;

  std::int32_t DistinctRequestId(std::int32_t fallback) const;
  bool InFlightOn(const TUDPBlockSocket& sock) const;
  static void DropQueuedDatagrams(TUDPBlockSocket& sock);
  void SizeReceiveQueue(TUDPBlockSocket& sock);
  // Takes one datagram off `sock`, waiting up to `wait_ms`, and settles what it answers.
  void ReceiveOn(TUDPBlockSocket& sock, int wait_ms, std::vector<SettledRequest>& settled);
  // Settles the request `datagram`, received on `sock`, answers, if any, or sends the next
  // step it asks for.
  void TakeAnswer(TUDPBlockSocket& sock, const std::string& datagram,
                  std::vector<SettledRequest>& settled);
  // Sends the current step of `request` with fresh tries.
  static void SendStep(Request& request);
  // Settles `request` (an element of in_flight_) unanswered, telling its session.
  static SettledRequest Unanswered(const Request& request);
  // Sends again every request whose try has timed out with tries left, and settles every one
  // whose last try has.
  void ExpireDue(std::vector<SettledRequest>& settled);
  // Settles every request in flight on `sock` (every request when null) without an answer.
  void FailAll(const TUDPBlockSocket* sock, std::vector<SettledRequest>& settled);
  // Takes `request` (an element of in_flight_) out of the window.
  void Forget(const Request& request);

  TSNMPSend& client_;
  std::size_t capacity_;
  std::vector<Request> in_flight_;
  std::size_t holding_ = 0;
  SocketHandle sized_handles_[kSocketCount] = {kInvalidSocketHandle, kInvalidSocketHandle};
  long long granted_ = 0;
  std::size_t largest_answer_ = 0;
  std::size_t estimated_answer_ = 0;  // from the requests sent, while no answer is known
  std::int32_t last_error_code_ = 0;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_REQUEST_WINDOW_H_
