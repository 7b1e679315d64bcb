#include "tools/check/probe.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "poller/agent_query.h"
#include "poller/row_book.h"
#include "snmp/ber.h"
#include "snmp/snmp_client.h"
#include "snmp/v3_message.h"
#include "tools/check/display_text.h"

namespace zelsnmp::check {

namespace {

constexpr std::int32_t kErrorStatusTooBig = 1;

std::string TagName(std::int32_t tag) {
  switch (tag) {
    case TagInteger: return "INTEGER";
    case TagOctetString: return "OCTET STRING";
    case TagNull: return "NULL";
    case TagObjectId: return "OBJECT IDENTIFIER";
    case TagIpAddress: return "IpAddress";
    case TagCounter32: return "Counter32";
    case TagGauge32: return "Gauge32";
    case TagTimeTicks: return "TimeTicks";
    case TagOpaque: return "Opaque";
    case TagCounter64: return "Counter64";
    case TagNoSuchObject: return "noSuchObject";
    case TagNoSuchInstance: return "noSuchInstance";
    case TagEndOfMibView: return "endOfMibView";
    default: return "tag " + HexByte(static_cast<unsigned char>(tag));
  }
}

std::string FloatText(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

ProbedEngine EngineOf(const UsmSession& session) {
  ProbedEngine engine;
  engine.engine_id = session.engine().engine_id();
  engine.clock_known = session.engine().synchronized();
  engine.boots = session.engine().engine_boots();
  engine.time = session.engine().latest_received_engine_time();
  engine.level = session.level();
  engine.status = session.status();
  engine.max_message_size = session.engine().max_message_size();
  return engine;
}

std::string OutcomeText(const UsmStatus& status) {
  switch (status.outcome) {
    case UsmOutcome::kNone:
      return "not asked";
    case UsmOutcome::kAnswered:
      return "answered";
    case UsmOutcome::kNoAnswer:
      return "no answer";
    case UsmOutcome::kDiscoveryFailed:
      return "no answer to the discovery of its engine ID";
    case UsmOutcome::kNotInTime:
      return "its clock could not be agreed (notInTimeWindows)";
    case UsmOutcome::kNoKeys:
      return "the user's keys cannot be derived";
    case UsmOutcome::kSendFailed:
      return "the request could not be sent";
    case UsmOutcome::kEncryptedUnanswered:
      return "authentication succeeded (the engine answered an authenticated step), but the "
             "encrypted request got no answer: the privacy passphrase or protocol is the likely "
             "cause";
    case UsmOutcome::kRequestTooLarge:
      return "the request is longer than the engine's msgMaxSize";
    case UsmOutcome::kReport:
      break;
  }
  switch (status.report) {
    case UsmReport::kUnknownUserName:
      return "Report usmStatsUnknownUserNames: no such user";
    case UsmReport::kWrongDigest:
      return "Report usmStatsWrongDigests: wrong authentication passphrase or protocol";
    case UsmReport::kDecryptionError:
      return "Report usmStatsDecryptionErrors: wrong privacy passphrase or protocol";
    case UsmReport::kUnsupportedSecurityLevel:
      return "Report usmStatsUnsupportedSecLevels: the user is not configured for this level";
    case UsmReport::kNotInTimeWindow:
      return "Report usmStatsNotInTimeWindows";
    case UsmReport::kUnknownEngineId:
      return "Report usmStatsUnknownEngineIDs";
    case UsmReport::kNone:
      break;
  }
  return "a Report that names no counter of the security model";
}

// Walks the key columns of the agent's rows as the pass does, one walk per column, and fills
// `rows` with the rows found; per line, what the walk found ("row 13", "not found", "3 rows
// hold the key, the first (row 2) taken"), or why it ended.
std::vector<std::string> ResolveRows(TSNMPSend& client, const AgentEntry& agent, AgentRows& rows) {
  std::vector<std::string> notes(agent.lines.size());
  std::vector<std::size_t> due;
  for (std::size_t line = 0; line < agent.lines.size(); ++line) {
    const PointSource& source = agent.lines[line].Source();
    if (source.kind == SourceKind::kRow && !source.Mistaken()) due.push_back(line);
  }
  if (due.empty()) return notes;
  rows.lines.resize(agent.lines.size());
  bool bulk = true;
  while (!due.empty()) {
    const KeyColumnGroup group = TakeKeyColumnGroup(agent, due);
    const std::string& column = group.column;
    ColumnWalk walk(column, group.keys, WalkRepetitions(agent), bulk);
    while (walk.Next(client.Query(), agent.Community())) {
      walk.Take(client.SendQuery() ? &client.Reply() : nullptr);
    }
    bulk = !walk.BulkRefused();
    const std::string read = std::to_string(walk.RowsRead()) + " rows of " + column + " read";
    for (std::size_t line : group.lines) {
      const RowKey& key = *agent.lines[line].Source().row;
      if (walk.Failed()) {
        notes[line] = "row not found: the walk ended early (" + read + ")";
        continue;
      }
      const KeyMatch& match = *std::find_if(walk.Matches().begin(), walk.Matches().end(),
                                            [&](const KeyMatch& m) { return m.key == key.key; });
      if (match.rows == 0) {
        notes[line] = "row not found: no row holds the key (" + read + ")";
        continue;
      }
      RowLine& row = rows.lines[line];
      row.row = true;
      row.state = RowState::kFound;
      row.index = match.first_index;
      row.oid = std::string(key.column) + "." + row.index;
      row.key_oid = std::string(key.key_column) + "." + row.index;
      notes[line] = match.rows == 1 ? "row " + row.index + ", asked " + row.oid
                                    : std::to_string(match.rows) + " rows hold the key, the first (row " +
                                          row.index + ") taken, asked " + row.oid;
    }
  }
  return notes;
}

}  // namespace

std::string DescribeProbedEngine(const ProbedEngine& engine, bool answered) {
  std::string text = "SNMPv3 ";
  if (engine.engine_id.empty()) {
    text += "engine not discovered";
  } else {
    text += "engine " + EngineIdHex(engine.engine_id);
    text += engine.clock_known ? ", boots " + std::to_string(engine.boots) + ", time " +
                                     std::to_string(engine.time)
                               : ", boots and time not authenticated";
  }
  if (engine.max_message_size > 0) {
    text += ", msgMaxSize " + std::to_string(engine.max_message_size);
  }
  if (answered) return text + "; " + std::string(SecurityLevelName(engine.level)) + " reached";
  return text + "; " + std::string(SecurityLevelName(engine.level)) +
         " refused: " + OutcomeText(engine.status);
}

ProbeResult ProbeAgent(const AgentEntry& agent, std::int32_t timeout_ms) {
  if (agent.options.mistaken) {
    ProbeResult result = NotSent(agent);
    result.not_polled = true;
    return result;
  }
  ProbeResult result;
  auto client = std::make_unique<TSNMPSend>();
  client->Timeout = timeout_ms;
  AimAgentClient(*client, agent);
  // The keys before the session, which holds keys of it.
  UsmKeyCache keys;
  std::unique_ptr<UsmSession> session;
  if (agent.options.version == 3) {
    session = std::make_unique<UsmSession>(SecurityOf(agent.options), keys);
    session->PrepareKeys();
    client->Security = session.get();
  }
  AgentRows rows;
  const std::vector<std::string> row_notes = ResolveRows(*client, agent, rows);
  const std::size_t lines = agent.lines.size();
  const std::size_t per_request =
      agent.options.max_oids > 0 ? static_cast<std::size_t>(agent.options.max_oids) : lines;
  // The answers' bindings together, as one answer.
  TSNMPRec answers;
  result.answered = true;
  const auto started = std::chrono::steady_clock::now();
  std::size_t first = 0;
  do {
    const std::size_t end = std::min(lines, first + per_request);
    FillAgentRequest(client->Query(), agent, first, end, {}, &rows);
    if (!client->SendQuery()) {
      result.answered = false;
      break;
    }
    result.from = client->HostIP();
    result.error_status = client->Reply().ErrorStatus;
    if (result.error_status != 0) break;
    for (const TSNMPMib& binding : client->Reply().Bindings()) {
      answers.AddBinding(binding.OidText, binding.ValueText, binding.ValueTag);
    }
    first = end;
  } while (first < lines);
  result.elapsed_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
  if (!result.answered) result.error_status = 0;
  if (session != nullptr) result.engine = EngineOf(*session);
  // A v3 agent that refused the user is no question of size; a request too long for its
  // engine is.
  const UsmOutcome outcome = session != nullptr ? session->status().outcome : UsmOutcome::kNone;
  const bool refused_user = session != nullptr && !result.answered &&
                            outcome != UsmOutcome::kNoAnswer &&
                            outcome != UsmOutcome::kRequestTooLarge;
  if ((!result.answered && !refused_user) || result.error_status == kErrorStatusTooBig) {
    result.size = ProbeRequestSize(agent, timeout_ms, per_request, session.get());
  }
  const bool values = result.answered && result.error_status == 0;
  for (std::size_t index = 0; index < lines; ++index) {
    const PointLine& line = agent.lines[index];
    ProbedLine probed;
    probed.note = row_notes[index];
    const PointAddress address = ScanPointAddress(line.Name());
    const bool row = line.Source().kind == SourceKind::kRow && !line.Source().Mistaken();
    const RowLine* found =
        row && index < rows.lines.size() && rows.lines[index].row ? &rows.lines[index] : nullptr;
    if (row && found == nullptr) {
      probed.write = DecideSilentWrite(address);
    } else if (values) {
      const TSNMPMib* binding = FindReplyBinding(answers, found != nullptr ? found->oid : line.Oid());
      if (found != nullptr) {
        // The pass writes a row's value only while its key instance still holds the key.
        const TSNMPMib* key = FindReplyBinding(answers, found->key_oid);
        if (key == nullptr || key->ValueText != line.Source().row->key) binding = nullptr;
      }
      if (binding != nullptr) {
        probed.has_binding = true;
        probed.binding = *binding;
      }
      probed.write = DecideAnswerWrite(address, binding);
    } else {
      probed.write = DecideSilentWrite(address);
    }
    result.lines.push_back(std::move(probed));
  }
  return result;
}

ProbeResult NotSent(const AgentEntry& agent) {
  ProbeResult result;
  result.sent = false;
  for (const PointLine& line : agent.lines) {
    ProbedLine probed;
    probed.write = DecideSilentWrite(ScanPointAddress(line.Name()));
    result.lines.push_back(std::move(probed));
  }
  return result;
}

std::string DescribeWrite(const PointWrite& write) {
  switch (write.kind) {
    case PointWriteKind::kStatus: return "slSetStatus " + std::to_string(write.status);
    case PointWriteKind::kStatusFlags: return "slSetStatusFlags 0x0001";
    case PointWriteKind::kAnalog: return "slSetAnalogFloatCodeUT " + FloatText(write.analog);
    case PointWriteKind::kAnalogFlags: return "slSetAnalogFlags 0x0001";
    case PointWriteKind::kNothing: break;
  }
  return "nothing";
}

std::string DescribeReason(const PointWrite& write) {
  switch (write.reason) {
    case PointWriteReason::kNotAPoint: return "no point address: only traced";
    case PointWriteReason::kValue: return "the value reported";
    case PointWriteReason::kCounterPattern:
      return "an unsigned value past 2^31, as its 32-bit pattern";
    case PointWriteReason::kNotANumber: return "no whole number in the 32-bit range: the default";
    case PointWriteReason::kNotAFloat: return "no number: a conversion error is traced";
    case PointWriteReason::kFloatOverflow: return "beyond the float range: an error is logged";
    case PointWriteReason::kNoValue: return "no value reported: as for no answer";
    case PointWriteReason::kNoAnswer: return "no answer";
  }
  return "";
}

std::string DescribeErrorStatus(std::int32_t error_status) {
  const std::string_view name = ErrorStatusName(error_status);
  std::string text = std::to_string(error_status);
  if (!name.empty()) text += " (" + std::string(name) + ")";
  return text;
}

std::string DescribeBinding(const ProbedLine& line) {
  if (!line.has_binding) return "(not in the answer)";
  const std::int32_t tag = line.binding.ValueTag;
  if (tag == TagNull || tag == TagNoSuchObject || tag == TagNoSuchInstance ||
      tag == TagEndOfMibView) {
    return TagName(tag);
  }
  std::string shown(1, '"');
  shown += Displayable(line.binding.ValueText);
  shown += "\" (";
  shown += TagName(tag);
  shown += ')';
  return shown;
}

}  // namespace zelsnmp::check
