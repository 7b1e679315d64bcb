#include "poller/agent_poller.h"

#include <exception>
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

}  // namespace

AgentPoller::AgentPoller(std::int32_t tm_connection, ClientFactory make_client)
    : tm_connection_(tm_connection),
      make_client_(make_client ? std::move(make_client) : ClientFactory(MakeDefaultClient)),
      client_(make_client_()) {}

void AgentPoller::RunPass(const PollConfig& config) {
  try {
    Trace(PollMessages().pass_started);
    if (requests_in_flight_ > 1) return RunWindowedPass(config);
    for (const AgentEntry& agent : config.agents) {
      if (!PollAgent(agent)) return;
    }
  } catch (const std::exception& error) {
    LogError(error.what());
  }
}

bool AgentPoller::PollAgent(const AgentEntry& agent) {
  FillAgentQuery(*client_, agent);
  bool answered = false;
  try {
    answered = client_->SendQuery();
  } catch (const std::exception& error) {
    LogError(PollMessages().send_query_failed + error.what());
    ReplaceClient();
    return false;
  }
  ApplyReply(agent, answered);
  return true;
}

void AgentPoller::ApplyReply(const AgentEntry& agent, bool answered) {
  const PollTexts& texts = PollMessages();
  if (!answered) {
    Trace(texts.no_answer_from + agent.section_name + texts.line_end);
    FlagSilentAgent(agent);
  } else if (const std::int32_t status = client_->Reply().ErrorStatus; status != 0) {
    // An answer refusing the request (tooBig, genErr, ...) carries no values to write.
    Trace(texts.answer_error + std::to_string(status) + texts.answer_error_from +
          agent.section_name + texts.line_end);
    FlagSilentAgent(agent);
  } else {
    Trace(texts.answer_from + agent.section_name + texts.line_end);
    WriteAnswer(agent);
  }
}

void AgentPoller::WriteAnswer(const AgentEntry& agent) {
  for (const PointLine& line : agent.lines) {
    const std::string oid = line.Value();
    const std::string address = line.Name();
    const TSNMPMib* binding = FindReplyBinding(client_->Reply(), oid);
    TraceValue(oid, address, binding != nullptr ? binding->ValueText : std::string());
    const PointAddress at = ScanPointAddress(address);
    CarryOut(tm_connection_, at, DecideAnswerWrite(at, binding));
  }
}

void AgentPoller::FlagSilentAgent(const AgentEntry& agent) {
  for (const PointLine& line : agent.lines) {
    const PointAddress at = ScanPointAddress(line.Name());
    CarryOut(tm_connection_, at, DecideSilentWrite(at));
  }
}

void AgentPoller::ReplaceClient() {
  // Made before the old one goes, so that a failure to make it leaves a client to poll with.
  std::unique_ptr<TSNMPSend> fresh = make_client_();
  client_ = std::move(fresh);
}

}  // namespace zelsnmp
