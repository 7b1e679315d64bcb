// The stand-in's common ground: where its site lies, how it writes there, which machine names
// mean this computer, which faults a run asked for, and the time stamps of its files.
//
// The site is the directory named by ZELSNMP_SITE (read in the platform's own form, so that any
// character survives), or "site" in the current directory when that is unset or empty; it is
// read on every use, so a process may change it between calls. Texts written into the site are
// UTF-8; texts that cross the host interface are Windows-1251.

#ifndef ZELSNMP_HOST_STANDIN_SITE_H_
#define ZELSNMP_HOST_STANDIN_SITE_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace zelsnmp::standin {

std::filesystem::path SitePath();

// Appends `utf8_text` to <site>/log/<file_name>, creating log/ when missing; nothing when the
// site folder itself is missing.
void AppendToSiteLog(std::string_view file_name, std::string_view utf8_text);

// True when ZELSNMP_SIM_FAIL lists `fault` (comma-separated, exact names). A listed name that
// is no fault is reported once on standard error, with the names of the faults.
bool FaultRequested(std::string_view fault);

// Empty, ".", "localhost", "127.0.0.1" or this computer's host name, regardless of case.
bool IsLocalMachine(std::string_view machine);

// A name that may stand for one directory below a site folder: not empty, no "/", "\" or ":",
// not "." or "..".
bool IsSinglePathComponent(std::string_view name);

// The file-system path of a Windows-1251 name, with every character kept on every platform
// (never built from the bytes one by one, which would garble all but ASCII on Windows).
std::filesystem::path PathFromCp1251(std::string_view name);

// "YYYY-MM-DD hh:mm:ss.mmm" of the local time, with `separator` between date and time.
std::string LocalTimeStamp(char separator = ' ');

// Copies `text` into a caller's buffer of `capacity` bytes, cut to fit with its zero byte.
// Nothing is written when the buffer is null or has no room even for the zero byte.
void CopyToBuffer(std::string_view text, char* buffer, std::int32_t capacity);

// A C text as a view; null reads as empty.
inline std::string_view TextOf(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

// When ZELSNMP_SIM_CALLS is 1, appends one line naming a host call and its arguments to
// <site>/log/calls.log, so that a run can be checked call by call.
void RecordCall(std::string_view utf8_line);

// A Windows-1251 text argument as the call record shows it: in UTF-8, between double quotes.
std::string QuotedForRecord(std::string_view cp1251_text);

}  // namespace zelsnmp::standin

#endif  // ZELSNMP_HOST_STANDIN_SITE_H_
