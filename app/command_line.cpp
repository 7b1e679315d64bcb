#include "app/command_line.h"

#include <optional>

namespace zelsnmp {

std::vector<std::string> SeenArguments(std::vector<std::string> arguments) {
  if (arguments.size() > kMaxSeenArguments) arguments.resize(kMaxSeenArguments);
  return arguments;
}

namespace {

// The first of arguments 1 on that begins with "/" and `letter` (either case); null when none
// does.
const std::string* FindSwitch(const std::vector<std::string>& arguments, char lower_letter) {
  const char upper_letter = static_cast<char>(lower_letter - 'a' + 'A');
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() >= 2 && argument[0] == '/' &&
        (argument[1] == lower_letter || argument[1] == upper_letter)) {
      return &argument;
    }
  }
  return nullptr;
}

// The number the decimal `digits` spell, counted no further than above `cap` (any larger
// number gives cap + 1); none when they are empty or hold anything but digits.
std::optional<long> SwitchNumber(std::string_view digits, long cap) {
  if (digits.empty()) return std::nullopt;
  long number = 0;
  for (const char digit : digits) {
    if (digit < '0' || digit > '9') return std::nullopt;
    if (number <= cap) number = number * 10 + (digit - '0');
  }
  return number <= cap ? number : cap + 1;
}

}  // namespace

std::string ConfigFileNameArgument(const std::vector<std::string>& arguments) {
  const std::string* argument = FindSwitch(arguments, 'f');
  return argument != nullptr ? argument->substr(2) : std::string();
}

WindowArgument ReadWindowArgument(const std::vector<std::string>& arguments) {
  const std::string* argument = FindSwitch(arguments, 'p');
  if (argument == nullptr) return WindowArgument{};
  WindowArgument window{1, WindowArgument::Problem::kNone, *argument};
  const std::string_view digits = std::string_view(*argument).substr(2);
  if (digits.empty()) {
    window.requests_in_flight = kDefaultRequestsInFlight;
    return window;
  }
  // Saturates: any number beyond the largest runs at the largest.
  const std::optional<long> count = SwitchNumber(digits, kMaxRequestsInFlight);
  if (!count || *count < 1) {
    window.problem = WindowArgument::Problem::kNotANumber;
  } else if (*count > kMaxRequestsInFlight) {
    window.requests_in_flight = kMaxRequestsInFlight;
    window.problem = WindowArgument::Problem::kAboveLargest;
  } else {
    window.requests_in_flight = static_cast<int>(*count);
  }
  return window;
}

NotificationArgument ReadNotificationArgument(const std::vector<std::string>& arguments) {
  const std::string* argument = FindSwitch(arguments, 't');
  if (argument == nullptr) return NotificationArgument{};
  NotificationArgument notification{0, false, *argument};
  const std::string_view digits = std::string_view(*argument).substr(2);
  if (digits.empty()) {
    notification.port = kNotificationPortWhenUnnamed;
    return notification;
  }
  constexpr long kLargestPort = 65535;
  const std::optional<long> port = SwitchNumber(digits, kLargestPort);
  if (!port || *port < 1 || *port > kLargestPort) {
    notification.malformed = true;
  } else {
    notification.port = static_cast<int>(*port);
  }
  return notification;
}

std::string DefaultConfigFileName(std::string_view program_path, std::string_view separators) {
  std::string_view file_name = program_path;
  const size_t separator = file_name.find_last_of(separators);
  if (separator != std::string_view::npos) file_name.remove_prefix(separator + 1);
  const size_t point = file_name.rfind('.');
  if (point != std::string_view::npos) file_name = file_name.substr(0, point);
  // Built by appending: GCC 12 warns falsely (-Wrestrict) about "..." + std::string.
  std::string name = "_";
  name += file_name;
  name += ".cfg";
  return name;
}

}  // namespace zelsnmp
