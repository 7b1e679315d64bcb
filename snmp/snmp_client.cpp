#include "snmp/snmp_client.h"

#include <chrono>

#include "net/socket_error.h"
#include "snmp/request_id.h"

namespace zelsnmp {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kNoTimeLimitMs = -1;
constexpr std::string_view kAnyLocalPort = "0";
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
      sock_(std::make_unique<TUDPBlockSocket>()) {
  query_->ResetMessage();
  reply_->ResetMessage();
  sock_->Owner = this;
  Timeout = kDefaultReceiveTimeoutMs;
  TargetPort = kSnmpAgentPort;
  host_ip_.clear();
}

TSNMPSend::~TSNMPSend() {
  sock_.reset();
  reply_.reset();
  query_.reset();
}

std::string TSNMPSend::LastErrorText() const {
  return TBlockSocket::GetErrorDesc(last_error_code_);
}

bool TSNMPSend::SendQuery() { return Exchange(*query_, *reply_); }

bool TSNMPSend::Exchange(TSNMPRec& query, TSNMPRec& reply) {
  // What the last answer held is released before anything else is done.
  reply.ResetMessage();
  std::string().swap(Buffer);
  // Neither outcome is examined: a failed bind or lookup shows in the send or the receive.
  sock_->BindLocal(IPInterface, std::string(kAnyLocalPort));
  // Before ConnectTo, which sets the target of the send that a receive overwrites.
  DropQueuedDatagrams();
  sock_->ConnectTo(TargetHost, TargetPort);
  if (!TransmitMessage(query)) return false;
  return ReceiveReply(reply);
}

void TSNMPSend::DropQueuedDatagrams() {
  if (sock_->Handle() == kInvalidSocketHandle) return;
  for (int i = 0; i < kMaxDroppedDatagrams && sock_->SelectReadable(0); ++i) {
    sock_->ReceiveDatagram(0);
  }
}

bool TSNMPSend::TransmitMessage(TSNMPRec& message) {
  message.ID = DrawRequestId(message.ID);
  sent_request_id_ = message.ID;
  Buffer = message.EncodeMessage();
  sock_->SendDatagram(Buffer);
  last_error_code_ = sock_->LastErrorCode();
  return last_error_code_ == 0;
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
  const bool unlimited = Timeout == kNoTimeLimitMs;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(Timeout > 0 ? Timeout : 0);
  for (;;) {
    Buffer = sock_->ReceiveDatagram(unlimited ? kNoTimeLimitMs : MillisecondsUntil(deadline));
    if (sock_->LastErrorCode() != 0) return FailReceive(reply, sock_->LastErrorCode());
    // The header first: nothing is spent on the bindings of a datagram that is not the
    // answer.
    if (reply.DecodeHeader(Buffer) && reply.PDUType == PduResponse && sent_request_id_ &&
        reply.ID == *sent_request_id_ && reply.DecodeMessage(Buffer)) {
      last_error_code_ = 0;
      host_ip_ = sock_->RemoteAddressText();
      return true;
    }
    // Not the answer to this request: an answer that came after an earlier request had
    // timed out, a repeated answer, a forgery that guessed wrong, the request itself echoed
    // back (not a Response), or bytes that are no message. Taking it would write
    // another request's values into this one's points.
    reply.ResetMessage();
    if (!unlimited && Clock::now() >= deadline) {
      Buffer.clear();
      return FailReceive(reply, kSocketErrorTimedOut);
    }
  }
}

}  // namespace zelsnmp
