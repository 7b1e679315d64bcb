#include "snmp/request_window.h"

#include <algorithm>
#include <climits>

#include "net/socket_api.h"
#include "net/socket_error.h"
#include "snmp/request_id.h"

namespace zelsnmp {
namespace {

constexpr int kNoTimeLimitMs = -1;
constexpr std::string_view kAnyLocalPort = "0";
// The largest datagram the socket reads; the receive queue holds this much per request.
constexpr long long kLargestAnswerBytes = 65536;
// Bounds the drain when a flood keeps the queue filled.
constexpr int kMaxDroppedDatagrams = 4096;

}  // namespace

RequestWindow::RequestWindow(TSNMPSend& client, std::size_t capacity)
    : client_(client), capacity_(std::max<std::size_t>(capacity, 1)) {
  in_flight_.reserve(capacity_);
}

std::int32_t RequestWindow::DistinctRequestId(std::int32_t fallback) const {
  auto in_flight = [this](std::int32_t id) {
    return std::any_of(in_flight_.begin(), in_flight_.end(),
                       [id](const Request& request) { return request.id == id; });
  };
  std::int32_t id = DrawRequestId(fallback);
  // Ends: fewer IDs are in flight than there are; without a random source the fallback counts
  // upwards.
  while (in_flight(id)) id = DrawRequestId(id == INT32_MAX ? 1 : id + 1);
  return id;
}

void RequestWindow::DropQueuedDatagrams() {
  TUDPBlockSocket& sock = client_.Sock();
  if (sock.Handle() == kInvalidSocketHandle) return;
  for (int i = 0; i < kMaxDroppedDatagrams && sock.SelectReadable(0); ++i) {
    sock.ReceiveDatagram(0);
  }
}

void RequestWindow::SizeReceiveQueue() {
  const SocketHandle handle = client_.Sock().Handle();
  if (handle == kInvalidSocketHandle || handle == sized_handle_) return;
  const long long bytes = static_cast<long long>(capacity_) * kLargestAnswerBytes;
  // Not examined: a platform that grants less still works, only with less room for bursts.
  SocketApi().set_receive_buffer(handle, static_cast<int>(std::min<long long>(bytes, INT_MAX)));
  sized_handle_ = handle;
}

bool RequestWindow::Send(TSNMPRec& query, const std::string& host, std::size_t tag) {
  TUDPBlockSocket& sock = client_.Sock();
  // Neither outcome is examined: a failed bind or lookup shows in the send.
  sock.BindLocal(client_.IPInterface, std::string(kAnyLocalPort));
  if (in_flight_.empty()) DropQueuedDatagrams();
  // After the drop, whose receives overwrite the target of the send.
  sock.ConnectTo(host, client_.TargetPort);
  SizeReceiveQueue();
  query.ID = DistinctRequestId(query.ID);
  const std::int32_t id = query.ID;
  sock.SendDatagram(query.EncodeMessage());
  last_error_code_ = sock.LastErrorCode();
  if (last_error_code_ != 0) return false;
  const std::int32_t timeout = client_.Timeout;
  const Clock::time_point deadline =
      timeout == kNoTimeLimitMs
          ? Clock::time_point::max()
          : Clock::now() + std::chrono::milliseconds(timeout > 0 ? timeout : 0);
  in_flight_.push_back({tag, id, deadline});
  return true;
}

bool RequestWindow::Send(TSNMPRec& query, const RequestTarget& target, std::size_t tag) {
  // TODO(exchange): the target's own port, time-out and tries.
  return Send(query, target.host, tag);
}

std::vector<SettledRequest> RequestWindow::Settle() {
  std::vector<SettledRequest> settled;
  TUDPBlockSocket& sock = client_.Sock();
  while (settled.empty() && !in_flight_.empty()) {
    const Clock::time_point earliest =
        std::min_element(in_flight_.begin(), in_flight_.end(),
                         [](const Request& a, const Request& b) {
                           return a.deadline < b.deadline;
                         })->deadline;
    int wait_ms = kNoTimeLimitMs;
    if (earliest != Clock::time_point::max()) {
      // Rounded up, so that the wait never ends before the deadline.
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(earliest - Clock::now()).count();
      wait_ms = left > 0 ? static_cast<int>(std::min<long long>(left, INT_MAX)) : 0;
    }
    const std::string datagram = sock.ReceiveDatagram(wait_ms);
    const std::int32_t error = sock.LastErrorCode();
    if (error == 0) {
      TakeAnswer(datagram, settled);
    } else if (error != kSocketErrorTimedOut && error != kSocketErrorConnectionReset) {
      // The socket itself fails: no request can be answered. (A reset names no request: a
      // port-unreachable report about one of the hosts, or an empty datagram.)
      last_error_code_ = error;
      FailAll(settled);
    }
    ExpireDue(settled);
  }
  return settled;
}

void RequestWindow::TakeAnswer(const std::string& datagram,
                               std::vector<SettledRequest>& settled) {
  TSNMPRec reply;
  // The header first: nothing is spent on the bindings of a datagram that answers nothing.
  if (!reply.DecodeHeader(datagram) || reply.PDUType != PduResponse) return;
  auto request = std::find_if(in_flight_.begin(), in_flight_.end(),
                              [&reply](const Request& r) { return r.id == reply.ID; });
  if (request == in_flight_.end() || Clock::now() >= request->deadline) return;
  if (!reply.DecodeMessage(datagram)) return;
  settled.push_back({request->tag, true, std::move(reply), client_.Sock().RemoteAddressText()});
  in_flight_.erase(request);
}

void RequestWindow::ExpireDue(std::vector<SettledRequest>& settled) {
  const Clock::time_point now = Clock::now();
  std::erase_if(in_flight_, [&](const Request& request) {
    if (now < request.deadline) return false;
    settled.push_back({request.tag, false, TSNMPRec(), std::string()});
    return true;
  });
}

void RequestWindow::FailAll(std::vector<SettledRequest>& settled) {
  for (const Request& request : in_flight_) {
    settled.push_back({request.tag, false, TSNMPRec(), std::string()});
  }
  in_flight_.clear();
}

}  // namespace zelsnmp
