#include "app/startup.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "app/messages.h"
#include "host/nodehub.h"
#include "host/scadalink.h"
#include "poller/poll_cycle.h"
#include "sys/clock.h"
#include "sys/event.h"
#include "sys/file.h"
#include "sys/process.h"
#include "util/text_end.h"

// The names the trace facility reads from the program image, written once before any host call.
// The build marks them for export where the platform needs that said in the source (Windows:
// __declspec(dllexport); elsewhere ENABLE_EXPORTS puts them into the dynamic symbol table).
#ifndef ZELSNMP_EXPORTED_DATA
#define ZELSNMP_EXPORTED_DATA
#endif
extern "C" {
ZELSNMP_EXPORTED_DATA char lpszServerTypeString[204];
ZELSNMP_EXPORTED_DATA char lpszServerTraceName[204];

// The TM server client may call this on connection events; the task has nothing to do then.
static void ZELSNMP_HOST_CALL ConnectEventCallback(std::int32_t, std::int32_t, std::int32_t) {}
}

namespace zelsnmp {

namespace {

constexpr std::int32_t kSystemTimeBufferBytes = 84;
constexpr std::int32_t kNameBufferBytes = 81;
constexpr std::int32_t kErrorTextBytes = 512;
constexpr std::int32_t kFileGetTimeoutMs = 60000;
constexpr std::int32_t kStateRegistered = 0;
constexpr std::int32_t kStatePolling = 1;
constexpr std::int32_t kStateStopped = 2;

void CopyName(const std::string& text, char (&buffer)[204]) {
  const size_t length = std::min(text.size(), sizeof buffer - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

// The text a host call left in a buffer, never read past its end.
template <size_t kSize>
std::string BufferText(const char (&buffer)[kSize]) {
  return std::string(TextUpToZero(std::string_view(buffer, kSize)));
}

// The connection to the TM server as start-up leaves it: the id and the names it really reached.
struct TmConnection {
  std::int32_t id = 0;
  std::string machine;
  std::string server;
};

// Steps 10 to 13: connect, and read back where the connection went; id 0 when it failed.
TmConnection ConnectToTmServer(const std::string& server, const std::string& machine) {
  char system_time[kSystemTimeBufferBytes];
  system_time[0] = '\0';
  // A server name with "{" names a server the TM client resolves itself, without a machine.
  const bool resolved_by_client = server.find('{') != std::string::npos;
  TmConnection connection;
  connection.id = slConnect(resolved_by_client ? "" : machine.c_str(), server.c_str(), 0,
                            ConnectEventCallback, 0);
  if (connection.id > 0) slSystemTime(connection.id, system_time, 0);
  if (connection.id <= 0 || slIsConnected(connection.id) == 0) {
    e_printf(Texts().tm_not_connected.c_str(), server.c_str(), machine.c_str(), 0, 0, 0);
    connection.id = 0;
    return connection;
  }
  char machine_buffer[kNameBufferBytes];
  char server_buffer[kNameBufferBytes];
  machine_buffer[0] = '\0';
  server_buffer[0] = '\0';
  slGetCurrentServer(connection.id, machine_buffer, kNameBufferBytes, server_buffer,
                     kNameBufferBytes);
  connection.machine = BufferText(machine_buffer);
  connection.server = BufferText(server_buffer);
  return connection;
}

// Steps 14 to 16: fetch the configuration file into the current directory. Gives the local
// path, or empty text when there is no file.
std::string FetchConfigFile(const std::string& machine, const std::string& server,
                            const std::string& file_name) {
  std::int32_t error_word = 0;
  std::int32_t out_word = 0;
  char error_text[kErrorTextBytes];
  error_text[0] = '\0';
  d_printf(Texts().config_connect_enter.c_str(), machine.c_str(), 0, 0, 0, 0);
  const std::int32_t handle = nhConnect(machine.c_str(), &error_word, error_text, kErrorTextBytes);
  d_printf(Texts().config_connect_exit.c_str(), 0, 0, 0, 0, 0);
  if (handle <= 0) {
    e_printf(Texts().config_server_unreachable.c_str(), machine.c_str(), 0, 0, 0, 0);
    return std::string();
  }
  char local_name[64];
  std::snprintf(local_name, sizeof local_name, "zelSNMP_%d_%d",
                static_cast<int>(static_cast<std::int32_t>(TickCountMs())),
                static_cast<int>(CurrentProcessId()));
  std::string local_path = PathInCurrentDirectory(local_name);
  d_printf(Texts().file_get_enter.c_str(), 0, 0, 0, 0, 0);
  const std::string remote_path = "TM_SERVER\\" + server + "\\" + file_name;
  error_text[0] = '\0';
  if (nhFileGet(handle, remote_path.c_str(), local_path.c_str(), kFileGetTimeoutMs, &out_word,
                &error_word, error_text, kErrorTextBytes) == 0) {
    const std::string reason = BufferText(error_text);
    e_printf(Texts().file_not_fetched.c_str(), file_name.c_str(), machine.c_str(),
             reason.c_str(), 0, 0);
    // A failed fetch may have left part of a file behind; nobody else would remove it.
    RemoveFile(local_path);
    local_path.clear();
  }
  d_printf(Texts().file_get_exit.c_str(), 0, 0, 0, 0, 0);
  nhDisconnect(handle);
  return local_path;
}

}  // namespace

void RunTask(const std::vector<std::string>& all_arguments) {
  CopyName(Texts().server_type, lpszServerTypeString);
  CopyName(Texts().trace_name, lpszServerTraceName);

  StracServerRecord trace_record{};
  strac_AllocServer(&trace_record, CurrentProcessId(), 0, lpszServerTraceName,
                    lpszServerTypeString);
  strac_SetServerState(&trace_record, kStateRegistered);

  const std::vector<std::string> arguments = SeenArguments(all_arguments);
  std::vector<const char*> argument_texts;
  for (const std::string& argument : arguments) argument_texts.push_back(argument.c_str());
  nhEventHandle start_event = nullptr;
  nhEventHandle stop_event = nullptr;
  nhPmonLocalRegisterProcess(static_cast<std::int32_t>(arguments.size()), argument_texts.data(),
                             &start_event, &stop_event);

  if (stop_event == nullptr) {
    e_printf(Texts().no_stop_event.c_str(), 0, 0, 0, 0, 0);
    return;
  }
  if (start_event == nullptr) {
    e_printf(Texts().no_start_event.c_str(), 0, 0, 0, 0, 0);
    return;
  }
  if (!SignalEvent(start_event)) {
    e_printf(Texts().start_not_fired.c_str(), 0, 0, 0, 0, 0);
    return;
  }
  m_printf(Texts().task_started.c_str(), 0, 0, 0, 0, 0);

  if (arguments.size() < 2) {
    e_printf(Texts().no_server_name.c_str(), 0, 0, 0, 0, 0);
    return;
  }
  const std::string& server = arguments[1];
  const std::string machine = arguments.size() > 2 ? arguments[2] : std::string(".");
  std::string config_file_name = ConfigFileNameArgument(arguments);
  if (config_file_name.empty()) {
    config_file_name = DefaultConfigFileName(arguments[0], ProgramPathSeparators());
  }

  const TmConnection tm = ConnectToTmServer(server, machine);
  if (tm.id <= 0) return;

  const std::string config_path = FetchConfigFile(tm.machine, tm.server, config_file_name);

  const WindowArgument window = ReadWindowArgument(arguments);
  if (window.problem != WindowArgument::Problem::kNone) {
    const bool above = window.problem == WindowArgument::Problem::kAboveLargest;
    std::string line = above ? Texts().window_above_largest : Texts().window_not_understood;
    line += window.argument;
    line +=
        above ? Texts().window_above_largest_rest + std::to_string(window.requests_in_flight) + "\n"
              : Texts().window_not_understood_rest;
    e_printf("%s", line.c_str(), 0, 0, 0, 0);
  }

  const NotificationArgument notification = ReadNotificationArgument(arguments);
  if (notification.malformed) {
    const std::string line = Texts().notification_not_understood + notification.argument +
                             Texts().notification_not_understood_rest;
    e_printf("%s", line.c_str(), 0, 0, 0, 0);
  }

  strac_SetServerState(&trace_record, kStatePolling);
  RunPollCycle(stop_event, tm.id, config_path, window.requests_in_flight, notification.port,
               tm.server, tm.machine);
  m_printf(Texts().task_stopped.c_str(), 0, 0, 0, 0, 0);
  strac_SetServerState(&trace_record, kStateStopped);
  slDisconnect(tm.id);
}

}  // namespace zelsnmp
