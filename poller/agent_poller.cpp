#include "poller/agent_poller.h"

#include <cmath>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "host/nodehub.h"
#include "host/scadalink.h"
#include "poller/poll_messages.h"
#include "poller/scanner.h"
#include "snmp/ber.h"
#include "snmp/snmp_message.h"
#include "util/parse_float.h"
#include "util/parse_int.h"
#include "util/text_end.h"

namespace zelsnmp {

namespace {

constexpr std::uint16_t kPointFlagNoAnswer = 0x0001;

// The smallest magnitude that rounds to infinity in single precision: the largest single value
// plus half of its last place (the tie rounds to even, which is upwards here).
constexpr double kSingleOverflowMagnitude = 0x1.ffffffp127;

enum class PointKind {
  kNone,           // any other point address: the value is only traced
  kStatusOneBased, // "#TC": a status point fed with the value minus 1
  kStatus,         // "#TS": a status point fed with the value
  kAnalog,         // "#TT": an analog point fed with a float
};

struct PointAddress {
  PointKind kind = PointKind::kNone;
  std::uint16_t channel = 0;
  std::uint16_t rtu = 0;
  std::uint16_t point = 0;
};

// The forms are tried in this order; the first that yields all three numbers decides.
struct PointForm {
  std::string_view format;
  PointKind kind;
};
constexpr PointForm kPointForms[] = {
    {"#TC%d:%d:%d", PointKind::kStatusOneBased},
    {"#TS%d:%d:%d", PointKind::kStatus},
    {"#TT%d:%d:%d", PointKind::kAnalog},
};

// The TM server takes the low 16 bits of each number.
std::uint16_t Low16(std::int32_t value) { return static_cast<std::uint16_t>(value); }

PointAddress ScanPointAddress(std::string_view address) {
  for (const PointForm& form : kPointForms) {
    std::int32_t channel = 0;
    std::int32_t rtu = 0;
    std::int32_t point = 0;
    if (ScanText(address, form.format, &channel, &rtu, &point) == 3) {
      return {form.kind, Low16(channel), Low16(rtu), Low16(point)};
    }
  }
  return {};
}

// Run-time text never serves as a format: a "%" in it reaches the log unchanged.
void Trace(const std::string& text) { d_printf("%s", text.c_str(), 0, 0, 0, 0); }
void LogError(const std::string& text) { e_printf("%s", text.c_str(), 0, 0, 0, 0); }

// A value text may hold zero bytes (raw OCTET STRING); the log takes it up to the first one,
// and the line still ends where it should.
void TraceValue(const std::string& oid, const std::string& address, const std::string& value) {
  Trace(oid + "(" + address + ")=" + std::string(TextUpToZero(value)) +
        PollMessages().line_end);
}

void WriteAnalog(std::int32_t tm, const PointAddress& at, const std::string& value_text) {
  const FloatParseResult parsed = ParseFloatText(value_text);
  if (parsed.error_position != 0) {
    Trace(PollMessages().conversion_error);
    return;
  }
  // An infinity in an analog point would poison every calculation fed from it: the value is
  // refused and the point keeps what it had.
  if (std::fabs(parsed.value) >= kSingleOverflowMagnitude) {
    LogError(PollMessages().float_overflow);
    return;
  }
  slSetAnalogFloatCodeUT(tm, at.channel, at.rtu, at.point, static_cast<float>(parsed.value), 0,
                         0, 0);
}

void WriteValue(std::int32_t tm, const std::string& address, const std::string& value_text) {
  const PointAddress at = ScanPointAddress(address);
  switch (at.kind) {
    case PointKind::kStatusOneBased: {
      // Wraps like the 32-bit arithmetic of the TM server for the one value without a
      // predecessor, -2147483648.
      const auto value = static_cast<std::uint32_t>(ParseIntDefault(value_text, 1)) - 1u;
      slSetStatus(tm, at.channel, at.rtu, at.point, static_cast<std::int32_t>(value), 0, 0);
      break;
    }
    case PointKind::kStatus:
      slSetStatus(tm, at.channel, at.rtu, at.point, ParseIntDefault(value_text, 0), 0, 0);
      break;
    case PointKind::kAnalog:
      WriteAnalog(tm, at, value_text);
      break;
    case PointKind::kNone:
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
  BuildQuery(agent);
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

void AgentPoller::BuildQuery(const AgentEntry& agent) {
  TSNMPRec& query = client_->Query();
  query.ResetMessage();
  query.Community = agent.Community();
  client_->TargetHost = agent.Host();
  query.Version = kSnmpVersion2c;
  for (const PointLine& line : agent.lines) query.AddBinding(line.Value(), "", TagNull);
  query.PDUType = PduGetRequest;
}

void AgentPoller::WriteAnswer(const AgentEntry& agent) {
  for (const PointLine& line : agent.lines) {
    const std::string oid = line.Value();
    const std::string address = line.Name();
    const std::string value_text = client_->Reply().BindingValue(oid);
    TraceValue(oid, address, value_text);
    WriteValue(tm_connection_, address, value_text);
  }
}

void AgentPoller::FlagSilentAgent(const AgentEntry& agent) {
  for (const PointLine& line : agent.lines) {
    const PointAddress at = ScanPointAddress(line.Name());
    if (at.kind == PointKind::kStatusOneBased) {
      slSetStatusFlags(tm_connection_, at.channel, at.rtu, at.point, kPointFlagNoAnswer);
    } else if (at.kind == PointKind::kAnalog) {
      slSetAnalogFlags(tm_connection_, at.channel, at.rtu, at.point, kPointFlagNoAnswer);
    }
  }
}

void AgentPoller::ReplaceClient() {
  // Made before the old one goes, so that a failure to make it leaves a client to poll with.
  std::unique_ptr<TSNMPSend> fresh = make_client_();
  client_ = std::move(fresh);
}

}  // namespace zelsnmp
