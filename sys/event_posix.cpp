#include "sys/event.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

namespace zelsnmp {

// A self-pipe: setting the event writes one byte that wakes every waiter, and since nobody
// drains the pipe it stays readable, so the event stays signalled. Both the flag and the write
// are async-signal-safe.
struct EventState {
  std::function<bool()> signal_hook;
  std::atomic<bool> signalled{false};
  int read_fd = -1;
  int write_fd = -1;

  void Set() {
    if (signalled.exchange(true)) return;
    const char byte = 1;
    ssize_t written;
    do {
      written = write(write_fd, &byte, 1);
    } while (written < 0 && errno == EINTR);
  }
};

namespace {

std::atomic<EventState*> g_stop_request_event{nullptr};

int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

Event::Event(std::function<bool()> signal_hook) : state_(std::make_unique<EventState>()) {
  state_->signal_hook = std::move(signal_hook);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    state_->read_fd = fds[0];
    state_->write_fd = fds[1];
  }
}

Event::~Event() {
  // A stop request arriving after the event is gone must not touch it.
  EventState* expected = state_.get();
  g_stop_request_event.compare_exchange_strong(expected, nullptr);
  if (state_->read_fd >= 0) close(state_->read_fd);
  if (state_->write_fd >= 0) close(state_->write_fd);
}

EventHandle Event::handle() const {
  return state_->read_fd >= 0 ? static_cast<EventHandle>(state_.get()) : nullptr;
}

bool SignalEvent(EventHandle event) {
  if (event == nullptr) return false;
  auto* state = static_cast<EventState*>(event);
  if (state->signal_hook && !state->signal_hook()) return false;
  state->Set();
  return true;
}

EventWaitResult WaitForEvent(EventHandle event, std::uint32_t timeout_ms) {
  if (event == nullptr) return EventWaitResult::kFailed;
  auto* state = static_cast<EventState*>(event);
  const int64_t deadline = MonotonicMs() + timeout_ms;
  for (;;) {
    if (state->signalled.load()) return EventWaitResult::kSignalled;
    const int64_t remaining = deadline - MonotonicMs();
    if (remaining <= 0) return EventWaitResult::kTimedOut;
    pollfd readable{state->read_fd, POLLIN, 0};
    const int ready = poll(&readable, 1, static_cast<int>(remaining));
    if (ready < 0 && errno != EINTR) return EventWaitResult::kFailed;
  }
}

namespace {

void OnStopRequest(int) {
  const int saved_errno = errno;
  if (EventState* state = g_stop_request_event.load()) state->Set();
  errno = saved_errno;
}

}  // namespace

bool SignalEventOnStopRequest(EventHandle event) {
  if (event == nullptr) return false;
  g_stop_request_event.store(static_cast<EventState*>(event));
  struct sigaction action {};
  action.sa_handler = OnStopRequest;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

}  // namespace zelsnmp
