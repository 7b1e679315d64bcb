#include "snmp/snmp_client.h"

#include <chrono>

#include "net/ip_literal.h"
#include "net/socket_api.h"
#include "net/socket_error.h"
#include "snmp/request_id.h"
#include "snmp/usm_session.h"

namespace zelsnmp {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kNoTimeLimitMs = -1;
constexpr std::string_view kAnyLocalPort = "0";
constexpr std::string_view kAnyIPv4Interface = "0.0.0.0";
constexpr std::string_view kAnyIPv6Interface = "::";
// Enough for every datagram a socket's receive queue can hold; bounds the drain when a flood
// keeps it filled.
constexpr int kMaxDroppedDatagrams = 4096;

// Milliseconds from now to `deadline`, rounded up so that the waits never end before it.
int MillisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

TSNMPSend::TSNMPSend()
    : query_(std::make_unique<TSNMPRec>()),
      reply_(std::make_unique<TSNMPRec>()),
      sock_(std::make_unique<TUDPBlockSocket>()),
      sock6_(std::make_unique<TUDPBlockSocket>()) {
  query_->ResetMessage();
  reply_->ResetMessage();
  sock_->Owner = this;
  sock6_->Owner = this;
  // Names and the wildcard resolve to IPv6 addresses only on this one.
  sock6_->SetFamily(SF_IP6);
  route_.socket = sock_.get();
  Timeout = kDefaultReceiveTimeoutMs;
  TargetPort = kSnmpAgentPort;
  host_ip_.clear();
}

TSNMPSend::~TSNMPSend() {
  sock6_.reset();
  sock_.reset();
  reply_.reset();
  query_.reset();
}

std::string TSNMPSend::LastErrorText() const {
  return TBlockSocket::GetErrorDesc(last_error_code_);
}

bool TSNMPSend::SendQuery() { return Exchange(*query_, *reply_); }

TSNMPSend::Route TSNMPSend::PrepareRoute(const std::string& host, const std::string& port) {
  Route route;
  route.socket = sock_.get();
  route.host = host;
  const std::string_view bare = WithoutIPv6Brackets(host);
  bool ip6 = false;
  if (IsIPv4Literal(bare)) {
    // As it is written: the socket looks it up (and remembers the answer) itself.
  } else if (IsIPv6Literal(bare)) {
    ip6 = true;
    route.host = std::string(bare);
  } else {
    // A name is looked up here, once, to learn its family; the socket is then given the
    // address it resolved to, which it need not look up again.
    SocketAddress found;
    route.error_code = BuildSocketAddress(found, bare, port, sock_->PreferIP4,
                                          kSocketTypeDatagram, kProtocolUdp,
                                          SocketFamilyCode(SF_Any));
    if (route.error_code != 0) return route;
    ip6 = AddressFamily(found) == SocketApi().family_ip6;
    const std::string numeric = AddressText(found);
    if (!numeric.empty()) route.host = numeric;
  }
  if (!ip6) {
    // An IPv6 interface would open this socket as an IPv6 one.
    const bool ip6_interface = IsIPv6Literal(WithoutIPv6Brackets(IPInterface));
    sock_->BindLocal(ip6_interface ? std::string(kAnyIPv4Interface) : IPInterface,
                     std::string(kAnyLocalPort));
    return route;
  }
  route.socket = sock6_.get();
  if (!UsesAddressInfo(SocketApi().family_ip6)) {
    route.error_code = kSocketErrorFamilyNotSupported;
    return route;
  }
  const std::string_view local = WithoutIPv6Brackets(IPInterface);
  sock6_->BindLocal(IsIPv6Literal(local) ? std::string(local) : std::string(kAnyIPv6Interface),
                    std::string(kAnyLocalPort));
  return route;
}

bool TSNMPSend::Exchange(TSNMPRec& query, TSNMPRec& reply) {
  // What the last answer held is released before anything else is done.
  reply.ResetMessage();
  std::string().swap(Buffer);
  // The bind's outcome is not examined: a failed bind shows in the send or the receive.
  route_ = PrepareRoute(TargetHost, TargetPort);
  // Before ConnectTo, which sets the target of the send that a receive overwrites.
  DropQueuedDatagrams(*route_.socket);
  if (route_.error_code == 0) route_.socket->ConnectTo(route_.host, TargetPort);
  if (Security != nullptr) return ExchangeV3(query, reply);
  if (!TransmitMessage(query)) return false;
  return ReceiveReply(reply);
}

void TSNMPSend::DropQueuedDatagrams(TUDPBlockSocket& sock) {
  if (sock.Handle() == kInvalidSocketHandle) return;
  for (int i = 0; i < kMaxDroppedDatagrams && sock.SelectReadable(0); ++i) {
    sock.ReceiveDatagram(0);
  }
}

bool TSNMPSend::TransmitMessage(TSNMPRec& message) {
  message.ID = DrawRequestId(message.ID);
  sent_request_id_ = message.ID;
  Buffer = message.EncodeMessage();
  sent_datagram_.clear();
  if (route_.error_code != 0) {
    // Nowhere to send it: the socket still points at the previous target.
    last_error_code_ = route_.error_code;
    return false;
  }
  TUDPBlockSocket& sock = *route_.socket;
  sock.SendDatagram(Buffer);
  last_error_code_ = sock.LastErrorCode();
  if (last_error_code_ != 0) return false;
  if (Retries > 0) {
    sent_datagram_ = Buffer;
    sent_to_ = sock.RemoteAddress();
  }
  return true;
}

bool TSNMPSend::SendAgain() {
  if (sent_datagram_.empty()) return false;
  // A failed repeat is not the end: an answer to an earlier try may still come, and this try
  // waits its Timeout like any other.
  route_.socket->SendDatagramTo(sent_datagram_, sent_to_);
  return true;
}

bool TSNMPSend::FailReceive(TSNMPRec& reply, std::int32_t error_code) {
  last_error_code_ = error_code;
  host_ip_ = kNoHostIP;
  reply.ResetMessage();
  return false;
}

bool TSNMPSend::ExchangeV3(TSNMPRec& query, TSNMPRec& reply) {
  UsmSession& session = *Security;
  query.ID = DrawRequestId(query.ID);
  sent_request_id_ = query.ID;
  sent_datagram_.clear();
  host_ip_ = kNoHostIP;
  UsmRequest request;
  if (!session.BeginRequest(query, request, Clock::now())) {
    last_error_code_ = 0;
    return false;
  }
  Buffer = request.datagram;
  if (route_.error_code != 0) {
    session.StepNotSent();
    last_error_code_ = route_.error_code;
    return false;
  }
  TUDPBlockSocket& sock = *route_.socket;
  // Every step goes to the target: a receive overwrites the socket's remote address.
  const SocketAddress target = sock.RemoteAddress();
  const bool unlimited = Timeout == kNoTimeLimitMs;
  const auto try_time = std::chrono::milliseconds(Timeout > 0 ? Timeout : 0);
  Clock::time_point deadline;
  std::int32_t tries_left = 0;
  // Sends the current step's datagram; `fresh` starts the step, else it is a further try.
  auto send = [&](bool fresh) {
    sock.SendDatagramTo(request.datagram, target);
    if (fresh) tries_left = Retries > 0 ? Retries : 0;
    deadline = Clock::now() + try_time;
    return sock.LastErrorCode();
  };
  if (const std::int32_t error = send(true); error != 0) {
    session.StepNotSent();
    last_error_code_ = error;
    return false;
  }
  for (;;) {
    Buffer = sock.ReceiveDatagram(unlimited ? kNoTimeLimitMs : MillisecondsUntil(deadline));
    std::int32_t error = sock.LastErrorCode();
    if (error == 0) {
      switch (session.TakeDatagram(request, Buffer, reply, Clock::now())) {
        case UsmStep::kAnswered:
          last_error_code_ = 0;
          host_ip_ = sock.RemoteAddressText();
          return true;
        case UsmStep::kFailed:
          return FailReceive(reply, 0);
        case UsmStep::kSend:
          Buffer = request.datagram;
          if (const std::int32_t send_error = send(true); send_error != 0) {
            session.StepNotSent();
            return FailReceive(reply, send_error);
          }
          continue;
        case UsmStep::kDrop:
          reply.ResetMessage();
          if (unlimited || Clock::now() < deadline) continue;
          error = kSocketErrorTimedOut;
          Buffer.clear();
          break;
      }
    }
    if (error == kSocketErrorTimedOut && tries_left > 0) {
      --tries_left;
      // A failed repeat is not the end, as in v2c: the try waits its time.
      send(false);
      continue;
    }
    if (error != kSocketErrorTimedOut) {
      session.StepFailed(request);
      return FailReceive(reply, error);
    }
    // A Report that came unauthenticated during the step may ask for one more.
    if (session.StepTimedOut(request, Clock::now()) != UsmStep::kSend) {
      return FailReceive(reply, error);
    }
    Buffer = request.datagram;
    if (const std::int32_t send_error = send(true); send_error != 0) {
      session.StepNotSent();
      return FailReceive(reply, send_error);
    }
  }
}

bool TSNMPSend::ReceiveReply(TSNMPRec& reply) {
  reply.ResetMessage();
  host_ip_ = kNoHostIP;
  TUDPBlockSocket& sock = *route_.socket;
  const bool unlimited = Timeout == kNoTimeLimitMs;
  const auto try_time = std::chrono::milliseconds(Timeout > 0 ? Timeout : 0);
  Clock::time_point deadline = Clock::now() + try_time;
  std::int32_t tries_left = Retries > 0 ? Retries : 0;
  // Past the deadline of a try: the next try goes out, or the exchange ends without answer.
  auto next_try = [&] {
    if (tries_left == 0 || !SendAgain()) return false;
    --tries_left;
    deadline = Clock::now() + try_time;
    return true;
  };
  for (;;) {
    Buffer = sock.ReceiveDatagram(unlimited ? kNoTimeLimitMs : MillisecondsUntil(deadline));
    const std::int32_t error = sock.LastErrorCode();
    if (error == kSocketErrorTimedOut && next_try()) continue;
    if (error != 0) return FailReceive(reply, error);
    // The header first: nothing is spent on the bindings of a datagram that is not the
    // answer.
    if (reply.DecodeHeader(Buffer) && reply.PDUType == PduResponse && sent_request_id_ &&
        reply.ID == *sent_request_id_ && reply.DecodeMessage(Buffer)) {
      last_error_code_ = 0;
      host_ip_ = sock.RemoteAddressText();
      return true;
    }
    // Not the answer to this request: an answer that came after an earlier request had
    // timed out, a repeated answer, a forgery that guessed wrong, the request itself echoed
    // back (not a Response), or bytes that are no message. Taking it would write
    // another request's values into this one's points.
    reply.ResetMessage();
    if (!unlimited && Clock::now() >= deadline && !next_try()) {
      Buffer.clear();
      return FailReceive(reply, kSocketErrorTimedOut);
    }
  }
}

}  // namespace zelsnmp
