// The stand-in of nodehub's three log outputs.
//
// Each formats its text from the format and the five arguments the task always passes, turns it
// from Windows-1251 into UTF-8 and appends it, exactly as formatted (no time stamp, no line end
// added), to <site>/log/error.log, message.log or debug.log. Errors and messages are echoed to
// standard error; the debug trace only when ZELSNMP_DEBUG is 1.
//
// Formatting follows printf for %s, %d, %i, %u, %x, %X, %c and %% with flags, width and
// precision. At most five arguments are taken, since no more are passed; any other conversion,
// and every one after the fifth, is copied as it stands without taking an argument.

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/nodehub.h"
#include "host/standin_site.h"
#include "sys/process.h"
#include "util/cp1251.h"

namespace zelsnmp::standin {
namespace {

constexpr int kPassedArguments = 5;
constexpr size_t kMaxFieldDigits = 4;  // keeps a width or precision below 10000

std::string FormatLogText(const char* format, va_list arguments) {
  std::string text;
  if (format == nullptr) return text;
  int taken = 0;
  const char* cursor = format;
  while (*cursor != '\0') {
    if (*cursor != '%') {
      text += *cursor++;
      continue;
    }
    if (cursor[1] == '%') {
      text += '%';
      cursor += 2;
      continue;
    }
    // The conversion spec: flags, width, precision, conversion letter.
    const char* end = cursor + 1;
    while (*end != '\0' && std::string_view("-+ #0").find(*end) != std::string_view::npos) ++end;
    const char* digits = end;
    while (*end >= '0' && *end <= '9') ++end;
    bool fits = static_cast<size_t>(end - digits) <= kMaxFieldDigits;
    if (*end == '.') {
      digits = ++end;
      while (*end >= '0' && *end <= '9') ++end;
      fits = fits && static_cast<size_t>(end - digits) <= kMaxFieldDigits;
    }
    const char conversion = *end;
    const bool known =
        conversion != '\0' && std::string_view("sdiuxXc").find(conversion) != std::string_view::npos;
    if (!known || !fits || taken >= kPassedArguments) {
      text.append(cursor, static_cast<size_t>(end - cursor));
      if (conversion != '\0') text += conversion;
      cursor = conversion != '\0' ? end + 1 : end;
      continue;
    }
    ++taken;
    const std::string spec(cursor, static_cast<size_t>(end - cursor + 1));
    char field[2 * 10000 + 64];
    int length;
    if (conversion == 's') {
      const char* argument = va_arg(arguments, const char*);
      // A string longer than the field buffer is not cut: it goes through a second, exact pass.
      length = std::snprintf(nullptr, 0, spec.c_str(), argument != nullptr ? argument : "(null)");
      std::string exact(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
      std::snprintf(exact.data(), exact.size(), spec.c_str(),
                    argument != nullptr ? argument : "(null)");
      exact.resize(exact.size() - 1);
      text += exact;
    } else {
      const int argument = va_arg(arguments, int);
      length = std::snprintf(field, sizeof field, spec.c_str(), argument);
      if (length > 0) text.append(field, std::min(static_cast<size_t>(length), sizeof field - 1));
    }
    cursor = end + 1;
  }
  return text;
}

void WriteLog(std::string_view operation, std::string_view file_name, bool echo,
              const char* format, va_list arguments) {
  const std::string utf8 = Cp1251ToUtf8(FormatLogText(format, arguments));
  RecordCall(operation);
  AppendToSiteLog(file_name, utf8);
  if (echo) {
    WriteToStandardError(utf8);
  }
}

bool DebugEchoWanted() {
  const char* debug = std::getenv("ZELSNMP_DEBUG");
  return debug != nullptr && std::string_view(debug) == "1";
}

}  // namespace
}  // namespace zelsnmp::standin

using namespace zelsnmp::standin;

extern "C" {

std::int32_t e_printf(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  WriteLog("e_printf", "error.log", true, format, arguments);
  va_end(arguments);
  return 1;
}

std::int32_t m_printf(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  WriteLog("m_printf", "message.log", true, format, arguments);
  va_end(arguments);
  return 1;
}

std::int32_t d_printf(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  WriteLog("d_printf", "debug.log", DebugEchoWanted(), format, arguments);
  va_end(arguments);
  return 1;
}

}  // extern "C"
