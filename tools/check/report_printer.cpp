#include "tools/check/report_printer.h"

#include <algorithm>

#include "snmp/usm_protocol_names.h"
#include "tools/check/display_text.h"
#include "tools/check/option_report.h"
#include "tools/check/point_report.h"

namespace zelsnmp::check {

namespace {

std::string LineCell(int line) { return line > 0 ? std::to_string(line) : "-"; }

std::string KindCell(const PointAddress& address) {
  switch (address.kind) {
    case PointKind::kStatusOneBased: return "TC";
    case PointKind::kStatus: return "TS";
    case PointKind::kAnalog: return "TT";
    case PointKind::kNone: break;
  }
  return "-";
}

std::string TmPointCell(const PointAddress& address) {
  if (address.kind == PointKind::kNone) return "-";
  return std::to_string(address.channel) + ":" + std::to_string(address.rtu) + ":" +
         std::to_string(address.point);
}

std::string OidCell(const CheckedPoint& point) {
  std::string cell = Displayable(point.oid);
  if (point.oid_sent != point.oid) cell += "  (sent as " + point.oid_sent + ")";
  cell += ModifiersCell(point.config_line);
  return cell;
}

std::string Plural(int count, const std::string& word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kNote: return "note";
    case Severity::kWarning: return "warning";
    case Severity::kError: return "error";
  }
  return "";
}

// A value in a finding's text is cut to this; the probe's table shows it (whole with --wide).
constexpr std::size_t kFindingValueWidth = 40;

// Least widths of the columns cut to fit the terminal: enough to tell the cells apart.
constexpr std::size_t kLeastOidWidth = 24;
constexpr std::size_t kLeastValueWidth = 16;

std::string ProbeLine(const ProbeResult& probe) {
  if (probe.not_polled) return "not asked: its options hold a mistake";
  if (!probe.sent) return "the host does not resolve: nothing was sent";
  const std::string elapsed = std::to_string(probe.elapsed_ms) + " ms";
  if (!probe.answered && probe.engine) {
    switch (probe.engine->status.outcome) {
      case UsmOutcome::kNoAnswer:
      case UsmOutcome::kDiscoveryFailed:
        return "no answer within the time-out (" + elapsed +
               "): a filter and a dead device look the same";
      case UsmOutcome::kEncryptedUnanswered:
        return "no answer to the encrypted request (" + elapsed +
               "): authentication succeeded, so the privacy passphrase or protocol is the "
               "likely cause";
      case UsmOutcome::kRequestTooLarge:
        return "not sent: the request is longer than the engine's msgMaxSize (" + elapsed + ")";
      default:
        return "refused (" + elapsed + ")";
    }
  }
  if (!probe.answered) {
    return "no answer within the time-out (" + elapsed +
           "): a wrong community, a filter and a dead device look the same to a v2c client";
  }
  if (probe.error_status != 0) {
    return "answered from " + probe.from + " with error status " +
           DescribeErrorStatus(probe.error_status) + ": treated as no answer";
  }
  return "answered from " + probe.from + " in " + elapsed;
}

// What a device must carry for the task (started with /t) to take its traps and informs.
std::string DescribeNotificationSender(const CheckedAgent& agent) {
  const AgentOptions& options = agent.entry.options;
  if (options.mistaken) return "none: the options hold a mistake";
  if (agent.resolved.empty()) return "none: no address to know a sender by";
  if (options.version == 3) {
    // What the device's v3 notifications must carry; a passphrase is never shown.
    std::string text = "with /t from " + agent.resolved + ", SNMPv3 user " +
                       Displayable(options.user.value_or("")) + ", ";
    if (options.auth == AuthProtocol::kNone) return text + "noAuthNoPriv";
    text += options.priv == PrivProtocol::kNone ? "authNoPriv, " : "authPriv, ";
    text += std::string(AuthProtocolName(options.auth));
    if (options.priv != PrivProtocol::kNone) {
      text += " and " + std::string(PrivProtocolName(options.priv));
    }
    return text;
  }
  return "with /t from " + agent.resolved + ", community " + Displayable(agent.community);
}

void PrintAgent(std::ostream& out, const CheckedAgent& agent, const ProbeResult* probe,
                std::size_t width) {
  out << "[" << Displayable(agent.entry.section_name) << "]  line " << LineCell(agent.line)
      << "\n  host " << (agent.host.empty() ? "(none)" : Displayable(agent.host));
  if (!agent.host.empty()) {
    out << (agent.resolved.empty() ? std::string("  (does not resolve)")
                                   : "  (resolves to " + agent.resolved + ")");
  }
  const AgentOptions& options = agent.entry.options;
  if (options.version == 3) {
    out << "\n  SNMPv3 user " << Displayable(options.user.value_or("(none)")) << ", "
        << (options.auth == AuthProtocol::kNone   ? "noAuthNoPriv"
            : options.priv == PrivProtocol::kNone ? "authNoPriv"
                                                  : "authPriv")
        << "\n";
  } else {
    out << "\n  community " << Displayable(agent.community)
        << (agent.default_community ? "  (the default)" : "") << "\n";
  }
  Table notification_line;
  notification_line.AddRow({"notifications:", DescribeNotificationSender(agent)});
  notification_line.Print(out, "  ", width);
  PrintAgentOptions(out, agent.entry);
  if (probe != nullptr) {
    Table probe_line;
    probe_line.AddRow({"probe:", ProbeLine(*probe)});
    probe_line.Print(out, "  ", width);
    if (probe->engine) {
      Table engine_line;
      engine_line.AddRow({"security:", DescribeProbedEngine(*probe->engine, probe->answered)});
      engine_line.Print(out, "  ", width);
    }
    if (probe->size) {
      Table size_line;
      size_line.AddRow({"request size:", DescribeSizeProbe(*probe->size)});
      size_line.Print(out, "  ", width);
    }
  }
  if (agent.points.empty()) return;
  Table table;
  table.AllowCut(4, kLeastOidWidth);
  table.AddRow({"LINE", "KEY", "KIND", "TM POINT", "OID"});
  for (const CheckedPoint& point : agent.points) {
    table.AddRow({LineCell(point.line), Displayable(point.config_line.Name()),
                  KindCell(point.address), TmPointCell(point.address), OidCell(point)});
  }
  table.Print(out, "  ", width);
  if (probe == nullptr) return;
  // What the probe found, per line, in a table of its own so that both fit the terminal.
  Table answers;
  answers.AllowCut(1, kLeastValueWidth);
  answers.AddRow({"LINE", "VALUE", "THE TASK WRITES", "WHY"});
  const bool values = probe->answered && probe->error_status == 0;
  for (std::size_t i = 0; i < agent.points.size() && i < probe->lines.size(); ++i) {
    const ProbedLine& probed = probe->lines[i];
    const PointSource& source = agent.points[i].config_line.Source();
    // A row is asked when the probe found it.
    const bool asked = source.OnWire() || (source.kind == SourceKind::kRow && probed.has_binding);
    answers.AddRow({LineCell(agent.points[i].line),
                    values && asked ? DescribeBinding(probed) : "-",
                    DescribeWrite(probed.write),
                    probed.note.empty() ? DescribeReason(probed.write) : probed.note});
  }
  out << "\n";
  answers.Print(out, "  ", width);
}

}  // namespace

std::string SummaryLine(const CheckReport& report) {
  return Plural(static_cast<int>(report.agents.size()), "agent") + ", " +
         Plural(report.points, "point") + ", " +
         Plural(report.Count(Severity::kWarning), "warning") + ", " +
         Plural(report.Count(Severity::kError), "error");
}

void AddProbeFindings(CheckReport& report, const std::vector<ProbeResult>& probes) {
  for (std::size_t a = 0; a < report.agents.size() && a < probes.size(); ++a) {
    const CheckedAgent& agent = report.agents[a];
    const ProbeResult& probe = probes[a];
    // The host's own finding says it does not resolve; an option mistake is an error already.
    if (!probe.sent) continue;
    if (const std::optional<std::string> advice = SizeAdvice(probe.size, agent.entry)) {
      report.findings.push_back({agent.line, Severity::kWarning, "probe: " + *advice});
    }
    if (!probe.answered || probe.error_status != 0) {
      report.findings.push_back(
          {agent.line, Severity::kWarning,
           "probe: [" + Displayable(agent.entry.section_name) + "] " +
               (probe.answered ? "refused the request with error status " +
                                     DescribeErrorStatus(probe.error_status)
                : probe.engine && probe.engine->status.outcome != UsmOutcome::kNoAnswer
                    ? DescribeProbedEngine(*probe.engine, false)
                    : "did not answer") +
               ": its #TC and #TT points are flagged"});
      continue;
    }
    for (std::size_t i = 0; i < agent.points.size() && i < probe.lines.size(); ++i) {
      const PointWriteReason reason = probe.lines[i].write.reason;
      if (reason == PointWriteReason::kNoValue || reason == PointWriteReason::kNotANumber ||
          reason == PointWriteReason::kNotAFloat || reason == PointWriteReason::kFloatOverflow) {
        report.findings.push_back({agent.points[i].line, Severity::kWarning,
                                   "probe: " +
                                       CutToWidth(DescribeBinding(probe.lines[i]),
                                                  kFindingValueWidth) +
                                       " gives " +
                                       DescribeWrite(probe.lines[i].write) + ": " +
                                       DescribeReason(probe.lines[i].write)});
      }
    }
  }
  std::stable_sort(report.findings.begin(), report.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
}

void PrintReportHead(std::ostream& out, const std::string& path) {
  out << "Configuration " << path << "\n";
}

void PrintReportAgent(std::ostream& out, const CheckedAgent& agent, const ProbeResult* probe,
                      std::size_t width) {
  out << "\n";
  PrintAgent(out, agent, probe, width);
}

void PrintReportTail(std::ostream& out, const CheckReport& report, std::size_t width,
                     const std::string& inform_engine) {
  const bool any_version3 =
      std::any_of(report.agents.begin(), report.agents.end(), [](const CheckedAgent& agent) {
        return agent.entry.options.version == 3 && !agent.entry.options.mistaken;
      });
  if (any_version3) {
    out << "\nSNMPv3 informs: "
        << (inform_engine.empty()
                ? "the task's engine ID depends on its TM server and machine: give --server "
                  "(and --machine) to see it"
                : "the task's engine ID is " + inform_engine +
                      " (snmpinform finds it by itself; a device may need it set)")
        << "\n";
  }
  if (!report.findings.empty()) {
    out << "\n";
    Table table;
    for (const Finding& finding : report.findings) {
      table.AddRow({finding.line > 0 ? "line " + std::to_string(finding.line) : "file",
                    SeverityName(finding.severity) + ":", finding.text});
    }
    table.Print(out, "", width);
  }
  out << "\n" << SummaryLine(report) << "\n";
}

void PrintReport(std::ostream& out, const std::string& path, const CheckReport& report,
                 const std::vector<ProbeResult>& probes, std::size_t width,
                 const std::string& inform_engine) {
  PrintReportHead(out, path);
  for (std::size_t a = 0; a < report.agents.size(); ++a) {
    PrintReportAgent(out, report.agents[a], a < probes.size() ? &probes[a] : nullptr, width);
  }
  PrintReportTail(out, report, width, inform_engine);
}

}  // namespace zelsnmp::check
