// The task's reading of its command line: which arguments it sees and which configuration file
// they name.
//
// Arguments are Windows-1251 texts; element 0 is the program's full path. At most ten elements
// are seen (the program and nine arguments); a later "/f" argument has no effect.

#ifndef ZELSNMP_APP_COMMAND_LINE_H_
#define ZELSNMP_APP_COMMAND_LINE_H_

#include <string>
#include <string_view>
#include <vector>

namespace zelsnmp {

inline constexpr size_t kMaxSeenArguments = 10;

// The first ten elements at most.
std::vector<std::string> SeenArguments(std::vector<std::string> arguments);

// The configuration file name of the first of arguments 1 onwards that begins with "/f" or "/F"
// (the server name included): the rest of that argument. Empty when there is no such argument
// or it is "/f" alone; the scan stops at the first such argument either way.
std::string ConfigFileNameArgument(const std::vector<std::string>& arguments);

// How many agents' requests a poll pass keeps in flight, from the first of arguments 1 onwards
// that begins with "/p" or "/P": the decimal number after those two characters (1 to 256), or
// 32 when nothing follows them; a larger number runs at 256. 1 (one request after the other)
// when there is no such argument or its rest is no number from 1 up; the scan stops at the
// first such argument either way. What was not taken as written is told, so that start-up
// can say so in the error log.
inline constexpr int kDefaultRequestsInFlight = 32;
inline constexpr int kMaxRequestsInFlight = 256;
struct WindowArgument {
  enum class Problem { kNone, kAboveLargest, kNotANumber };
  int requests_in_flight = 1;
  Problem problem = Problem::kNone;
  std::string argument;  // the "/p" argument as given; empty when there is none
};
WindowArgument ReadWindowArgument(const std::vector<std::string>& arguments);
inline int RequestsInFlightArgument(const std::vector<std::string>& arguments) {
  return ReadWindowArgument(arguments).requests_in_flight;
}

// The UDP port to take notifications on, from the first of arguments 1 onwards that begins
// with "/t" or "/T": 162 for "/t" alone, else the decimal number after those two characters
// (1 to 65535). 0 (no listening) when there is no such argument, or, with `malformed` set,
// when its rest is no such number; the scan stops at the first such argument either way.
inline constexpr int kNotificationPortWhenUnnamed = 162;
struct NotificationArgument {
  int port = 0;
  bool malformed = false;
  std::string argument;  // the "/t" argument as given; empty when there is none
};
NotificationArgument ReadNotificationArgument(const std::vector<std::string>& arguments);

// "_" + the file-name part of the program path (after its last separator) with its extension
// (from its last point on) replaced by ".cfg", or ".cfg" appended when it has none.
std::string DefaultConfigFileName(std::string_view program_path, std::string_view separators);

}  // namespace zelsnmp

#endif  // ZELSNMP_APP_COMMAND_LINE_H_
