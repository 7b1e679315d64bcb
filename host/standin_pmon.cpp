// The stand-in of nodehub's process monitor and trace facility.
//
// Registration creates the start and stop events and keeps them for the life of the process;
// SIGINT and SIGTERM then signal the stop event, so the task stops in order just as when the
// monitor asks it to. Calls are logged to <site>/log/pmon.log and <site>/log/trace.log.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/nodehub.h"
#include "host/standin_site.h"
#include "sys/event.h"
#include "sys/process.h"
#include "util/cp1251.h"

namespace zelsnmp::standin {
namespace {

struct ProcessMonitor {
  std::mutex mutex;
  std::vector<std::unique_ptr<zelsnmp::Event>> events;  // kept until the process ends
};

ProcessMonitor& Monitor() {
  static ProcessMonitor monitor;
  return monitor;
}

// The start event logs its signal; the "fire-start" fault makes the signal fail instead.
bool OnStartSignalled() {
  if (FaultRequested("fire-start")) return false;
  AppendToSiteLog("pmon.log", LocalTimeStamp() + " started pid=" +
                                  std::to_string(zelsnmp::CurrentProcessId()) + "\n");
  return true;
}

zelsnmp::EventHandle KeepEvent(std::unique_ptr<zelsnmp::Event> event) {
  const zelsnmp::EventHandle handle = event->handle();
  ProcessMonitor& monitor = Monitor();
  std::lock_guard lock(monitor.mutex);
  monitor.events.push_back(std::move(event));
  return handle;
}

}  // namespace
}  // namespace zelsnmp::standin

using namespace zelsnmp::standin;

extern "C" {

std::int32_t strac_AllocServer(StracServerRecord* record, std::int32_t process_id, std::int32_t,
                               char* trace_name, char* type_string) {
  if (record != nullptr) {
    record->words[0] = process_id;
    record->words[1] = 1;
  }
  const std::string details = "pid=" + std::to_string(process_id) +
                              " name=" + zelsnmp::Cp1251ToUtf8(TextOf(trace_name)) +
                              " type=" + zelsnmp::Cp1251ToUtf8(TextOf(type_string));
  RecordCall("strac_AllocServer " + details);
  AppendToSiteLog("trace.log", LocalTimeStamp() + " alloc " + details + "\n");
  return 1;
}

std::int32_t strac_SetServerState(StracServerRecord*, std::int32_t state) {
  RecordCall("strac_SetServerState " + std::to_string(state));
  AppendToSiteLog("trace.log", LocalTimeStamp() + " state " + std::to_string(state) + "\n");
  return 1;
}

std::int32_t nhPmonLocalRegisterProcess(std::int32_t argument_count,
                                        const char* const* arguments,
                                        nhEventHandle* start_event, nhEventHandle* stop_event) {
  std::string joined;
  for (std::int32_t i = 0; arguments != nullptr && i < argument_count; ++i) {
    if (i > 0) joined += ' ';
    joined += zelsnmp::Cp1251ToUtf8(TextOf(arguments[i]));
  }
  RecordCall("nhPmonLocalRegisterProcess " + std::to_string(argument_count) + " " + joined);
  AppendToSiteLog("pmon.log", LocalTimeStamp() + " register pid=" +
                                  std::to_string(zelsnmp::CurrentProcessId()) + " args=" +
                                  joined + "\n");
  if (start_event != nullptr) {
    *start_event = FaultRequested("start-event")
                       ? nullptr
                       : KeepEvent(std::make_unique<zelsnmp::Event>(OnStartSignalled));
  }
  if (stop_event != nullptr) {
    *stop_event = nullptr;
    if (!FaultRequested("stop-event")) {
      *stop_event = KeepEvent(std::make_unique<zelsnmp::Event>());
      zelsnmp::SignalEventOnStopRequest(*stop_event);
    }
  }
  return 1;
}

}  // extern "C"
