#include "poller/agent_security.h"

#include <utility>

#include "host/nodehub.h"
#include "poller/agent_query.h"
#include "poller/poll_messages.h"

namespace zelsnmp {

namespace {

bool WantsSession(const AgentEntry& agent) {
  return agent.options.version == 3 && !agent.options.mistaken;
}

// Silence and the first answer say nothing new; the pass traces them.
bool IsRefusal(const UsmStatus& status) {
  switch (status.outcome) {
    case UsmOutcome::kNone:
    case UsmOutcome::kAnswered:
    case UsmOutcome::kNoAnswer:
    case UsmOutcome::kSendFailed:
    case UsmOutcome::kRequestTooLarge:  // the pass asks in smaller parts
      return false;
    default:
      return true;
  }
}

}  // namespace

void AgentSecurity::Prepare(const PollConfig& config) {
  sessions_.resize(config.agents.size());
  for (std::size_t a = 0; a < config.agents.size(); ++a) {
    const AgentEntry& agent = config.agents[a];
    AgentSession& kept = sessions_[a];
    const bool wants = WantsSession(agent);
    if (kept.section_name == agent.section_name && (kept.session != nullptr) == wants) continue;
    kept = AgentSession{agent.section_name, nullptr, UsmStatus{}, std::string(), 0};
    if (!wants) continue;
    kept.session = std::make_unique<UsmSession>(SecurityOf(agent.options), keys_);
    // A key that cannot be derived fails every request with kNoKeys, which is logged then.
    kept.session->PrepareKeys();
  }
}

UsmSession* AgentSecurity::SessionOf(std::size_t agent) const {
  return agent < sessions_.size() ? sessions_[agent].session.get() : nullptr;
}

void AgentSecurity::NoteOutcome(const PollConfig& config, std::size_t agent,
                                const UsmStatus& status) {
  if (agent >= sessions_.size() || agent >= config.agents.size()) return;
  AgentSession& kept = sessions_[agent];
  const std::string& section = config.agents[agent].section_name;
  if (IsRefusal(status)) {
    if (status == kept.logged) return;
    kept.logged = status;
    const std::string line = UsmRefusalLine(section, status);
    e_printf("%s", line.c_str(), 0, 0, 0, 0);
  } else if (status.outcome == UsmOutcome::kAnswered) {
    NoteEngine(kept, section);
    const bool was_refusing = IsRefusal(kept.logged);
    kept.logged = status;
    if (!was_refusing) return;
    const std::string line = UsmAnswersAgainLine(section);
    m_printf("%s", line.c_str(), 0, 0, 0, 0);
  }
}

void AgentSecurity::NoteEngine(AgentSession& kept, const std::string& section) {
  const UsmEngineState& engine = kept.session->engine();
  // Without authentication the boots count is the engine's word only: not a restart.
  const std::int32_t boots = engine.synchronized() ? engine.engine_boots() : 0;
  if (!kept.answered_engine_id.empty()) {
    std::string line;
    if (engine.engine_id() != kept.answered_engine_id) {
      line = UsmEngineChangedLine(section, engine.engine_id());
    } else if (boots > kept.answered_boots) {
      line = UsmEngineRestartedLine(section, boots);
    }
    if (!line.empty()) m_printf("%s", line.c_str(), 0, 0, 0, 0);
  }
  kept.answered_engine_id = engine.engine_id();
  kept.answered_boots = boots;
}

}  // namespace zelsnmp
