#include "tools/check/point_report.h"

#include "poller/device_points.h"
#include "poller/point_messages.h"
#include "poller/value_rules.h"
#include "tools/check/display_text.h"

namespace zelsnmp::check {

namespace {

constexpr std::int32_t kErrorStatusTooBig = 1;

std::string Why(SourceProblem problem) {
  switch (problem) {
    case SourceProblem::kNone: return "";
    case SourceProblem::kUnknownSource: return "no such source (@status or @rtt)";
    case SourceProblem::kUnknownModifier: return "no such modifier (rate, scale=K, offset=C)";
    case SourceProblem::kRepeatedModifier: return "a modifier given twice";
    case SourceProblem::kNotANumber: return "no decimal number";
    case SourceProblem::kModifierOnStatus: return "a #TC point takes no rate, scale or offset";
    case SourceProblem::kRateOnDeviceStatus: return "no rate of a device point";
    case SourceProblem::kRttOnStatus: return "a #TC point shows no response time";
    case SourceProblem::kDevicePointNoPoint: return "a device point needs a #TC, #TS or #TT key";
    case SourceProblem::kBadColumn: return "the column is no dotted OID";
    case SourceProblem::kBadKeyColumn: return "the key column is no dotted OID";
    case SourceProblem::kBadRow: return "COLUMN[KEYCOLUMN=KEY] needed";
    case SourceProblem::kUnclosedQuote: return "the key's quote is not closed";
  }
  return "";
}

// The device's state after the probe, as the pass would have found it.
DevicePass PassOf(const ProbeResult& probe) {
  DevicePass pass;
  if (probe.not_polled) {
    pass.Note(kDeviceNotPolled);
    return pass;
  }
  if (!probe.sent) {
    pass.NoteRequest(false, 0);
    return pass;
  }
  pass.NoteRequest(probe.answered, static_cast<double>(probe.elapsed_ms));
  if (!probe.answered && probe.engine && IsUsmRefusal(probe.engine->status)) {
    pass.Note(kDeviceRefused);
  }
  if (probe.answered && probe.error_status != 0 && probe.error_status != kErrorStatusTooBig) {
    pass.Note(kDeviceRefused);
  }
  return pass;
}

}  // namespace

std::string DescribePointMistake(const PointMistake& mistake) {
  return Displayable(mistake.key) + ": " + Why(mistake.problem) +
         (mistake.word.empty() ? "" : " (\"" + Displayable(mistake.word) + "\")") +
         "; the line is not polled, its point is flagged";
}

void AddPointFindings(const PollConfig& config, std::vector<Finding>& findings) {
  for (const PointMistake& mistake : config.point_mistakes) {
    findings.push_back({mistake.line, Severity::kError, DescribePointMistake(mistake)});
  }
}

std::string ModifiersCell(const PointLine& line) {
  if (line.Source().bare) return "";
  const std::string modifiers = ModifierWords(line.Value(), line.Source());
  return modifiers.empty() ? "" : "  " + modifiers;
}

void ApplyProbedSources(const AgentEntry& agent, ProbeResult& probe) {
  const DevicePass pass = PassOf(probe);
  for (std::size_t i = 0; i < agent.lines.size() && i < probe.lines.size(); ++i) {
    const PointSource& source = agent.lines[i].Source();
    if (source.bare) continue;
    ProbedLine& probed = probe.lines[i];
    // What the walk found for a row goes before what the modifiers make of its value.
    const std::string row_note = probed.note;
    const PointKind kind = ScanPointAddress(agent.lines[i].Name()).kind;
    if (source.Mistaken()) {
      probed.write = DecideSilentWrite(PointAddress{kind});
      probed.note = "not polled: the line holds a mistake";
      continue;
    }
    if (source.DevicePoint()) {
      std::optional<double> shown;
      const ModifiedValue value = DecideDeviceWrite(source, kind, pass, shown);
      probed.has_binding = false;
      probed.write = value.write;
      probed.note = agent.lines[i].Oid() + " " + (shown ? ShowNumber(*shown) : "(no answer)");
      continue;
    }
    const bool values = probe.answered && probe.error_status == 0;
    if (!values || !probed.has_binding || CarriesNoValue(&probed.binding) ||
        !source.HasModifiers() || kind == PointKind::kNone) {
      continue;
    }
    RateBase base;
    const ModifiedValue value = ApplyModifiers(source, kind, probed.binding.ValueTag,
                                               probed.binding.ValueText, &base, ValueTime());
    probed.write = value.write;
    switch (value.step) {
      case ValueStep::kWritten:
        probed.note = DescribeModifiers(source) + ": " + ShowNumber(value.number);
        break;
      case ValueStep::kOutOfRange:
        probed.note = DescribeModifiers(source) + ": " + ShowNumber(value.number) +
                      ", which the point cannot hold";
        break;
      case ValueStep::kNotANumber:
        probed.note = "no number: a conversion error is traced";
        break;
      default:
        probed.note = "a rate's first value is only its base";
        break;
    }
    if (!row_note.empty()) probed.note = row_note + "; " + probed.note;
  }
}

}  // namespace zelsnmp::check
