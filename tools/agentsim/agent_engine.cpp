#include "tools/agentsim/agent_engine.h"

#include <algorithm>

#include "snmp/usm_keys.h"

namespace zelsnmp::agentsim {

AgentEngine::AgentEngine(const AgentOptions& options, Clock::time_point start)
    : base_engine_id_(options.engine_id.empty() ? std::string(kDefaultEngineId)
                                                : options.engine_id),
      engine_id_(base_engine_id_),
      boots_(options.engine_boots),
      started_(start),
      skew_seconds_(options.clock_skew_seconds),
      user_name_(options.v3_user),
      auth_protocol_(options.auth_protocol),
      priv_protocol_(options.priv_protocol),
      reboot_after_(options.reboot_after),
      new_engine_after_(options.new_engine_after) {
  if (options.max_size) {
    max_message_size_ = static_cast<std::int32_t>(std::clamp<std::size_t>(
        *options.max_size, kV3MinMessageSizeBytes, kV3MaxMessageSizeBytes));
  }
  if (auth_protocol_ != AuthProtocol::kNone) {
    auth_master_key_ = PasswordToKey(auth_protocol_, options.auth_passphrase.view());
  }
  if (priv_protocol_ != PrivProtocol::kNone) {
    // The privacy passphrase is hashed with the authentication protocol's hash.
    priv_master_key_ = PasswordToKey(auth_protocol_, options.priv_passphrase.view());
  }
  Localize();
}

void AgentEngine::Localize() {
  auth_key_.Clear();
  priv_key_.Clear();
  if (!auth_master_key_.empty()) {
    auth_key_ = LocalizeKey(auth_protocol_, auth_master_key_, engine_id_);
  }
  if (!priv_master_key_.empty()) {
    priv_key_ = LocalizedPrivacyKey(auth_protocol_, priv_protocol_, priv_master_key_, engine_id_);
  }
}

bool AgentEngine::keys_ready() const {
  return (auth_protocol_ == AuthProtocol::kNone || !auth_key_.empty()) &&
         (priv_protocol_ == PrivProtocol::kNone || !priv_key_.empty());
}

std::int32_t AgentEngine::Time(Clock::time_point now) const {
  const std::int64_t seconds =
      std::chrono::duration_cast<std::chrono::seconds>(now - started_).count() +
      (clock_shown_ ? skew_seconds_ : 0);
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(seconds, 0, UsmEngineState::kMaxEngineTime));
}

bool AgentEngine::KnowsUser(std::string_view name) const {
  return !user_name_.empty() && name == user_name_;
}

SecurityLevel AgentEngine::user_level() const {
  if (auth_protocol_ == AuthProtocol::kNone) return SecurityLevel::kNoAuthNoPriv;
  return priv_protocol_ == PrivProtocol::kNone ? SecurityLevel::kAuthNoPriv
                                               : SecurityLevel::kAuthPriv;
}

std::uint32_t AgentEngine::CountReport(UsmReport report) {
  return ++report_counts_[static_cast<std::size_t>(report)];
}

void AgentEngine::CountAnswer(Clock::time_point now) {
  ++answered_;
  if (new_engine_after_ != 0 && answered_ % new_engine_after_ == 0) {
    ++generation_;
    // Another engine: the last byte of the ID moves on with every replacement.
    engine_id_ = base_engine_id_;
    engine_id_.back() = static_cast<char>(engine_id_.back() + generation_);
    boots_ = 1;
    started_ = now;
    clock_shown_ = false;
    Localize();
  } else if (reboot_after_ != 0 && answered_ % reboot_after_ == 0) {
    if (boots_ < UsmEngineState::kMaxEngineBoots) ++boots_;
    started_ = now;
    clock_shown_ = false;
  }
}

}  // namespace zelsnmp::agentsim
