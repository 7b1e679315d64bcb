#include "snmp/usm_engine.h"

#include "snmp/v3_message.h"

namespace zelsnmp {

std::string EngineIdHex(std::string_view engine_id) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(engine_id.size() * 2);
  for (const char c : engine_id) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0f];
  }
  return hex;
}

std::int32_t UsmEngineState::EstimatedEngineTime(Clock::time_point now) const {
  if (!synchronized_) return 0;
  const auto elapsed = now > learnt_at_ ? now - learnt_at_ : Clock::duration::zero();
  const std::int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  const std::int64_t estimate = std::int64_t{learnt_time_} + seconds;
  return estimate > kMaxEngineTime ? kMaxEngineTime : static_cast<std::int32_t>(estimate);
}

EngineClock UsmEngineState::ClockToSend(Clock::time_point now) const {
  if (!synchronized_) return {};
  return {boots_, EstimatedEngineTime(now)};
}

void UsmEngineState::BeginRequest() {
  discovered_this_request_ = false;
  resent_this_request_ = false;
}

bool UsmEngineState::BeginDiscovery() {
  if (discovered_this_request_) return false;
  const bool resent = resent_this_request_;
  *this = UsmEngineState{};
  discovered_this_request_ = true;
  resent_this_request_ = resent;
  discovering_ = true;
  return true;
}

bool UsmEngineState::AcceptDiscoveredEngineId(std::string_view engine_id) {
  if (!discovering_ || engine_id.empty() || engine_id.size() > kV3MaxEngineIdBytes) return false;
  engine_id_.assign(engine_id);
  discovering_ = false;
  return true;
}

void UsmEngineState::AbandonDiscovery() {
  discovering_ = false;
}

EngineTimeliness UsmEngineState::CheckAuthenticated(std::string_view engine_id,
                                                    std::int32_t boots, std::int32_t time,
                                                    Clock::time_point now) {
  last_check_saw_restart_ = false;
  if (engine_id.empty() || engine_id != engine_id_) return EngineTimeliness::kOtherEngine;
  if (boots > boots_ || (boots == boots_ && time > latest_received_time_)) {
    last_check_saw_restart_ = synchronized_ && boots > boots_;
    boots_ = boots;
    latest_received_time_ = time;
    learnt_time_ = time;
    learnt_at_ = now;
    synchronized_ = true;
  }
  if (boots_ == kMaxEngineBoots || boots < boots_) return EngineTimeliness::kNotInTimeWindow;
  if (boots == boots_ &&
      std::int64_t{time} + kTimeWindowSeconds < std::int64_t{EstimatedEngineTime(now)}) {
    return EngineTimeliness::kNotInTimeWindow;
  }
  return EngineTimeliness::kInTimeWindow;
}

bool UsmEngineState::TakeResend() {
  if (resent_this_request_) return false;
  resent_this_request_ = true;
  return true;
}

}  // namespace zelsnmp
