#include "poller/request_plan.h"

#include <algorithm>
#include <cstdint>

#include "poller/agent_query.h"

namespace zelsnmp {

namespace {

constexpr std::int32_t kErrorStatusTooBig = 1;

}  // namespace

RequestPlan::RequestPlan(const PollConfig& config, std::vector<AgentFit>& fits, std::uint32_t pass,
                         std::int32_t default_retries)
    : config_(config),
      fits_(fits),
      pass_(pass),
      default_retries_(default_retries),
      agents_(config.agents.size()) {
  fits_.resize(config.agents.size());
  for (std::size_t a = 0; a < fits_.size(); ++a) {
    AgentFit& fit = fits_[a];
    const AgentEntry& agent = config.agents[a];
    if (fit.Learned() &&
        (fit.section_name != agent.section_name || fit.line_count != agent.lines.size())) {
      fit = AgentFit();
    }
  }
}

void RequestPlan::Plan(std::size_t agent, std::vector<RequestPart>& parts) {
  const AgentEntry& entry = config_.agents[agent];
  parts.clear();
  if (entry.options.mistaken) return;
  AgentFit& fit = fits_[agent];
  AgentPass& state = agents_[agent];
  const std::size_t lines = entry.lines.size();
  const std::int32_t retries = entry.options.retries.value_or(default_retries_);
  state.requests_left = 2 * static_cast<std::int64_t>(lines) + std::max(retries, 0);
  bool rate = false;
  bool device_point = false;
  bool on_wire = false;
  bool row = false;
  for (std::size_t index = 0; index < lines; ++index) {
    const PointLine& line = entry.lines[index];
    if (line.Source().bare) {
      on_wire = true;
      continue;
    }
    const bool asks = OnWire(agent, index);
    if (!line.Source().OnWire()) state.some_not_on_wire = true;
    on_wire = on_wire || asks;
    row = row || (asks && line.Source().kind == SourceKind::kRow);
    rate = rate || (asks && (line.Source().rate || line.Source().kind == SourceKind::kRow));
    device_point = device_point || line.Source().DevicePoint();
  }
  state.ping = device_point && !on_wire;

  if (!fit.left_out_since.empty()) {
    state.skipped.assign(lines, false);
    for (std::size_t line = 0; line < lines; ++line) {
      const std::uint32_t since = fit.left_out_since[line];
      state.skipped[line] = since != 0 && pass_ - (since - 1) < kRetryLeftOutPasses;
    }
  }
  // Without a limit, one request however many bindings the rows' keys add.
  std::size_t limit = row ? SIZE_MAX : lines;
  if (entry.options.max_oids > 0) limit = static_cast<std::size_t>(entry.options.max_oids);
  if (fit.kept_size > 0) limit = std::min(limit, static_cast<std::size_t>(fit.kept_size));
  // Room for the sysUpTime.0 that requests carrying a rate line add.
  if (rate && limit > 1 && limit < lines) --limit;

  RequestPart part{agent, 0, 0};
  std::size_t asked = 0;
  // The key instances the current request asks beside its row lines; each takes a binding.
  std::vector<const std::string*> keys;
  for (std::size_t line = 0; line < lines; ++line) {
    if (!Asked(agent, line)) continue;
    std::size_t cost = 1;
    const RowLine* found = row && rows_->Found(agent, line) ? rows_->Line(agent, line) : nullptr;
    const auto new_key = [&] {
      return std::none_of(keys.begin(), keys.end(),
                          [&](const std::string* key) { return *key == found->key_oid; });
    };
    if (found != nullptr && new_key()) cost = 2;
    if (asked > 0 && asked + cost > limit) {
      part.end = line;
      parts.push_back(part);
      part.first = line;
      asked = 0;
      keys.clear();
      cost = found != nullptr ? 2 : 1;
    }
    if (found != nullptr && cost == 2) keys.push_back(&found->key_oid);
    asked += cost;
  }
  // The last request also takes the lines left out after its last asked one.
  part.end = lines;
  parts.push_back(part);
  state.requests_left -= static_cast<std::int64_t>(parts.size());
}

bool RequestPlan::OnWire(std::size_t agent, std::size_t line) const {
  const PointSource& source = config_.agents[agent].lines[line].Source();
  if (source.OnWire()) return true;
  return source.kind == SourceKind::kRow && rows_ != nullptr && rows_->Found(agent, line);
}

bool RequestPlan::Asked(std::size_t agent, std::size_t line) const {
  const AgentPass& state = agents_[agent];
  if (state.some_not_on_wire && !OnWire(agent, line)) return false;
  return state.skipped.empty() || !state.skipped[line];
}

std::size_t RequestPlan::AskedCount(const RequestPart& part) const {
  const AgentPass& state = agents_[part.agent];
  if (state.skipped.empty() && !state.some_not_on_wire) return part.end - part.first;
  std::size_t count = 0;
  for (std::size_t line = part.first; line < part.end; ++line) {
    if (Asked(part.agent, line)) ++count;
  }
  return count;
}

bool RequestPlan::AsksNothing(const RequestPart& part) const {
  return !config_.agents[part.agent].lines.empty() && AskedCount(part) == 0 &&
         !agents_[part.agent].ping;
}

std::size_t RequestPlan::AskedLine(const RequestPart& part, std::size_t index) const {
  for (std::size_t line = part.first; line < part.end; ++line) {
    if (!Asked(part.agent, line)) continue;
    if (index == 0) return line;
    --index;
  }
  return part.end;
}

void RequestPlan::FillQuery(TSNMPRec& query, const RequestPart& part) const {
  FillAgentRequest(query, config_.agents[part.agent], part.first, part.end,
                   agents_[part.agent].skipped,
                   rows_ != nullptr ? rows_->AgentOrNull(part.agent) : nullptr);
}

bool RequestPlan::TakeRequests(std::size_t agent, std::size_t count) {
  std::int64_t& left = agents_[agent].requests_left;
  if (left < static_cast<std::int64_t>(count)) return false;
  left -= static_cast<std::int64_t>(count);
  return true;
}

void RequestPlan::LeaveOut(std::size_t agent, std::size_t line) {
  AgentFit& fit = fits_[agent];
  const std::size_t lines = config_.agents[agent].lines.size();
  fit.section_name = config_.agents[agent].section_name;
  fit.line_count = lines;
  if (fit.left_out_since.empty()) fit.left_out_since.assign(lines, 0);
  fit.left_out_since[line] = pass_ + 1;
  std::vector<bool>& skipped = agents_[agent].skipped;
  if (skipped.empty()) skipped.assign(lines, false);
  skipped[line] = true;
}

RequestPlan::Refusal RequestPlan::React(const RequestPart& part, std::int32_t error_status,
                                        std::int32_t error_index) {
  Refusal refusal;
  const std::size_t asked = AskedCount(part);
  AgentPass& state = agents_[part.agent];
  if (error_status == kErrorStatusTooBig) {
    state.too_big = true;
    if (asked > 1) {
      if (!TakeRequests(part.agent, 2)) return refusal;
      const std::size_t middle = AskedLine(part, (asked + 1) / 2);
      refusal.follow_ups = {RequestPart{part.agent, part.first, middle},
                            RequestPart{part.agent, middle, part.end}};
      refusal.flag_lines = false;
      return refusal;
    }
    // A single binding the device cannot fit into an answer: a value it does not report.
    error_index = 1;
  } else {
    state.largest_worked = std::max(state.largest_worked, asked);
  }
  if (error_index < 1 || static_cast<std::size_t>(error_index) > asked) return refusal;
  LeaveOut(part.agent, AskedLine(part, static_cast<std::size_t>(error_index) - 1));
  if (!AsksNothing(part) && !TakeRequests(part.agent, 1)) return refusal;
  refusal.follow_ups = {part};
  refusal.flag_lines = false;
  return refusal;
}

void RequestPlan::Answered(const RequestPart& part) {
  AgentPass& state = agents_[part.agent];
  state.largest_worked = std::max(state.largest_worked, AskedCount(part));
  AgentFit& fit = fits_[part.agent];
  if (fit.left_out_since.empty()) return;
  for (std::size_t line = part.first; line < part.end; ++line) {
    if (Asked(part.agent, line)) fit.left_out_since[line] = 0;
  }
  if (std::all_of(fit.left_out_since.begin(), fit.left_out_since.end(),
                  [](std::uint32_t since) { return since == 0; })) {
    fit.left_out_since.clear();
  }
}

std::optional<std::int32_t> RequestPlan::Finish(std::size_t agent) {
  const AgentPass& state = agents_[agent];
  if (!state.too_big || state.largest_worked == 0) return std::nullopt;
  const AgentEntry& entry = config_.agents[agent];
  std::size_t size_asked = entry.lines.size();
  if (entry.options.max_oids > 0) {
    size_asked = std::min(size_asked, static_cast<std::size_t>(entry.options.max_oids));
  }
  AgentFit& fit = fits_[agent];
  if (fit.kept_size > 0) size_asked = std::min(size_asked, static_cast<std::size_t>(fit.kept_size));
  if (state.largest_worked >= size_asked) return std::nullopt;
  const auto worked = static_cast<std::int32_t>(state.largest_worked);
  fit.section_name = entry.section_name;
  fit.line_count = entry.lines.size();
  fit.kept_size = worked;
  return worked;
}

}  // namespace zelsnmp
