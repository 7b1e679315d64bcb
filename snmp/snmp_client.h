// TSNMPSend: one SNMP request/response exchange over UDP, and TIPClient, the client settings
// it inherits.
//
// SendQuery encodes Query with a fresh request ID, sends it as one datagram to
// TargetHost:TargetPort and waits up to Timeout milliseconds for the answer to that request,
// which it decodes into Reply. The answer is the first datagram that decodes as a Response PDU
// (0xA2) carrying the request ID the query was sent with; anything else that arrives in the
// meantime (an answer to an earlier request that came after its time-out, a second copy, the
// request echoed back, a forgery, bytes that are no message) is dropped without its bindings
// being read, and the wait goes on until the deadline. Datagrams already queued when a
// request is about to be sent answer nothing and are dropped before the send. The sender's
// address is not compared with the target: agents with several addresses answer from any of
// them, and HostIP names the sender.
//
// Request IDs are drawn for every request from the platform's random source (1 to 2147483647;
// the source is read for sixteen requests at a time), so that a sender that sees one request
// cannot predict the next, and one off the path has about one chance in two billion per guess. SNMP v2c has no authentication: a sender that sees
// the request can still answer it.
//
// One request is in flight at a time. With Retries R, a try that gets no answer within Timeout
// is followed by the same datagram again (the same bytes, so the same request ID), up to R
// times, each try with its own Timeout; an answer to any try is taken until the last try's
// deadline, and nothing is taken after it. With Retries 0 there is one try. A failed receive
// other than the time-out (a reset by the peer, for one) ends the exchange at once, whatever
// tries are left.
//
// TargetHost is an IPv4 literal, an IPv6 literal (bare or in brackets: "2001:db8::7",
// "[2001:db8::7]") or a name, which is resolved once per exchange (IPv4 first) and then goes by
// the family of its address. The object keeps one socket per address family: Sock() for IPv4,
// Sock6() for IPv6. Each is opened on the first exchange with a target of its family and kept,
// and with it its local port, until the object is destroyed; an object that only ever talks
// IPv4 never opens the IPv6 one. Decoding costs time and memory in proportion to the
// datagram's size, and what an answer held is released when the next exchange starts.
//
// Failures are reported by a false result, never by exceptions: LastErrorCode() tells why
// (the socket's error number after a failed send or receive, the lookup's when a name does not
// resolve, 10047 for an IPv6 target where the platform cannot look IPv6 up, 10060 when no
// answer to the request came in time). After SendQuery:
//   success:        Buffer = the answer, HostIP = its sender, Reply = the decoded answer;
//   failed send:    Buffer = the encoded query, Reply reset;
//   failed receive: Buffer = what the receive gave (empty on a time-out), HostIP "0.0.0.0",
//                   Reply reset.
// An exception can only come from exhausted resources; the object is then to be replaced.
//
// Every message goes through the seam of how it is secured (snmp/message_security.h): the
// community above while Security is null, or the agent's SNMPv3 session; one loop runs the
// steps, tries and time-outs of both.
//
// Version 3: with Security set, SendQuery and Exchange send Query's PDU (its type, a request ID
// drawn as above, its bindings) in a version-3 message of the session's user, level and
// context, under a fresh random msgID per step, and run the session's steps (discovery when the
// engine is unknown, the request, and at most one rediscovery and one resend when the engine
// asks for them; see usm_session.h). Every step is one datagram with the tries of a v2c request:
// Timeout per try and Retries further tries of the same bytes; a step that is answered by the
// next one's need starts that step at once with fresh tries. A silent agent therefore costs
// (Retries + 1) x Timeout, as in v2c. An unauthenticated Report (which anyone could send) ends
// a step only when its tries are out, so a refusal costs one step's tries. A request takes at
// most six steps (the request, a resend, discovery, the request without a clock, with it, and
// a last resend), each healing once, so the whole exchange is bounded by six times
// (Retries + 1) x Timeout, and costs a few round trips when the agent answers. On success Reply
// holds the decoded PDU (Version 3); on failure the session's status() tells why: a time-out
// leaves LastErrorCode 10060 as in v2c, a refusal by a Report (or keys that cannot be derived)
// leaves it 0 or 10060.
//
// The object is used by one thread.

#ifndef ZELSNMP_SNMP_SNMP_CLIENT_H_
#define ZELSNMP_SNMP_SNMP_CLIENT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "net/block_socket.h"
#include "snmp/message_security.h"
#include "snmp/snmp_message.h"

namespace zelsnmp {

inline constexpr std::string_view kSnmpAgentPort = "161";
inline constexpr std::int32_t kDefaultReceiveTimeoutMs = 5000;
// HostIP while no sender is known.
inline constexpr std::string_view kNoHostIP = "0.0.0.0";

// Settings of a client that talks to one target at a time.
class TIPClient {
 public:
  std::string TargetHost = "127.0.0.1";
  std::string TargetPort = "0";
  std::string IPInterface = "0.0.0.0";  // local address to bind, "0.0.0.0" = any
  std::int32_t Timeout = kDefaultReceiveTimeoutMs;  // ms per try; -1 waits without limit
  // Further tries of the same request after a try's time-out (0 to 5 in the configuration;
  // a negative value counts as 0).
  std::int32_t Retries = 0;
  std::string UserName;  // not used by the SNMP exchange
  std::string Password;  // not used by the SNMP exchange
  // How the agent's messages are secured, owned by the caller: null speaks v1/v2c as Query
  // says (CommunitySecurity); an SNMPv3 session speaks version 3 through it (see "Version 3"
  // above).
  MessageSecurity* Security = nullptr;
};

class TSNMPSend : public TIPClient {
 public:
  TSNMPSend();
  // Closes the socket first, then drops Reply, then Query.
  virtual ~TSNMPSend();
  TSNMPSend(const TSNMPSend&) = delete;
  TSNMPSend& operator=(const TSNMPSend&) = delete;

  // The last encoded query, replaced by the last received datagram.
  std::string Buffer;

  // Read-only properties: the owned parts can be used but not replaced. Sock() is the socket
  // of IPv4 targets (and of names that do not resolve), Sock6() that of IPv6 targets.
  TUDPBlockSocket& Sock() { return *sock_; }
  const TUDPBlockSocket& Sock() const { return *sock_; }
  TUDPBlockSocket& Sock6() { return *sock6_; }
  const TUDPBlockSocket& Sock6() const { return *sock6_; }
  TSNMPRec& Query() { return *query_; }
  const TSNMPRec& Query() const { return *query_; }
  TSNMPRec& Reply() { return *reply_; }
  const TSNMPRec& Reply() const { return *reply_; }
  // Numeric address of the sender of the accepted answer; "0.0.0.0" while a receive is
  // pending or after it failed; empty before the first exchange.
  const std::string& HostIP() const { return host_ip_; }

  // Exchange(Query, Reply); true when the answer to the query was received and decoded.
  bool SendQuery();

  // Resets `reply`, chooses the socket of the target's family (PrepareRoute), drops what is
  // queued on it, points it at the target, then TransmitMessage and ReceiveReply.
  bool Exchange(TSNMPRec& query, TSNMPRec& reply);

  // Gives `message` a fresh request ID, secures it (Security, or its community when null) into
  // the first step's datagram, copied to Buffer (raising its ID as an encoding does), records
  // the ID it went out with and sends the datagram to the target of the last Exchange; true
  // when the send reported no error.
  bool TransmitMessage(TSNMPRec& message);

  // Waits up to Timeout ms for the answer to the last transmitted message and decodes it
  // into `reply`, sending that message again after each try that timed out while Retries
  // allow, and running the further steps its security asks for. Before any transmit no
  // datagram can be that answer.
  bool ReceiveReply(TSNMPRec& reply);

  // Where requests to one host go: the socket of the host's address family and the text that
  // socket is pointed at (an IPv6 literal without brackets, a name as its numeric address), or
  // the error number when there is nowhere to send (a name that does not resolve, an IPv6
  // host where IPv6 cannot be looked up).
  struct Route {
    TUDPBlockSocket* socket = nullptr;
    std::string host;
    std::int32_t error_code = 0;
  };
  // Chooses by the way `host` is written, or for a name by its address (looked up with `port`),
  // and binds the chosen socket as the exchange always has: the IPv4 one to IPInterface, the
  // IPv6 one to IPInterface when that is an IPv6 literal, else to any address. A socket opens
  // on the first use of its family. Used by Exchange and by the request window.
  Route PrepareRoute(const std::string& host, const std::string& port);

  // The outcome of the last exchange step: 0 on success, else a socket error number.
  std::int32_t LastErrorCode() const { return last_error_code_; }
  std::string LastErrorText() const;

  // The request ID of the last transmitted message, if any.
  std::optional<std::int32_t> SentRequestId() const { return sent_request_id_; }

 private:
  // Reads and drops every datagram already queued on an open socket (bounded in count).
  static void DropQueuedDatagrams(TUDPBlockSocket& sock);
  bool FailReceive(TSNMPRec& reply, std::int32_t error_code);

  // Declared in reverse of the destruction order; the destructor also releases them
  // explicitly so that the order does not hang on this list.
  std::unique_ptr<TSNMPRec> query_;
  std::unique_ptr<TSNMPRec> reply_;
  std::unique_ptr<TUDPBlockSocket> sock_;
  std::unique_ptr<TUDPBlockSocket> sock6_;
  std::string host_ip_;
  std::optional<std::int32_t> sent_request_id_;
  // The route of the last Exchange, which TransmitMessage and ReceiveReply use.
  Route route_;
  // The security of the last transmitted message (null before any) and the request's state,
  // whose datagram is the current step's, kept only while Retries ask for it; where its steps
  // go, and whether the current step went out (so that its tries may repeat it).
  MessageSecurity* securing_ = nullptr;
  SecuredRequest request_;
  SocketAddress sent_to_;
  bool step_sent_ = false;
  std::int32_t last_error_code_ = 0;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_SNMP_CLIENT_H_
