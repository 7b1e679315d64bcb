// The poll pass's part in what a point shows beyond a bare OID: lines whose value carries
// modifiers go through the value rules (poller/value_rules.h) with their rate bases kept from
// pass to pass, and each agent's device points (poller/device_points.h) are written once its
// last request of the pass is applied. Bare OID lines never come here. Serial and windowed
// passes call these in the same order for the same answers, so both write the same.
//
// Trace lines, each ending in CR LF: the reported value as for any line ("OID(address)=value");
// then, for a line with modifiers, either the result ("OID(address) rate scale=0.008: 812.4") or
// why nothing is written (a base, a restart, a conversion error, a result the point cannot
// hold); for a device point "@status(address)=N" and "@rtt(address)=MS".

#include <chrono>
#include <optional>
#include <string>

#include "host/nodehub.h"
#include "poller/agent_poller.h"
#include "poller/point_messages.h"
#include "poller/poll_messages.h"
#include "snmp/ber.h"
#include "util/parse_int.h"
#include "util/text_end.h"

namespace zelsnmp {

namespace {

void Trace(const std::string& text) { d_printf("%s", text.c_str(), 0, 0, 0, 0); }

std::int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}


}  // namespace

void AgentPoller::WriteSourceLine(const RequestPlan& plan, const RequestPart& part,
                                  std::size_t index, const TSNMPRec& reply) {
  const AgentEntry& agent = plan.Agent(part.agent);
  const PointLine& line = agent.lines[index];
  const PointSource& source = line.Source();
  if (source.DevicePoint()) return;
  const std::string address = line.Name();
  const PointAddress at = ScanPointAddress(address);
  if (source.Mistaken()) {
    // Not polled: flagged as the points of an agent that is not polled.
    Write(at, DecideSilentWrite(at));
    return;
  }
  const PollTexts& texts = PollMessages();
  const bool row = source.kind == SourceKind::kRow;
  if (row && !rows_.Found(part.agent, index)) {
    // Not found: flagged as a value the device does not report; "#TS" keeps what it had.
    Write(at, DecideSilentWrite(at));
    return;
  }
  // A row line asks its column at the row's index: that OID is traced.
  const std::string oid = row ? rows_.Line(part.agent, index)->oid : line.Oid();
  const bool asked = plan.Asked(part.agent, index);
  if (row && asked && !RowStillHolds(agent, part.agent, index, reply)) return;
  const TSNMPMib* binding = asked ? FindReplyBinding(reply, oid) : nullptr;
  Trace(oid + "(" + address + ")=" +
        std::string(TextUpToZero(binding != nullptr ? binding->ValueText : std::string())) +
        texts.line_end);
  if (CarriesNoValue(binding) || !source.HasModifiers() || at.kind == PointKind::kNone) {
    TakesPartOutcome(agent, part.agent, index, CarriesNoValue(binding));
    Write(at, DecideAnswerWrite(at, binding));
    return;
  }
  RateBase* base = nullptr;
  ValueTime time;
  if (source.rate) {
    base = &rate_bases_.BaseOf(agent.section_name, part.agent, agent.lines.size(), index);
    time.uptime_ticks = ReplyUptime(reply);
    time.clock_ms = MonotonicMs();
    if (const UsmSession* session = security_.SessionOf(part.agent); session != nullptr) {
      const std::int32_t boots = session->engine().engine_boots();
      if (boots > 0) time.engine_boots = boots;
    }
  }
  const ModifiedValue value =
      ApplyModifiers(source, at.kind, binding->ValueTag, binding->ValueText, base, time);
  const PointTexts& point_texts = PointMessages();
  const std::string named = oid + "(" + address + ")";
  switch (value.step) {
    case ValueStep::kWritten:
      Trace(named + " " + DescribeModifiers(source) + ": " + ShowNumber(value.number) +
            texts.line_end);
      Write(at, value.write);
      break;
    case ValueStep::kRateBase:
      Trace(named + point_texts.rate_base + texts.line_end);
      break;
    case ValueStep::kRateRestart:
      Trace(named + point_texts.rate_restart + texts.line_end);
      break;
    case ValueStep::kRateTypeChanged:
      Trace(named + point_texts.rate_type_changed + texts.line_end);
      break;
    case ValueStep::kRateNoTime:
      Trace(named + point_texts.rate_no_time + texts.line_end);
      break;
    case ValueStep::kNotANumber:
      Trace(texts.conversion_error);
      break;
    case ValueStep::kOutOfRange:
      Trace(named + point_texts.out_of_range + ShowNumber(value.number) + texts.line_end);
      break;
  }
}

bool AgentPoller::TakesPartOutcome(const AgentEntry& entry, std::size_t agent,
                                   std::size_t line, bool no_value) {
  const PointSource& source = entry.lines[line].Source();
  if (source.DevicePoint()) return false;
  // The device reported no value: the next one is only a base.
  if (no_value && source.rate && (source.OnWire() || source.kind == SourceKind::kRow)) {
    rate_bases_.BaseOf(entry.section_name, agent, entry.lines.size(), line).set = false;
  }
  return true;
}

void AgentPoller::NoteRequest(std::size_t agent, bool answered, double elapsed_ms,
                              const UsmStatus* security) {
  DevicePass& pass = device_passes_[agent];
  pass.NoteRequest(answered, elapsed_ms);
  if (security != nullptr && IsUsmRefusal(*security)) pass.Note(kDeviceRefused);
}

void AgentPoller::WriteDevicePoints(const PollConfig& config, std::size_t agent) {
  const AgentEntry& entry = config.agents[agent];
  const DevicePass& pass = device_passes_[agent];
  const PollTexts& texts = PollMessages();
  for (const PointLine& line : entry.lines) {
    if (!line.Source().DevicePoint()) continue;
    const std::string address = line.Name();
    const PointAddress at = ScanPointAddress(address);
    std::optional<double> shown;
    const ModifiedValue value = DecideDeviceWrite(line.Source(), at.kind, pass, shown);
    const std::string named = line.Oid() + "(" + address + ")";
    if (value.step == ValueStep::kOutOfRange) {
      Trace(named + PointMessages().out_of_range + ShowNumber(value.number) + texts.line_end);
      continue;
    }
    Trace(named + "=" + (shown ? ShowNumber(*shown) : PointMessages().no_rtt) + texts.line_end);
    Write(at, value.write);
  }
}

}  // namespace zelsnmp
