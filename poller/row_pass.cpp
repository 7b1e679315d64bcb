// The poll pass's part in rows found by their name (poller/row_book.h): the walks of key
// columns, made before an agent's requests are planned, and the check of each row's key
// instance in the answers, so that a renumbered table never puts another row's value into a
// point.
//
// Log lines, each ending in CR LF: one debug line per walk ("Обход столбца KEYCOLUMN
// [SECTION]: прочитано строк N, совпало M"); the error line of a key no row holds and the
// message line of a key several rows hold, each once until the row is found again; the debug
// line of a row whose key instance no longer holds its key.

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "host/nodehub.h"
#include "poller/agent_poller.h"
#include "poller/point_messages.h"
#include "poller/poll_messages.h"
#include "snmp/ber.h"

namespace zelsnmp {

namespace {

void Trace(const std::string& text) { d_printf("%s", text.c_str(), 0, 0, 0, 0); }

}  // namespace

std::vector<std::size_t> AgentPoller::DueRowLines(const RequestPlan& plan, std::size_t agent) {
  const AgentEntry& entry = plan.Agent(agent);
  if (entry.options.mistaken || rows_.AgentOrNull(agent) == nullptr) return {};
  AgentRows& rows = rows_.Agent(agent);
  // Walked again once another request of the agent is answered; an agent that sends no other
  // request is walked every pass.
  if (rows.walk_unanswered && AsksBesideWalks(entry, agent)) return {};
  std::vector<std::size_t> due;
  for (std::size_t line = 0; line < rows.lines.size(); ++line) {
    if (rows_.WalkDue(agent, line, pass_)) due.push_back(line);
  }
  return due;
}

bool AgentPoller::AsksBesideWalks(const AgentEntry& entry, std::size_t agent) const {
  for (std::size_t line = 0; line < entry.lines.size(); ++line) {
    const PointSource& source = entry.lines[line].Source();
    if (source.OnWire() || source.DevicePoint() || rows_.Found(agent, line)) return true;
  }
  return false;
}

ColumnWalk AgentPoller::StartWalk(const RequestPlan& plan, std::size_t agent,
                                  const KeyColumnGroup& group) {
  return ColumnWalk(group.column, group.keys, WalkRepetitions(plan.Agent(agent)),
                    !rows_.Agent(agent).no_bulk);
}

void AgentPoller::NoteWalkRequest(const RequestPlan& plan, std::size_t agent, bool answered,
                                  double elapsed_ms, const UsmStatus* security) {
  if (security != nullptr) security_.NoteOutcome(plan.Config(), agent, *security);
  NoteRequest(agent, answered, elapsed_ms, security);
}

bool AgentPoller::WalkRows(const RequestPlan& plan, std::size_t agent) {
  std::vector<std::size_t> due = DueRowLines(plan, agent);
  const AgentEntry& entry = plan.Agent(agent);
  while (!due.empty()) {
    // One walk per key column, for every due row of it.
    const KeyColumnGroup group = TakeKeyColumnGroup(entry, due);
    ColumnWalk walk = StartWalk(plan, agent, group);
    const RequestTarget target = TargetOf(plan, agent);
    client_->TargetHost = target.host;
    client_->TargetPort = target.port;
    client_->Timeout = target.timeout_ms;
    client_->Retries = target.retries;
    client_->Security = target.security;
    while (walk.Next(client_->Query(), entry.Community())) {
      bool answered = false;
      const auto sent_at = std::chrono::steady_clock::now();
      try {
        answered = client_->SendQuery();
      } catch (const std::exception& error) {
        e_printf("%s", (PollMessages().send_query_failed + error.what()).c_str(), 0, 0, 0, 0);
        ReplaceClient();
        return false;
      }
      const UsmSession* const session = security_.SessionOf(agent);
      const UsmStatus status = session != nullptr ? session->status() : UsmStatus{};
      NoteWalkRequest(plan, agent, answered,
                      std::chrono::duration<double, std::milli>(
                          std::chrono::steady_clock::now() - sent_at)
                          .count(),
                      session != nullptr ? &status : nullptr);
      walk.Take(answered ? &client_->Reply() : nullptr);
    }
    EndWalk(plan, agent, group, walk);
  }
  return true;
}

void AgentPoller::EndWalk(const RequestPlan& plan, std::size_t agent, const KeyColumnGroup& group,
                          const ColumnWalk& walk) {
  const AgentEntry& entry = plan.Agent(agent);
  AgentRows& rows = rows_.Agent(agent);
  const std::string& column = group.column;
  if (walk.BulkRefused()) rows.no_bulk = true;
  if (walk.Unanswered()) rows.walk_unanswered = true;
  if (walk.Failed()) {
    // The rows stay as they were, and are walked for again at the next pass.
    Trace(RowWalkFailedLine(entry.section_name, column, walk.RowsRead()));
    return;
  }
  Trace(RowWalkLine(entry.section_name, column, walk.RowsRead(), walk.RowsMatched()));
  for (std::size_t line : group.lines) {
    const PointLine& point = entry.lines[line];
    const RowKey& key = *point.Source().row;
    RowLine& row = rows.lines[line];
    const KeyMatch& match =
        *std::find_if(walk.Matches().begin(), walk.Matches().end(),
                      [&](const KeyMatch& m) { return m.key == key.key; });
    row.walked_pass = pass_;
    row.walk_next = false;
    if (match.rows == 0) {
      row.state = RowState::kNotFound;
      row.index.clear();
      row.said_several = false;
      if (!row.said_not_found) {
        e_printf("%s", RowNotFoundLine(entry.section_name, point.Name(), key).c_str(), 0, 0, 0,
                 0);
        row.said_not_found = true;
      }
      continue;
    }
    if (row.state != RowState::kFound || row.index != match.first_index) {
      // Another row: its values start a rate afresh.
      rate_bases_.BaseOf(entry.section_name, agent, entry.lines.size(), line).set = false;
    }
    row.state = RowState::kFound;
    row.index = match.first_index;
    row.oid = std::string(key.column) + "." + row.index;
    row.key_oid = std::string(key.key_column) + "." + row.index;
    row.said_not_found = false;
    if (match.rows > 1 && !row.said_several) {
      m_printf("%s",
               RowSeveralLine(entry.section_name, point.Name(), key, match.rows, row.index)
                   .c_str(),
               0, 0, 0, 0);
      row.said_several = true;
    } else if (match.rows == 1) {
      row.said_several = false;
    }
  }
}

bool AgentPoller::RowStillHolds(const AgentEntry& entry, std::size_t agent, std::size_t line,
                                const TSNMPRec& reply) {
  RowLine& row = rows_.Agent(agent).lines[line];
  const TSNMPMib* key = FindReplyBinding(reply, row.key_oid);
  if (key != nullptr && !CarriesNoValue(key) &&
      key->ValueText == entry.lines[line].Source().row->key) {
    return true;
  }
  // Renumbered: this pass writes nothing of the row, the next one finds it again.
  row.walk_next = true;
  const std::string address = entry.lines[line].Name();
  Trace(RowMovedLine(row.oid, address, row.key_oid));
  const PointAddress at = ScanPointAddress(address);
  Write(at, DecideSilentWrite(at));
  if (entry.lines[line].Source().rate) {
    rate_bases_.BaseOf(entry.section_name, agent, entry.lines.size(), line).set = false;
  }
  return false;
}

void AgentPoller::NoteRowClock(std::size_t agent, const TSNMPRec& reply) {
  std::optional<std::int32_t> boots;
  if (const UsmSession* session = security_.SessionOf(agent); session != nullptr) {
    if (session->engine().engine_boots() > 0) boots = session->engine().engine_boots();
  }
  if (rows_.NoteClock(agent, ReplyUptime(reply), boots)) rows_.WalkAgain(agent);
}

}  // namespace zelsnmp
