// Events: one side signals, the other waits for the signal with a time-out.
//
// An event starts unsignalled and, once signalled, stays signalled (there is no reset), as the
// process monitor's start and stop events do. Whoever creates an Event owns it; other parts of
// the program hold only its EventHandle, the value that crosses the host interface (a Windows
// event handle on Windows). A null handle means "no event": signalling it fails, waiting on it
// fails.
//
// The host's stand-in creates the events; the task signals the start event and waits on the stop
// event. SignalEventOnStopRequest lets an interrupt from outside (SIGINT, SIGTERM; Ctrl+C and
// console close on Windows) signal an event; that path is async-signal-safe.

#ifndef ZELSNMP_SYS_EVENT_H_
#define ZELSNMP_SYS_EVENT_H_

#include <cstdint>
#include <functional>
#include <memory>

namespace zelsnmp {

using EventHandle = void*;

struct EventState;  // the platform's side of an Event

class Event {
 public:
  // `signal_hook`, when set, runs on the signalling thread each time SignalEvent is called for
  // this event, before the event is set; when it returns false, the signalling fails and the
  // event stays as it was. Interrupts routed by SignalEventOnStopRequest bypass the hook.
  explicit Event(std::function<bool()> signal_hook = {});
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Null when the platform could not create the event.
  EventHandle handle() const;

 private:
  std::unique_ptr<EventState> state_;
};

// Signals the event; false when the handle is null or the signal could not be given.
bool SignalEvent(EventHandle event);

enum class EventWaitResult { kSignalled, kTimedOut, kFailed };

// Waits until the event is signalled or `timeout_ms` milliseconds have passed.
EventWaitResult WaitForEvent(EventHandle event, std::uint32_t timeout_ms);

// From now on, a request from outside to stop the process (SIGINT or SIGTERM; on Windows
// Ctrl+C, Ctrl+Break, console close, log-off, shut-down) signals `event` instead of ending the
// process. The event must outlive the process's use of it. False when
// the handlers could not be installed.
bool SignalEventOnStopRequest(EventHandle event);

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_EVENT_H_
