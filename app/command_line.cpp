#include "app/command_line.h"

namespace zelsnmp {

std::vector<std::string> SeenArguments(std::vector<std::string> arguments) {
  if (arguments.size() > kMaxSeenArguments) arguments.resize(kMaxSeenArguments);
  return arguments;
}

std::string ConfigFileNameArgument(const std::vector<std::string>& arguments) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() >= 2 && argument[0] == '/' && (argument[1] == 'f' || argument[1] == 'F')) {
      return argument.substr(2);
    }
  }
  return std::string();
}

WindowArgument ReadWindowArgument(const std::vector<std::string>& arguments) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() < 2 || argument[0] != '/' || (argument[1] != 'p' && argument[1] != 'P')) {
      continue;
    }
    WindowArgument window{1, WindowArgument::Problem::kNone, argument};
    const std::string_view digits = std::string_view(argument).substr(2);
    if (digits.empty()) {
      window.requests_in_flight = kDefaultRequestsInFlight;
      return window;
    }
    int count = 0;
    for (const char digit : digits) {
      if (digit < '0' || digit > '9') {
        window.problem = WindowArgument::Problem::kNotANumber;
        return window;
      }
      // Saturates: any number beyond the largest runs at the largest.
      if (count <= kMaxRequestsInFlight) count = count * 10 + (digit - '0');
    }
    if (count < 1) {
      window.problem = WindowArgument::Problem::kNotANumber;
    } else if (count > kMaxRequestsInFlight) {
      window.requests_in_flight = kMaxRequestsInFlight;
      window.problem = WindowArgument::Problem::kAboveLargest;
    } else {
      window.requests_in_flight = count;
    }
    return window;
  }
  return WindowArgument{};
}

NotificationArgument ReadNotificationArgument(const std::vector<std::string>& arguments) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() < 2 || argument[0] != '/' || (argument[1] != 't' && argument[1] != 'T')) {
      continue;
    }
    NotificationArgument notification{0, false, argument};
    const std::string_view digits = std::string_view(argument).substr(2);
    if (digits.empty()) {
      notification.port = kNotificationPortWhenUnnamed;
      return notification;
    }
    long port = 0;
    for (const char digit : digits) {
      if (digit < '0' || digit > '9' || port > 65535) {
        notification.malformed = true;
        return notification;
      }
      port = port * 10 + (digit - '0');
    }
    if (port < 1 || port > 65535) {
      notification.malformed = true;
    } else {
      notification.port = static_cast<int>(port);
    }
    return notification;
  }
  return NotificationArgument{};
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
