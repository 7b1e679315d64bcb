// The texts of start-up and shutdown: the two exported names and every log line, each with its
// own line end.
//
// They are written here as readable UTF-8 and converted to the Windows-1251 bytes that cross the
// host interface in one place, on first use. No text holds a "%" other than its own
// conversions, so each may serve as the format of its log output.

#ifndef ZELSNMP_APP_MESSAGES_H_
#define ZELSNMP_APP_MESSAGES_H_

#include <string>

namespace zelsnmp {

struct StartupTexts {
  std::string server_type;               // lpszServerTypeString
  std::string trace_name;                // lpszServerTraceName
  std::string no_stop_event;             // E1
  std::string no_start_event;            // E2
  std::string start_not_fired;           // E3
  std::string task_started;              // M1
  std::string no_server_name;            // E4
  std::string tm_not_connected;          // E5: server name, machine name
  std::string config_connect_enter;      // D1: machine name
  std::string config_connect_exit;       // D2
  std::string config_server_unreachable; // E6: machine name; no line end
  std::string file_get_enter;            // D3
  std::string file_not_fetched;          // E7: file name, machine name, error text
  std::string file_get_exit;             // D4
  std::string task_stopped;              // M2
  // Error lines about the "/p" argument, each + the argument verbatim + its rest (LF at the end).
  std::string window_above_largest;      // + argument + window_above_largest_rest + "256" + LF
  std::string window_above_largest_rest;
  std::string window_not_understood;     // + argument + window_not_understood_rest
  std::string window_not_understood_rest;
  // Error line about a malformed "/t" argument: + argument + notification_not_understood_rest.
  std::string notification_not_understood;
  std::string notification_not_understood_rest;
};

// The texts in Windows-1251.
const StartupTexts& Texts();

}  // namespace zelsnmp

#endif  // ZELSNMP_APP_MESSAGES_H_
