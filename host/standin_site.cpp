#include "host/standin_site.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>

#include "sys/clock.h"
#include "sys/file_appender.h"
#include "sys/process.h"
#include "util/cp1251.h"

namespace zelsnmp::standin {

namespace {

std::string_view Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string_view(value) : std::string_view();
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::filesystem::path SitePath() {
  const std::string_view site = Environment("ZELSNMP_SITE");
  return site.empty() ? std::filesystem::path("site") : std::filesystem::path(site);
}

void AppendToSiteLog(std::string_view file_name, std::string_view utf8_text) {
  // Each log file is kept open once written; the folder is made when an append finds it
  // missing, not before every line.
  // They are found by the site's setting and the file name, so that the paths are made once.
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<FileAppender>, std::less<>> logs;
  std::string key(Environment("ZELSNMP_SITE"));
  key += '\0';
  key += file_name;
  std::lock_guard lock(mutex);
  std::unique_ptr<FileAppender>& log = logs[key];
  if (!log) log = std::make_unique<FileAppender>((SitePath() / "log" / file_name).string());
  if (log->Append(utf8_text)) return;
  const std::filesystem::path log_directory = SitePath() / "log";
  std::error_code ignored;
  if (std::filesystem::is_directory(log_directory, ignored)) return;
  std::filesystem::create_directories(log_directory, ignored);
  log->Append(utf8_text);
}

bool FaultRequested(std::string_view fault) {
  std::string_view faults = Environment("ZELSNMP_SIM_FAIL");
  while (!faults.empty()) {
    const size_t comma = faults.find(',');
    if (faults.substr(0, comma) == fault) return true;
    if (comma == std::string_view::npos) break;
    faults.remove_prefix(comma + 1);
  }
  return false;
}

bool IsLocalMachine(std::string_view machine) {
  if (machine.empty() || machine == "." || EqualIgnoringCase(machine, "localhost") ||
      machine == "127.0.0.1") {
    return true;
  }
  const std::string host = LocalHostName();
  return !host.empty() && EqualIgnoringCase(machine, host);
}

bool IsSinglePathComponent(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\:") == std::string_view::npos;
}

std::filesystem::path PathFromCp1251(std::string_view name) {
  return std::filesystem::path(Cp1251ToUtf8(name));
}

std::string LocalTimeStamp(char separator) {
  const LocalTime now = LocalTimeNow();
  // "%04d-%02d-%02d%c%02d:%02d:%02d.%03d", written digit by digit (a line of the journal
  // and of several logs carries one).
  std::string text;
  text.reserve(24);
  auto digits = [&text](int value, int count) {
    if (value < 0) {
      text += '-';
      value = -value;
      --count;
    }
    char buffer[12];
    int length = 0;
    do {
      buffer[length++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    for (int i = length; i < count; ++i) text += '0';
    while (length > 0) text += buffer[--length];
  };
  digits(now.year, 4);
  text += '-';
  digits(now.month, 2);
  text += '-';
  digits(now.day, 2);
  text += separator;
  digits(now.hour, 2);
  text += ':';
  digits(now.minute, 2);
  text += ':';
  digits(now.second, 2);
  text += '.';
  digits(now.millisecond, 3);
  return text;
}

void CopyToBuffer(std::string_view text, char* buffer, std::int32_t capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const size_t length = std::min(text.size(), static_cast<size_t>(capacity) - 1);
  text.copy(buffer, length);
  buffer[length] = '\0';
}

std::string QuotedForRecord(std::string_view cp1251_text) {
  return "\"" + Cp1251ToUtf8(cp1251_text) + "\"";
}

void RecordCall(std::string_view utf8_line) {
  if (Environment("ZELSNMP_SIM_CALLS") != "1") return;
  AppendToSiteLog("calls.log", std::string(utf8_line) + "\n");
}

}  // namespace zelsnmp::standin
