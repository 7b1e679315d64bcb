#include "tools/check/report_printer.h"

#include <algorithm>

#include "tools/check/display_text.h"
#include "tools/check/option_report.h"

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

void PrintAgent(std::ostream& out, const CheckedAgent& agent, const ProbeResult* probe) {
  out << "[" << Displayable(agent.entry.section_name) << "]  line " << LineCell(agent.line)
      << "\n  host " << (agent.host.empty() ? "(none)" : Displayable(agent.host));
  if (!agent.host.empty()) {
    out << (agent.resolved.empty() ? std::string("  (does not resolve)")
                                   : "  (resolves to " + agent.resolved + ")");
  }
  out << "\n  community " << Displayable(agent.community)
      << (agent.default_community ? "  (the default)" : "") << "\n";
  PrintAgentOptions(out, agent.entry);
  if (probe != nullptr) {
    out << "  probe: ";
    if (probe->not_polled) {
      out << "not asked: its options hold a mistake\n";
    } else if (!probe->answered) {
      out << "no answer within the time-out (" << probe->elapsed_ms << " ms)\n";
    } else if (probe->error_status != 0) {
      out << "answered from " << probe->from << " with error status " << probe->error_status
          << ": treated as no answer\n";
    } else {
      out << "answered from " << probe->from << " in " << probe->elapsed_ms << " ms\n";
    }
    if (probe->size) out << "  request size: " << DescribeSizeProbe(*probe->size) << "\n";
  }
  if (agent.points.empty()) return;
  Table table;
  if (probe == nullptr) {
    table.AddRow({"LINE", "KEY", "KIND", "TM POINT", "OID"});
  } else {
    table.AddRow({"LINE", "KEY", "KIND", "TM POINT", "OID", "VALUE", "THE TASK WRITES", "WHY"});
  }
  for (std::size_t i = 0; i < agent.points.size(); ++i) {
    const CheckedPoint& point = agent.points[i];
    std::vector<std::string> row = {LineCell(point.line), Displayable(point.config_line.Name()),
                                    KindCell(point.address), TmPointCell(point.address),
                                    OidCell(point)};
    if (probe != nullptr && i < probe->lines.size()) {
      const ProbedLine& probed = probe->lines[i];
      const bool values = probe->answered && probe->error_status == 0;
      row.push_back(values ? DescribeBinding(probed) : "-");
      row.push_back(DescribeWrite(probed.write));
      row.push_back(DescribeReason(probed.write));
    }
    table.AddRow(std::move(row));
  }
  table.Print(out, "  ");
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
    if (probe.not_polled) continue;  // the option mistake is reported already
    if (const std::optional<std::string> advice = SizeAdvice(probe.size, agent.entry)) {
      report.findings.push_back({agent.line, Severity::kWarning, "probe: " + *advice});
    }
    if (!probe.answered || probe.error_status != 0) {
      report.findings.push_back(
          {agent.line, Severity::kWarning,
           "probe: [" + Displayable(agent.entry.section_name) + "] " +
               (probe.answered ? "refused the request (error status " +
                                     std::to_string(probe.error_status) + ")"
                               : "did not answer") +
               ": its #TC and #TT points are flagged"});
      continue;
    }
    for (std::size_t i = 0; i < agent.points.size() && i < probe.lines.size(); ++i) {
      const PointWriteReason reason = probe.lines[i].write.reason;
      if (reason == PointWriteReason::kNoValue || reason == PointWriteReason::kNotANumber ||
          reason == PointWriteReason::kNotAFloat || reason == PointWriteReason::kFloatOverflow) {
        report.findings.push_back({agent.points[i].line, Severity::kWarning,
                                   "probe: " + DescribeBinding(probe.lines[i]) + " gives " +
                                       DescribeWrite(probe.lines[i].write) + ": " +
                                       DescribeReason(probe.lines[i].write)});
      }
    }
  }
  std::stable_sort(report.findings.begin(), report.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
}

void PrintReport(std::ostream& out, const std::string& path, const CheckReport& report,
                 const std::vector<ProbeResult>& probes) {
  out << "Configuration " << path << "\n";
  for (std::size_t a = 0; a < report.agents.size(); ++a) {
    out << "\n";
    PrintAgent(out, report.agents[a], a < probes.size() ? &probes[a] : nullptr);
  }
  if (!report.findings.empty()) {
    out << "\n";
    Table table;
    for (const Finding& finding : report.findings) {
      table.AddRow({finding.line > 0 ? "line " + std::to_string(finding.line) : "file",
                    SeverityName(finding.severity) + ":", finding.text});
    }
    table.Print(out, "");
  }
  out << "\n" << SummaryLine(report) << "\n";
}

}  // namespace zelsnmp::check
