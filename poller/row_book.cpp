#include "poller/row_book.h"

#include <algorithm>
#include <utility>

#include "snmp/ber.h"
#include "snmp/oid_order.h"

namespace zelsnmp {

namespace {

constexpr std::int32_t kErrorStatusNoSuchName = 2;

}  // namespace

void RowBook::Fit(const PollConfig& config) {
  agents_.resize(config.agents.size());
  for (std::size_t a = 0; a < agents_.size(); ++a) {
    const AgentEntry& entry = config.agents[a];
    AgentRows& rows = agents_[a];
    if (rows.section_name == entry.section_name && rows.line_count == entry.lines.size()) continue;
    rows = AgentRows();
    rows.section_name = entry.section_name;
    rows.line_count = entry.lines.size();
    for (std::size_t line = 0; line < entry.lines.size(); ++line) {
      const PointSource& source = entry.lines[line].Source();
      if (source.kind != SourceKind::kRow || source.Mistaken()) continue;
      if (rows.lines.empty()) rows.lines.resize(entry.lines.size());
      rows.lines[line].row = true;
    }
  }
}

const RowLine* RowBook::Line(std::size_t agent, std::size_t line) const {
  const AgentRows* rows = AgentOrNull(agent);
  if (rows == nullptr || line >= rows->lines.size() || !rows->lines[line].row) return nullptr;
  return &rows->lines[line];
}

bool RowBook::WalkDue(std::size_t agent, std::size_t line, std::uint32_t pass) const {
  const RowLine* row = Line(agent, line);
  if (row == nullptr) return false;
  if (row->walk_next) return true;
  switch (row->state) {
    case RowState::kUnknown:
      return true;
    case RowState::kNotFound:
      return pass - row->walked_pass >= kRowRetryPasses;
    case RowState::kFound:
      return false;
  }
  return false;
}

void RowBook::WalkAgain(std::size_t agent) {
  for (RowLine& row : agents_[agent].lines) row.walk_next = true;
}

bool RowBook::NoteClock(std::size_t agent, std::optional<std::uint32_t> uptime,
                        std::optional<std::int32_t> engine_boots) {
  AgentRows& rows = agents_[agent];
  rows.walk_unanswered = false;
  bool restarted = false;
  if (uptime) {
    restarted = rows.uptime && *uptime < *rows.uptime;
    rows.uptime = uptime;
  }
  if (engine_boots) {
    restarted = restarted || (rows.engine_boots && *engine_boots > *rows.engine_boots);
    rows.engine_boots = engine_boots;
  }
  return restarted;
}

KeyColumnGroup TakeKeyColumnGroup(const AgentEntry& entry, std::vector<std::size_t>& due) {
  KeyColumnGroup group;
  if (due.empty()) return group;
  group.column = std::string(entry.lines[due.front()].Source().row->key_column);
  std::vector<std::size_t> rest;
  for (std::size_t line : due) {
    const RowKey& key = *entry.lines[line].Source().row;
    if (key.key_column != group.column) {
      rest.push_back(line);
      continue;
    }
    group.lines.push_back(line);
    if (std::find(group.keys.begin(), group.keys.end(), key.key) == group.keys.end()) {
      group.keys.emplace_back(key.key);
    }
  }
  due.swap(rest);
  return group;
}

ColumnWalk::ColumnWalk(std::string column, std::vector<std::string> keys,
                       std::int32_t repetitions, bool bulk)
    : column_(std::move(column)),
      last_oid_(column_),
      repetitions_(std::max<std::int32_t>(repetitions, 1)),
      bulk_(bulk) {
  for (std::string& key : keys) matches_.push_back(KeyMatch{std::move(key), {}, 0});
}

bool ColumnWalk::Next(TSNMPRec& query, const std::string& community) {
  if (done_) return false;
  query.ResetMessage();
  query.Community = community;
  query.Version = kSnmpVersion2c;
  query.AddBinding(last_oid_, "", TagNull);
  if (bulk_) {
    query.PDUType = PduGetBulkRequest;
    query.NonRepeaters() = 0;
    const std::size_t left = kWalkRowLimit - rows_read_;
    query.MaxRepetitions() =
        static_cast<std::int32_t>(std::min<std::size_t>(left, static_cast<std::size_t>(repetitions_)));
  } else {
    query.PDUType = PduGetNextRequest;
  }
  ++requests_;
  return true;
}

void ColumnWalk::Take(const TSNMPRec* reply) {
  if (done_) return;
  if (reply == nullptr) {
    unanswered_ = true;
    return End(true);
  }
  if (reply->ErrorStatus != 0) {
    if (bulk_) {
      // A device without GetBulk: the same row again with GetNext.
      bulk_ = false;
      bulk_refused_ = true;
      return;
    }
    // The end of the device's view, as an SNMPv1 agent tells it; anything else says nothing.
    return End(reply->ErrorStatus != kErrorStatusNoSuchName);
  }
  if (reply->BindingCount() == 0) return End(!bulk_);
  for (const TSNMPMib& binding : reply->Bindings()) {
    if (binding.ValueTag == TagEndOfMibView || binding.ValueTag == TagNoSuchObject ||
        binding.ValueTag == TagNoSuchInstance ||
        !OidUnder(binding.OidText, column_)) {
      return End(false);
    }
    // A device that does not go forward would be walked for ever.
    if (CompareOids(binding.OidText, last_oid_) <= 0) return End(true);
    last_oid_ = binding.OidText;
    ++rows_read_;
    bool matched = false;
    for (KeyMatch& match : matches_) {
      if (binding.ValueText != match.key) continue;
      if (match.rows++ == 0) match.first_index = binding.OidText.substr(column_.size() + 1);
      matched = true;
    }
    if (matched) ++rows_matched_;
    if (rows_read_ >= kWalkRowLimit) return End(false);
  }
}

}  // namespace zelsnmp
