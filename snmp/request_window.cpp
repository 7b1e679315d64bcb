#include "snmp/request_window.h"

#include <algorithm>
#include <climits>

#include "net/block_socket.h"
#include "net/socket_api.h"
#include "net/socket_error.h"
#include "snmp/community_security.h"
#include "snmp/request_id.h"

namespace zelsnmp {
namespace {

constexpr int kNoTimeLimitMs = -1;
// The largest datagram the socket reads; the receive queue holds this much per request.
constexpr long long kLargestAnswerBytes = 65536;
// Bounds the drain when a flood keeps the queue filled.
constexpr int kMaxDroppedDatagrams = 4096;
// An answer's bytes beyond its request's, per binding, while no answer has been seen: a value
// in place of the NULL, reckoned generously, since a first window-full that guesses low loses
// answers to the full queue.
constexpr std::size_t kEstimatedValueBytes = 256;

// The room an answer of `bytes` takes in a receive queue as the platform counts it: its
// buffer, a power of two with room for the headers, and the bookkeeping of a queued datagram
// (Linux: 832 bytes for datagrams up to about 150 bytes, 1280 up to 500, 2304 up to 1400).
long long QueueRoom(std::size_t bytes) {
  long long buffer = 512;
  while (buffer < static_cast<long long>(bytes) + 384) buffer *= 2;
  return buffer + 320;
}

}  // namespace

RequestWindow::RequestWindow(TSNMPSend& client, std::size_t capacity)
    : client_(client), capacity_(std::max<std::size_t>(capacity, 1)) {
  in_flight_.reserve(capacity_);
}

std::int32_t RequestWindow::DistinctRequestId(std::int32_t fallback) const {
  auto in_flight = [this](std::int32_t id) {
    return std::any_of(in_flight_.begin(), in_flight_.end(),
                       [id](const Request& request) { return request.secured.request_id == id; });
  };
  std::int32_t id = DrawRequestId(fallback);
  // Ends: fewer IDs are in flight than there are; without a random source the fallback counts
  // upwards.
  while (in_flight(id)) id = DrawRequestId(id == INT32_MAX ? 1 : id + 1);
  return id;
}

std::size_t RequestWindow::limit() const {
  const std::size_t answer = largest_answer_ != 0 ? largest_answer_ : estimated_answer_;
  if (granted_ <= 0 || answer == 0) return capacity_;
  const long long fit = granted_ / QueueRoom(answer);
  return static_cast<std::size_t>(std::clamp<long long>(fit, 1, static_cast<long long>(capacity_)));
}

long long RequestWindow::wanted_receive_buffer() const {
  return std::min<long long>(static_cast<long long>(capacity_) * kLargestAnswerBytes, INT_MAX);
}

std::int64_t RequestWindow::DroppedDatagrams() const {
  std::int64_t total = -1;
  for (const TUDPBlockSocket* sock : {&client_.Sock(), &client_.Sock6()}) {
    const std::int64_t dropped = sock->DroppedDatagrams();
    if (dropped >= 0) total = std::max<std::int64_t>(total, 0) + dropped;
  }
  return total;
}

void RequestWindow::Forget(const Request& request) {
  if (request.holds_place) --holding_;
}

bool RequestWindow::InFlightOn(const TUDPBlockSocket& sock) const {
  return std::any_of(in_flight_.begin(), in_flight_.end(),
                     [&sock](const Request& request) { return request.socket == &sock; });
}

void RequestWindow::DropQueuedDatagrams(TUDPBlockSocket& sock) {
  if (sock.Handle() == kInvalidSocketHandle) return;
  for (int i = 0; i < kMaxDroppedDatagrams && sock.SelectReadable(0); ++i) {
    sock.ReceiveDatagram(0);
  }
}

void RequestWindow::SizeReceiveQueue(TUDPBlockSocket& sock) {
  SocketHandle& sized = sized_handles_[&sock == &client_.Sock() ? 0 : 1];
  const SocketHandle handle = sock.Handle();
  if (handle == kInvalidSocketHandle || handle == sized) return;
  // What was granted bounds the answers in flight (limit()).
  const long long granted = sock.SizeReceiveBuffer(static_cast<int>(wanted_receive_buffer()));
  if (granted > 0) granted_ = granted_ == 0 ? granted : std::min(granted_, granted);
  sized = handle;
}

bool RequestWindow::Send(TSNMPRec& query, const std::string& host, std::size_t tag) {
  return Send(query, RequestTarget{host, client_.TargetPort, client_.Timeout, client_.Retries},
              tag);
}

bool RequestWindow::Send(TSNMPRec& query, const RequestTarget& target, std::size_t tag) {
  // The bind's outcome is not examined: a failed bind shows in the send.
  const TSNMPSend::Route route = client_.PrepareRoute(target.host, target.port);
  TUDPBlockSocket& sock = *route.socket;
  if (!InFlightOn(sock)) DropQueuedDatagrams(sock);
  query.ID = DistinctRequestId(query.ID);
  MessageSecurity& security =
      target.security != nullptr ? *target.security : CommunitySecurity::Shared();
  SecuredRequest secured;
  if (!security.BeginRequest(query, secured, Clock::now())) {
    last_error_code_ = 0;
    return false;
  }
  if (route.error_code != 0) {
    security.StepNotSent();
    last_error_code_ = route.error_code;
    return false;
  }
  // After the drop, whose receives overwrite the target of the send.
  sock.ConnectTo(route.host, target.port);
  SizeReceiveQueue(sock);
  sock.SendDatagram(secured.datagram);
  last_error_code_ = sock.LastErrorCode();
  if (last_error_code_ != 0) {
    security.StepNotSent();
    return false;
  }
  const std::int32_t tries_left = target.retries > 0 ? target.retries : 0;
  const std::chrono::milliseconds try_time(target.timeout_ms > 0 ? target.timeout_ms : 0);
  const Clock::time_point deadline = target.timeout_ms == kNoTimeLimitMs
                                         ? Clock::time_point::max()
                                         : Clock::now() + try_time;
  if (largest_answer_ == 0) {
    const auto bindings = static_cast<std::size_t>(query.BindingCount());
    estimated_answer_ =
        std::max(estimated_answer_, secured.datagram.size() + kEstimatedValueBytes * bindings);
  }
  const bool holds_place = !target.likely_silent;
  if (holds_place) ++holding_;
  in_flight_.push_back({tag, deadline, &sock, tries_left, try_time, sock.RemoteAddress(),
                        &security, std::move(secured), tries_left, holds_place});
  return true;
}

std::vector<SettledRequest> RequestWindow::Settle() {
  std::vector<SettledRequest> settled;
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
    TBlockSocket* sockets[kSocketCount];
    int count = 0;
    for (TUDPBlockSocket* sock : {&client_.Sock(), &client_.Sock6()}) {
      if (InFlightOn(*sock)) sockets[count++] = sock;
    }
    if (count == 1) {
      ReceiveOn(static_cast<TUDPBlockSocket&>(*sockets[0]), wait_ms, settled);
    } else {
      // A socket with a heartbeat waits in its slices; the wait on both sockets keeps to them
      // too, so that what the heartbeat serves is not held up while both families are in
      // flight.
      TBlockSocket& beating = *sockets[0];
      const bool sliced = beating.OnHeartbeat && beating.HeartbeatRate > 0;
      const int slice_ms = sliced && (wait_ms == kNoTimeLimitMs || wait_ms > beating.HeartbeatRate)
                               ? beating.HeartbeatRate
                               : wait_ms;
      bool readable[kSocketCount] = {};
      std::int32_t error = 0;
      const int ready = WaitAnyReadable(sockets, readable, count, slice_ms, error);
      if (ready < 0) {
        last_error_code_ = error;
        FailAll(nullptr, settled);
      } else if (ready == 0 && sliced) {
        beating.OnHeartbeat(beating);
      }
      for (int i = 0; i < count; ++i) {
        if (readable[i]) ReceiveOn(static_cast<TUDPBlockSocket&>(*sockets[i]), 0, settled);
      }
    }
    // Nothing can be due before the earliest deadline: most waits end with an answer, and the
    // scan of every request in flight is then spared.
    if (Clock::now() >= earliest) ExpireDue(settled);
  }
  return settled;
}

void RequestWindow::ReceiveOn(TUDPBlockSocket& sock, int wait_ms,
                              std::vector<SettledRequest>& settled) {
  const std::string datagram = sock.ReceiveDatagram(wait_ms);
  const std::int32_t error = sock.LastErrorCode();
  if (error == 0) {
    TakeAnswer(sock, datagram, settled);
  } else if (error != kSocketErrorTimedOut && error != kSocketErrorConnectionReset) {
    // The socket itself fails: no request on it can be answered. (A reset names no request:
    // a port-unreachable report about one of the hosts, or an empty datagram.)
    last_error_code_ = error;
    FailAll(&sock, settled);
  }
}

void RequestWindow::TakeAnswer(TUDPBlockSocket& sock, const std::string& datagram,
                               std::vector<SettledRequest>& settled) {
  // The headers first: nothing is spent on the bindings of a datagram that answers nothing.
  StepMark mark;
  if (!ReadStepMark(datagram, mark)) return;
  auto request = std::find_if(in_flight_.begin(), in_flight_.end(), [&](const Request& r) {
    return r.secured.step_id == mark.step_id && r.socket == &sock &&
           r.security->model() == mark.model;
  });
  if (request == in_flight_.end()) return;
  // With tries left the last deadline is still ahead, whatever the current try's.
  const Clock::time_point now = Clock::now();
  if (request->tries_left == 0 && now >= request->deadline) return;
  TSNMPRec reply;
  switch (request->security->TakeDatagram(request->secured, datagram, reply, now)) {
    case SecuredStep::kDrop:
      return;
    case SecuredStep::kSend:
      SendStep(*request);
      return;
    case SecuredStep::kAnswered:
      largest_answer_ = std::max(largest_answer_, datagram.size());
      settled.push_back({request->tag, true, std::move(reply), sock.RemoteAddressText()});
      break;
    case SecuredStep::kFailed:
      settled.push_back({request->tag, false, TSNMPRec(), std::string()});
      break;
  }
  Forget(*request);
  in_flight_.erase(request);
}

void RequestWindow::SendStep(Request& request) {
  request.socket->SendDatagramTo(request.secured.datagram, request.sent_to);
  request.tries_left = request.retries;
  if (request.deadline != Clock::time_point::max()) {
    request.deadline = Clock::now() + request.try_time;
  }
}

SettledRequest RequestWindow::Unanswered(const Request& request) {
  request.security->StepFailed(request.secured);
  return {request.tag, false, TSNMPRec(), std::string()};
}

void RequestWindow::ExpireDue(std::vector<SettledRequest>& settled) {
  const Clock::time_point now = Clock::now();
  for (Request& request : in_flight_) {
    if (now < request.deadline || request.tries_left == 0) continue;
    // A failed repeat is not the end: an answer to an earlier try may still come, and this
    // try waits its time like any other.
    request.socket->SendDatagramTo(request.secured.datagram, request.sent_to);
    --request.tries_left;
    request.deadline = Clock::now() + request.try_time;
  }
  std::erase_if(in_flight_, [&](Request& request) {
    if (now < request.deadline) return false;
    // Something that came during the step (an unauthenticated Report) may ask for one more.
    if (request.security->StepTimedOut(request.secured, now) == SecuredStep::kSend) {
      SendStep(request);
      return false;
    }
    settled.push_back({request.tag, false, TSNMPRec(), std::string()});
    Forget(request);
    return true;
  });
}

void RequestWindow::FailAll(const TUDPBlockSocket* sock, std::vector<SettledRequest>& settled) {
  std::erase_if(in_flight_, [&](const Request& request) {
    if (sock != nullptr && request.socket != sock) return false;
    settled.push_back(Unanswered(request));
    Forget(request);
    return true;
  });
}

}  // namespace zelsnmp
