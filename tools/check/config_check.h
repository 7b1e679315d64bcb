// The configuration check: what the task will make of a configuration file, and the mistakes in
// it, found before the task runs.
//
// The file is loaded with the task's own loader (from a temporary copy, since loading deletes
// the file), so the agents and lines are exactly those the task polls; a second, line-by-line
// read gives their line numbers (config_lines.h). Each agent is reported with its host,
// community and whether the host resolves; each line with its point kind, its numbers as the
// TM server receives them and its OID as it travels in the request.
//
// Findings are errors (the task will poll something other than what the line says, or the
// reply can never be written: an OID that travels as another, a point written by two lines, an
// agent without host, a file without agents) or warnings (text the task ignores or cuts, lines
// only traced that look like point addresses, numbers cut to 16 bits, hosts that do not
// resolve, bytes that are no text). Notes explain without counting.

#ifndef ZELSNMP_TOOLS_CHECK_CONFIG_CHECK_H_
#define ZELSNMP_TOOLS_CHECK_CONFIG_CHECK_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "poller/point_write.h"
#include "poller/poll_config.h"

namespace zelsnmp::check {

enum class Severity { kNote, kWarning, kError };

struct Finding {
  int line = 0;  // 0 when it concerns no single line
  Severity severity = Severity::kNote;
  std::string text;  // UTF-8
};

struct CheckedPoint {
  int line = 0;
  PointLine config_line;    // as the task holds it
  PointAddress address;
  std::string oid;          // the configured OID text
  std::string oid_sent;     // the OID as the request carries it and a reply names it
};

struct CheckedAgent {
  int line = 0;
  AgentEntry entry;         // as the task holds it
  std::string host;
  std::string community;
  bool default_community = false;
  std::string resolved;     // the address the host resolves to; empty when it does not
  std::vector<CheckedPoint> points;
};

struct CheckReport {
  std::vector<CheckedAgent> agents;
  std::vector<Finding> findings;  // in line order
  int points = 0;                 // lines with a point kind

  int Count(Severity severity) const;
  // 0 clean, 1 warnings only, 2 errors.
  int ExitStatus() const;
};

// Resolves a host as the task's client does; gives the address text, or nothing.
using HostResolver = std::function<std::optional<std::string>(const std::string& host)>;
std::optional<std::string> ResolveLikeTheTask(const std::string& host);

// Checks the configuration at `path`; nothing when the file cannot be read (`error` says why).
std::optional<CheckReport> CheckConfigFile(const std::string& path, std::string& error,
                                           const HostResolver& resolve = ResolveLikeTheTask);

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_CONFIG_CHECK_H_
