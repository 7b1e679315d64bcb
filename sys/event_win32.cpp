#include "sys/event.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>

#include "sys/stop_request_win32.h"

namespace zelsnmp {

// A manual-reset Windows event: once set it stays set for every later wait. The handle itself
// crosses the host interface, so the events of the complex's own process monitor are signalled
// and waited on just like the stand-in's.
struct EventState {
  std::function<bool()> signal_hook;
  HANDLE handle = nullptr;
};

namespace {

// The hooks of this process's own events, by handle: a handle from elsewhere has none.
std::mutex g_hooks_mutex;
std::map<EventHandle, EventState*>& Hooked() {
  static std::map<EventHandle, EventState*> hooked;
  return hooked;
}

std::atomic<HANDLE> g_stop_request_event{nullptr};

void WaitUntilTheProcessEnds() {
  for (;;) Sleep(INFINITE);
}

std::atomic<CloseWait> g_close_wait{WaitUntilTheProcessEnds};

BOOL WINAPI OnConsoleControl(DWORD control_type) {
  return HandleConsoleControl(control_type) ? TRUE : FALSE;
}

}  // namespace

Event::Event(std::function<bool()> signal_hook) : state_(std::make_unique<EventState>()) {
  state_->signal_hook = std::move(signal_hook);
  state_->handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (state_->handle != nullptr && state_->signal_hook) {
    const std::lock_guard<std::mutex> lock(g_hooks_mutex);
    Hooked()[state_->handle] = state_.get();
  }
}

Event::~Event() {
  if (state_->handle == nullptr) return;
  // A stop request arriving after the event is gone must not touch it.
  HANDLE expected = state_->handle;
  g_stop_request_event.compare_exchange_strong(expected, nullptr);
  {
    const std::lock_guard<std::mutex> lock(g_hooks_mutex);
    Hooked().erase(state_->handle);
  }
  CloseHandle(state_->handle);
}

EventHandle Event::handle() const { return state_->handle; }

bool SignalEvent(EventHandle event) {
  if (event == nullptr) return false;
  std::function<bool()> hook;
  {
    const std::lock_guard<std::mutex> lock(g_hooks_mutex);
    const auto found = Hooked().find(event);
    if (found != Hooked().end()) hook = found->second->signal_hook;
  }
  if (hook && !hook()) return false;
  return SetEvent(static_cast<HANDLE>(event)) != 0;
}

EventWaitResult WaitForEvent(EventHandle event, std::uint32_t timeout_ms) {
  if (event == nullptr) return EventWaitResult::kFailed;
  // INFINITE is all ones: the largest time-out would otherwise never end.
  const DWORD timeout = timeout_ms == INFINITE ? INFINITE - 1 : timeout_ms;
  switch (WaitForSingleObject(static_cast<HANDLE>(event), timeout)) {
    case WAIT_OBJECT_0:
      return EventWaitResult::kSignalled;
    case WAIT_TIMEOUT:
      return EventWaitResult::kTimedOut;
    default:
      return EventWaitResult::kFailed;
  }
}

bool HandleConsoleControl(unsigned long control_type) {
  switch (control_type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      if (const HANDLE event = g_stop_request_event.load()) SetEvent(event);
      return true;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      if (const HANDLE event = g_stop_request_event.load()) {
        SetEvent(event);
        g_close_wait.load()();
      }
      return true;
    default:
      return false;
  }
}

CloseWait SetCloseWaitForTesting(CloseWait wait) { return g_close_wait.exchange(wait); }

bool SignalEventOnStopRequest(EventHandle event) {
  if (event == nullptr) return false;
  g_stop_request_event.store(static_cast<HANDLE>(event));
  static std::once_flag installed;
  static bool installed_ok = false;
  std::call_once(installed, [] {
    // A process started in a new process group ignores Ctrl+C until told otherwise.
    SetConsoleCtrlHandler(nullptr, FALSE);
    installed_ok = SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  });
  return installed_ok;
}

}  // namespace zelsnmp
