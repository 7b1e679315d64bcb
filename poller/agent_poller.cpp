#include "poller/agent_poller.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "host/nodehub.h"
#include "host/scadalink.h"
#include "poller/agent_query.h"
#include "poller/poll_messages.h"
#include "poller/point_write.h"
#include "util/text_end.h"

namespace zelsnmp {

namespace {

constexpr std::int32_t kErrorStatusTooBig = 1;

// Run-time text never serves as a format: a "%" in it reaches the log unchanged.
void Trace(const std::string& text) { d_printf("%s", text.c_str(), 0, 0, 0, 0); }
void LogError(const std::string& text) { e_printf("%s", text.c_str(), 0, 0, 0, 0); }

// A value text may hold zero bytes (raw OCTET STRING); the log takes it up to the first one,
// and the line still ends where it should.
void TraceValue(const std::string& oid, const std::string& address, const std::string& value) {
  Trace(oid + "(" + address + ")=" + std::string(TextUpToZero(value)) +
        PollMessages().line_end);
}

void CarryOut(std::int32_t tm, const PointAddress& at, const PointWrite& write) {
  switch (write.kind) {
    case PointWriteKind::kStatus:
      slSetStatus(tm, at.channel, at.rtu, at.point, write.status, 0, 0);
      break;
    case PointWriteKind::kStatusFlags:
      slSetStatusFlags(tm, at.channel, at.rtu, at.point, kPointFlagNoAnswer);
      break;
    case PointWriteKind::kAnalog:
      slSetAnalogFloatCodeUT(tm, at.channel, at.rtu, at.point, write.analog, 0, 0, 0);
      break;
    case PointWriteKind::kAnalogFlags:
      slSetAnalogFlags(tm, at.channel, at.rtu, at.point, kPointFlagNoAnswer);
      break;
    case PointWriteKind::kNothing:
      if (write.reason == PointWriteReason::kNotAFloat) {
        Trace(PollMessages().conversion_error);
      } else if (write.reason == PointWriteReason::kFloatOverflow) {
        LogError(PollMessages().float_overflow);
      }
      break;
  }
}

std::unique_ptr<TSNMPSend> MakeDefaultClient() { return std::make_unique<TSNMPSend>(); }

RequestTarget SettingsOf(const TSNMPSend& client) {
  return RequestTarget{client.TargetHost, client.TargetPort, client.Timeout, client.Retries};
}

}  // namespace

AgentPoller::AgentPoller(std::int32_t tm_connection, ClientFactory make_client)
    : tm_connection_(tm_connection),
      make_client_(make_client ? std::move(make_client) : ClientFactory(MakeDefaultClient)),
      client_(make_client_()),
      client_defaults_(SettingsOf(*client_)) {}

void AgentPoller::RunPass(const PollConfig& config) {
  try {
    Trace(PollMessages().pass_started);
    security_.Prepare(config);
    pass_ = passes_;
    RequestPlan plan(config, fits_, passes_++, client_defaults_.retries);
    rows_.Fit(config);
    plan.UseRows(&rows_);
    device_passes_.assign(config.agents.size(), DevicePass());
    if (requests_in_flight_ > 1) return RunWindowedPass(plan);
    for (std::size_t agent = 0; agent < config.agents.size(); ++agent) {
      if (!WalkRows(plan, agent)) return;
      if (!PollAgent(plan, agent)) return;
    }
  } catch (const std::exception& error) {
    LogError(error.what());
  }
}

RequestTarget AgentPoller::TargetOf(const RequestPlan& plan, std::size_t index) const {
  const AgentEntry& agent = plan.Agent(index);
  const AgentOptions& options = agent.options;
  RequestTarget target;
  target.host = agent.Host();
  target.port = options.port ? std::to_string(*options.port) : client_defaults_.port;
  target.timeout_ms = options.timeout_ms.value_or(client_defaults_.timeout_ms);
  target.retries = options.retries.value_or(client_defaults_.retries);
  target.security = security_.SessionOf(index);
  return target;
}

bool AgentPoller::PollAgent(RequestPlan& plan, std::size_t agent) {
  const AgentEntry& entry = plan.Agent(agent);
  // Kept from agent to agent, so that a pass allocates it once.
  std::vector<RequestPart>& parts = parts_;
  plan.Plan(agent, parts);
  if (entry.options.mistaken) {
    ApplyNotPolled(entry);
    device_passes_[agent].Note(kDeviceNotPolled);
    WriteDevicePoints(plan.Config(), agent);
    return true;
  }
  // Depth first: the requests that replace one go before the ones after it.
  std::reverse(parts.begin(), parts.end());
  while (!parts.empty()) {
    const RequestPart part = parts.back();
    parts.pop_back();
    std::vector<RequestPart> follow_ups;
    if (plan.AsksNothing(part)) {
      follow_ups = ApplyOutcome(plan, part, Outcome::kNotAsked, client_->Reply());
    } else {
      RequestTarget target = TargetOf(plan, agent);
      client_->TargetHost = std::move(target.host);
      client_->TargetPort = std::move(target.port);
      client_->Timeout = target.timeout_ms;
      client_->Retries = target.retries;
      client_->Security = target.security;
      plan.FillQuery(client_->Query(), part);
      bool answered = false;
      const auto sent_at = std::chrono::steady_clock::now();
      try {
        answered = client_->SendQuery();
      } catch (const std::exception& error) {
        LogError(PollMessages().send_query_failed + error.what());
        ReplaceClient();
        device_passes_[agent].Note(kDeviceUnanswered);
        WriteDevicePoints(plan.Config(), agent);
        return false;
      }
      const UsmSession* const session = security_.SessionOf(agent);
      const UsmStatus status = session != nullptr ? session->status() : UsmStatus{};
      if (session != nullptr) security_.NoteOutcome(plan.Config(), agent, status);
      const Outcome outcome = AskedOutcome(answered, session, status);
      // A request too long for the engine was not sent: its parts go instead.
      if (outcome != Outcome::kTooLarge) {
        NoteRequest(agent, answered,
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                              sent_at)
                        .count(),
                    session != nullptr ? &status : nullptr);
      }
      follow_ups = ApplyOutcome(plan, part, outcome,
                                client_->Reply());
    }
    parts.insert(parts.end(), follow_ups.rbegin(), follow_ups.rend());
  }
  FinishAgent(plan, agent);
  WriteDevicePoints(plan.Config(), agent);
  return true;
}

AgentPoller::Outcome AgentPoller::AskedOutcome(bool answered, const UsmSession* security,
                                               const UsmStatus& status) {
  if (answered) return Outcome::kAnswer;
  if (security != nullptr && status.outcome == UsmOutcome::kRequestTooLarge) {
    return Outcome::kTooLarge;
  }
  return Outcome::kNoAnswer;
}

std::vector<RequestPart> AgentPoller::ApplyOutcome(RequestPlan& plan, const RequestPart& part,
                                                   Outcome outcome, const TSNMPRec& reply) {
  const PollTexts& texts = PollMessages();
  const AgentEntry& agent = plan.Agent(part.agent);
  switch (outcome) {
    case Outcome::kNotAsked:
      // Every line of the request was left out: values the device does not report.
      for (std::size_t line = part.first; line < part.end; ++line) {
        if (!TakesPartOutcome(agent, part.agent, line, true)) continue;
        const PointAddress at = ScanPointAddress(agent.lines[line].Name());
        CarryOut(tm_connection_, at, DecideAnswerWrite(at, nullptr));
      }
      return {};
    case Outcome::kNoAnswer:
      Trace(texts.no_answer_from + agent.section_name + texts.line_end);
      FlagLines(agent, part.first, part.end);
      return {};
    case Outcome::kAnswer:
    case Outcome::kTooLarge:
      break;
  }
  const bool too_large = outcome == Outcome::kTooLarge;
  if (const std::int32_t status = too_large ? kErrorStatusTooBig : reply.ErrorStatus; status != 0) {
    Trace(texts.answer_error + std::to_string(status) + texts.answer_error_from +
          agent.section_name + texts.line_end);
    // An answer refusing the request carries no values to write; parts of it may go again.
    RequestPlan::Refusal refusal = plan.React(part, status, too_large ? 0 : reply.ErrorIndex);
    if (refusal.flag_lines) {
      device_passes_[part.agent].Note(kDeviceRefused);
      FlagLines(agent, part.first, part.end);
    }
    return std::move(refusal.follow_ups);
  }
  Trace(texts.answer_from + agent.section_name + texts.line_end);
  if (rows_.AgentOrNull(part.agent) != nullptr) NoteRowClock(part.agent, reply);
  plan.Answered(part);
  WriteAnswer(plan, part, reply);
  return {};
}

void AgentPoller::WriteAnswer(const RequestPlan& plan, const RequestPart& part,
                              const TSNMPRec& reply) {
  const AgentEntry& agent = plan.Agent(part.agent);
  for (std::size_t index = part.first; index < part.end; ++index) {
    const PointLine& line = agent.lines[index];
    if (!line.Source().bare) {
      WriteSourceLine(plan, part, index, reply);
      continue;
    }
    const std::string oid = line.Value();
    const std::string address = line.Name();
    // A line left out of the request is a value the device does not report.
    const TSNMPMib* binding =
        plan.Asked(part.agent, index) ? FindReplyBinding(reply, oid) : nullptr;
    TraceValue(oid, address, binding != nullptr ? binding->ValueText : std::string());
    const PointAddress at = ScanPointAddress(address);
    CarryOut(tm_connection_, at, DecideAnswerWrite(at, binding));
  }
}

void AgentPoller::FlagLines(const AgentEntry& agent, std::size_t first, std::size_t end) {
  for (std::size_t line = first; line < end; ++line) {
    if (agent.lines[line].Source().DevicePoint()) continue;
    const PointAddress at = ScanPointAddress(agent.lines[line].Name());
    CarryOut(tm_connection_, at, DecideSilentWrite(at));
  }
}

void AgentPoller::ApplyNotPolled(const AgentEntry& agent) {
  const PollTexts& texts = PollMessages();
  Trace(texts.not_polled + agent.section_name + texts.line_end);
  FlagLines(agent, 0, agent.lines.size());
}

void AgentPoller::FinishAgent(RequestPlan& plan, std::size_t agent) {
  const std::optional<std::int32_t> kept = plan.Finish(agent);
  if (!kept) return;
  const PollTexts& texts = PollMessages();
  const std::string line = texts.request_size + plan.Agent(agent).section_name +
                           texts.request_size_oids + std::to_string(*kept) + " OID" +
                           texts.line_end;
  m_printf("%s", line.c_str(), 0, 0, 0, 0);
}

void AgentPoller::Write(const PointAddress& at, const PointWrite& write) {
  CarryOut(tm_connection_, at, write);
}

void AgentPoller::ReplaceClient() {
  // Made before the old one goes, so that a failure to make it leaves a client to poll with.
  std::unique_ptr<TSNMPSend> fresh = make_client_();
  client_defaults_ = SettingsOf(*fresh);
  client_ = std::move(fresh);
  if (wait_hook_) HookClient();
}

}  // namespace zelsnmp
