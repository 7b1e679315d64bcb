#include "snmp/snmp_client.h"

#include <chrono>
#include <utility>

#include "net/ip_literal.h"
#include "net/socket_api.h"
#include "net/socket_error.h"
#include "snmp/community_security.h"
#include "snmp/request_id.h"

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
  MessageSecurity& security = Security != nullptr ? *Security : CommunitySecurity::Shared();
  message.ID = DrawRequestId(message.ID);
  sent_request_id_ = message.ID;
  step_sent_ = false;
  securing_ = nullptr;
  if (!security.BeginRequest(message, request_, Clock::now())) {
    last_error_code_ = 0;
    return false;
  }
  securing_ = &security;
  // The step's datagram stays with the request only while tries may repeat it.
  Buffer = std::move(request_.datagram);
  if (Retries > 0) request_.datagram = Buffer;
  if (route_.error_code != 0) {
    // Nowhere to send it: the socket still points at the previous target.
    security.StepNotSent();
    last_error_code_ = route_.error_code;
    return false;
  }
  TUDPBlockSocket& sock = *route_.socket;
  sock.SendDatagram(Buffer);
  last_error_code_ = sock.LastErrorCode();
  if (last_error_code_ != 0) {
    security.StepNotSent();
    return false;
  }
  // Every step and try goes to the target: a receive overwrites the socket's remote address.
  sent_to_ = sock.RemoteAddress();
  step_sent_ = true;
  return true;
}

bool TSNMPSend::FailReceive(TSNMPRec& reply, std::int32_t error_code) {
  last_error_code_ = error_code;
  host_ip_ = kNoHostIP;
  reply.ResetMessage();
  return false;
}

bool TSNMPSend::ReceiveReply(TSNMPRec& reply) {
  reply.ResetMessage();
  host_ip_ = kNoHostIP;
  TUDPBlockSocket& sock = *route_.socket;
  const bool unlimited = Timeout == kNoTimeLimitMs;
  const auto try_time = std::chrono::milliseconds(Timeout > 0 ? Timeout : 0);
  const std::int32_t retries = Retries > 0 ? Retries : 0;
  Clock::time_point deadline = Clock::now() + try_time;
  std::int32_t tries_left = retries;
  // Past the deadline of a try: the step's datagram goes out again, or the step ends. A failed
  // repeat is not the end: an answer to an earlier try may still come, and this try waits its
  // Timeout like any other.
  auto next_try = [&] {
    if (tries_left == 0 || !step_sent_ || request_.datagram.empty()) return false;
    --tries_left;
    sock.SendDatagramTo(request_.datagram, sent_to_);
    deadline = Clock::now() + try_time;
    return true;
  };
  // The security asks for a next step: it goes out at once, with fresh tries.
  auto next_step = [&] {
    Buffer = std::move(request_.datagram);
    if (retries > 0) request_.datagram = Buffer;
    sock.SendDatagramTo(Buffer, sent_to_);
    step_sent_ = true;
    tries_left = retries;
    deadline = Clock::now() + try_time;
    const std::int32_t error = sock.LastErrorCode();
    if (error != 0) securing_->StepNotSent();
    return error;
  };
  for (;;) {
    Buffer = sock.ReceiveDatagram(unlimited ? kNoTimeLimitMs : MillisecondsUntil(deadline));
    std::int32_t error = sock.LastErrorCode();
    if (error == 0) {
      // Before any transmit no datagram answers anything.
      const SecuredStep step = securing_ != nullptr
                                   ? securing_->TakeDatagram(request_, Buffer, reply, Clock::now())
                                   : SecuredStep::kDrop;
      switch (step) {
        case SecuredStep::kAnswered:
          last_error_code_ = 0;
          host_ip_ = sock.RemoteAddressText();
          return true;
        case SecuredStep::kFailed:
          return FailReceive(reply, 0);
        case SecuredStep::kSend:
          if (const std::int32_t send_error = next_step(); send_error != 0) {
            return FailReceive(reply, send_error);
          }
          continue;
        case SecuredStep::kDrop:
          // Not the answer to this request's step: taking it would write another request's
          // values into this one's points.
          reply.ResetMessage();
          if (unlimited || Clock::now() < deadline) continue;
          error = kSocketErrorTimedOut;
          Buffer.clear();
          break;
      }
    }
    if (error == kSocketErrorTimedOut && next_try()) continue;
    if (securing_ == nullptr) return FailReceive(reply, error);
    if (error != kSocketErrorTimedOut) {
      securing_->StepFailed(request_);
      return FailReceive(reply, error);
    }
    // Something that came during the step (an unauthenticated Report) may ask for one more.
    if (securing_->StepTimedOut(request_, Clock::now()) != SecuredStep::kSend) {
      return FailReceive(reply, error);
    }
    if (const std::int32_t send_error = next_step(); send_error != 0) {
      return FailReceive(reply, send_error);
    }
  }
}

}  // namespace zelsnmp
