// The agent simulator's SNMPv3 engine: the authoritative engine of the user-based security
// model, with its ID, its clock (boots, and seconds since it started), the one user it knows
// with that user's keys localized to its ID, and the usmStats counters its Reports carry.
//
// The user's master keys are derived once, at construction; a change of engine ID (the
// --new-engine-after fault) localizes them again, which costs two hashes. The engine changes
// as the faults of the options say: after every N answered requests it restarts (boots + 1,
// time from 0) or becomes another engine (another ID, boots 1, time from 0); with a clock skew
// its clock jumps by the skew once it has shown its clock in an authenticated message.
// Passphrases and keys are never printed. Time is given by the caller; one thread at a time.

#ifndef ZELSNMP_TOOLS_AGENTSIM_AGENT_ENGINE_H_
#define ZELSNMP_TOOLS_AGENTSIM_AGENT_ENGINE_H_

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "snmp/usm_crypto.h"
#include "snmp/usm_engine.h"
#include "snmp/usm_reports.h"
#include "snmp/v3_message.h"
#include "tools/agentsim/agent_options.h"
#include "util/secret_bytes.h"

namespace zelsnmp::agentsim {

// The engine ID without --engine-id: the enterprise 32473 (kept for documentation), text
// format, "agentsim".
// (Its length is given: the ID holds a zero byte, where a C string would end.)
inline constexpr std::string_view kDefaultEngineId("\x80\x00\x7e\xd9\x04"
                                                   "agentsim",
                                                   13);


class AgentEngine {
 public:
  using Clock = std::chrono::steady_clock;

  AgentEngine(const AgentOptions& options, Clock::time_point start);
  AgentEngine(const AgentEngine&) = delete;
  AgentEngine& operator=(const AgentEngine&) = delete;

  const std::string& engine_id() const { return engine_id_; }
  std::int32_t boots() const { return boots_; }
  // The msgMaxSize its messages announce: --max-size (at least 484), else the largest UDP
  // payload.
  std::int32_t max_message_size() const { return max_message_size_; }
  // The engine time at `now`: whole seconds since the engine (re)started, plus the skew once
  // it applies, kept within 0..2147483647.
  std::int32_t Time(Clock::time_point now) const;
  EngineClock ClockAt(Clock::time_point now) const { return {boots_, Time(now)}; }
  // The engine has shown its clock in an authenticated message; from now on the skew applies.
  void ClockShown() { clock_shown_ = true; }

  // The user, and the highest level its configuration allows.
  const std::string& user_name() const { return user_name_; }
  bool KnowsUser(std::string_view name) const;
  SecurityLevel user_level() const;
  AuthProtocol auth_protocol() const { return auth_protocol_; }
  PrivProtocol priv_protocol() const { return priv_protocol_; }
  // Keys localized to the current engine ID; empty without the protocol.
  const SecretBytes& auth_key() const { return auth_key_; }
  const SecretBytes& priv_key() const { return priv_key_; }
  // False when a configured key could not be derived (the cryptographic library failed).
  bool keys_ready() const;

  // Counts one more refusal of the kind and gives the counter's value.
  std::uint32_t CountReport(UsmReport report);

  // One more request answered: restarts or replaces the engine as the faults say.
  void CountAnswer(Clock::time_point now);

 private:
  void Localize();

  std::string base_engine_id_;
  std::string engine_id_;
  std::int32_t boots_ = 1;
  std::int32_t max_message_size_ = kV3MaxMessageSizeBytes;
  Clock::time_point started_;
  std::int32_t skew_seconds_ = 0;
  bool clock_shown_ = false;

  std::string user_name_;
  AuthProtocol auth_protocol_ = AuthProtocol::kNone;
  PrivProtocol priv_protocol_ = PrivProtocol::kNone;
  SecretBytes auth_master_key_;
  SecretBytes priv_master_key_;
  SecretBytes auth_key_;
  SecretBytes priv_key_;

  std::uint32_t reboot_after_ = 0;
  std::uint32_t new_engine_after_ = 0;
  std::uint64_t answered_ = 0;
  std::uint32_t generation_ = 0;  // how many times the engine became another one
  std::array<std::uint32_t, 7> report_counts_{};
};

}  // namespace zelsnmp::agentsim

#endif  // ZELSNMP_TOOLS_AGENTSIM_AGENT_ENGINE_H_
