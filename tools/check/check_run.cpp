#include "tools/check/check_run.h"

#include <charconv>
#include <new>
#include <optional>

#include "snmp/snmp_client.h"
#include "snmp/usm_authority.h"
#include "snmp/usm_engine.h"
#include "tools/check/config_check.h"
#include "tools/check/display_text.h"
#include "tools/check/point_report.h"
#include "tools/check/probe.h"
#include "tools/check/report_printer.h"

namespace zelsnmp::check {

namespace {

constexpr std::string_view kVersion = "zelsnmp-check 1.0";
constexpr std::int32_t kMaxTimeoutMs = 600000;

constexpr std::string_view kUsage =
    "usage: zelsnmp-check [--probe] [--timeout MS] [--wide] [--server NAME [--machine NAME]]\n"
    "                     CONFIG_FILE\n"
    "\n"
    "Checks a zelSNMP configuration file as the task will load it: each agent with its host,\n"
    "community and options, each line with its point kind, its numbers as the TM server\n"
    "receives them and its OID as it travels, and every mistake found, with its line number.\n"
    "\n"
    "  --probe       ask each agent once, as the task does, and show per line what the task\n"
    "                would write into its point and why (no TM server is touched); for a\n"
    "                request refused or not answered, find the largest request the device\n"
    "                answers and the @max-oids to write\n"
    "  --timeout MS  how long the probe waits for each agent (default 5000, as the task;\n"
    "                an agent's @timeout wins)\n"
    "  --wide        show long OIDs, values and texts whole instead of fitting 80 columns\n"
    "  --server NAME the TM server the task connects to, and --machine NAME its machine\n"
    "                (default \".\"), as the task's message log names them: show the\n"
    "                engine ID that senders of SNMPv3 informs meet\n"
    "  --help        print this text\n"
    "  --version     print the version\n"
    "\n"
    "Exit status: 0 clean, 1 warnings only, 2 errors, 3 the file could not be read or the\n"
    "command line is not understood.\n";

struct CheckOptions {
  bool probe = false;
  bool wide = false;
  std::int32_t timeout_ms = kDefaultReceiveTimeoutMs;
  std::string path;
  std::optional<std::string> tm_server;
  std::string tm_machine = ".";
};

std::optional<std::int32_t> ParseTimeout(const std::string& text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 ||
      value > kMaxTimeoutMs) {
    return std::nullopt;
  }
  return value;
}

int CheckAndPrint(const CheckOptions& options, std::ostream& out, std::ostream& err) {
  std::string error;
  std::optional<CheckReport> report = CheckConfigFile(options.path, error);
  if (!report) {
    err << "zelsnmp-check: " << error << "\n";
    return kExitUnreadable;
  }
  const std::size_t width = options.wide ? 0 : kTerminalColumns;
  const std::string inform_engine =
      options.tm_server ? EngineIdHex(AuthoritativeEngineId(*options.tm_server, options.tm_machine))
                        : std::string();
  if (!options.probe) {
    PrintReport(out, options.path, *report, {}, width, inform_engine);
    return report->ExitStatus();
  }
  // Each agent is shown as soon as it is asked: a pass over silent agents takes a time-out
  // each, and the operator sees the answers come.
  PrintReportHead(out, options.path);
  out.flush();
  std::vector<ProbeResult> probes;
  for (const CheckedAgent& agent : report->agents) {
    // Resolution failed in the check already; the task's client would send nothing either.
    probes.push_back(agent.resolved.empty() ? NotSent(agent.entry)
                                            : ProbeAgent(agent.entry, options.timeout_ms));
    ApplyProbedSources(agent.entry, probes.back());
    PrintReportAgent(out, agent, &probes.back(), width);
    out.flush();
  }
  AddProbeFindings(*report, probes);
  PrintReportTail(out, *report, width, inform_engine);
  return report->ExitStatus();
}

}  // namespace

int RunCheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  CheckOptions options;
  auto usage_error = [&err](const std::string& text) {
    err << "zelsnmp-check: " << text << "\n" << kUsage;
    return kExitUnreadable;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      out << kUsage;
      return 0;
    } else if (argument == "--version") {
      out << kVersion << "\n";
      return 0;
    } else if (argument == "--probe") {
      options.probe = true;
    } else if (argument == "--wide") {
      options.wide = true;
    } else if (argument == "--timeout") {
      std::optional<std::int32_t> timeout;
      if (i + 1 < arguments.size()) timeout = ParseTimeout(arguments[++i]);
      if (!timeout) return usage_error("--timeout needs milliseconds from 1 to 600000");
      options.timeout_ms = *timeout;
    } else if (argument == "--server" || argument == "--machine") {
      if (i + 1 >= arguments.size()) return usage_error(argument + " needs a name");
      (argument == "--server" ? options.tm_server.emplace() : options.tm_machine) =
          arguments[++i];
    } else if (argument.starts_with("-") && argument != "-") {
      return usage_error("unknown option " + argument);
    } else if (!options.path.empty()) {
      return usage_error("one configuration file only");
    } else {
      options.path = argument;
    }
  }
  if (options.path.empty()) return usage_error("no configuration file given");

  // A configuration too large for the memory at hand ends as an unreadable one, not in a crash.
  try {
    return CheckAndPrint(options, out, err);
  } catch (const std::bad_alloc&) {
    err << "zelsnmp-check: not enough memory to check " << options.path << "\n";
    return kExitUnreadable;
  }
}

}  // namespace zelsnmp::check
