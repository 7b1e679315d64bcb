// UsmEngineState: what the task knows of one agent's version-3 engine (its ID, and its clock
// of boots and seconds) and the rules by which that knowledge changes, independent of sockets.
//
// The agent's engine is the authoritative one; the task learns its ID by discovery and its
// clock from the authenticated messages it receives, and estimates the time it sends from the
// seconds elapsed on its own steady clock since it learnt it, so a task that runs for years
// never drifts out of the engine's 150-second window.
//
// Trust: the clock moves only on authenticated messages and only forward (a higher boots
// count, or a later time of the same boots). An unauthenticated Report is believed for one
// thing only, the engine ID, and only while a discovery is under way; outside discovery it
// changes nothing, so a forged Report cannot move the task to another engine or clock.
//
// Healing: a request may discover the engine again once (the agent was replaced, or forgot
// its ID) and be sent again once (the agent rebooted and taught a new clock), so a request
// never loops. BeginRequest gives each request those two allowances afresh.
//
// Time is given by the caller (std::chrono::steady_clock), so the rules are tested without
// waiting. Used by one thread at a time.

#ifndef ZELSNMP_SNMP_USM_ENGINE_H_
#define ZELSNMP_SNMP_USM_ENGINE_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelsnmp {

// An engine's boots and time as sent in a message.
struct EngineClock {
  std::int32_t boots = 0;
  std::int32_t time = 0;
};

// An engine ID as operators write it (and @engine takes it): two lower-case hex digits a byte.
std::string EngineIdHex(std::string_view engine_id);

enum class EngineTimeliness {
  kInTimeWindow,
  kNotInTimeWindow,  // replayed, delayed, or the engine must be re-keyed: drop the message
  kOtherEngine,      // authenticated, but from an engine other than the one known
};

class UsmEngineState {
 public:
  using Clock = std::chrono::steady_clock;

  // An engine at this boots count takes no authenticated message until it is re-keyed.
  static constexpr std::int32_t kMaxEngineBoots = 2147483647;
  static constexpr std::int32_t kMaxEngineTime = 2147483647;
  static constexpr std::int32_t kTimeWindowSeconds = 150;

  bool discovered() const { return !engine_id_.empty(); }
  bool discovering() const { return discovering_; }
  // True once an authenticated message taught the engine's clock.
  bool synchronized() const { return synchronized_; }
  const std::string& engine_id() const { return engine_id_; }
  std::int32_t engine_boots() const { return boots_; }
  std::int32_t latest_received_engine_time() const { return latest_received_time_; }
  // True when the last CheckAuthenticated found a higher boots count than the one known: the
  // engine was restarted.
  bool last_check_saw_restart() const { return last_check_saw_restart_; }
  // The largest message the engine takes (the msgMaxSize of its own messages); 0 while none
  // said. Forgotten with the engine ID.
  std::int32_t max_message_size() const { return max_message_size_; }
  // The msgMaxSize of a message of this engine: the discovery's answer, or an authenticated one.
  void NoteMaxMessageSize(std::int32_t bytes) { max_message_size_ = bytes; }

  // The engine's time now by this task's estimate: the time last learnt plus the whole seconds
  // elapsed since, at most kMaxEngineTime; 0 while not synchronized.
  std::int32_t EstimatedEngineTime(Clock::time_point now) const;

  // Boots and time for an authenticated request: the estimate, or 0 and 0 while not
  // synchronized, which the engine answers with an authenticated report of its clock.
  EngineClock ClockToSend(Clock::time_point now) const;

  // A new request: it may discover once and be sent again once.
  void BeginRequest();

  // Starts a discovery, forgetting the engine ID and clock. False, changing nothing, when the
  // current request has already discovered once.
  bool BeginDiscovery();
  // The engine ID of the Report that answered the discovery request (unauthenticated). Taken,
  // ending the discovery, only while discovering and only when 1 to 32 bytes long; false
  // otherwise.
  bool AcceptDiscoveredEngineId(std::string_view engine_id);
  // The discovery got no usable answer; the engine stays unknown.
  void AbandonDiscovery();

  // The timeliness check of a message whose digest was verified with keys of `engine_id`,
  // carrying that engine's `boots` and `time`. A message of the known engine moves the clock
  // forward when it is newer (a higher boots count, or the same count and a time later than
  // the latest received); it is then out of the window when the boots count is at its
  // maximum, lower than the known one, or equal with a time more than 150 seconds before the
  // estimate. A message of another engine changes nothing.
  EngineTimeliness CheckAuthenticated(std::string_view engine_id, std::int32_t boots,
                                      std::int32_t time, Clock::time_point now);

  // Whether the current request may be sent again (once), after a report taught a clock.
  bool TakeResend();

 private:
  std::string engine_id_;
  bool discovering_ = false;
  bool synchronized_ = false;
  std::int32_t boots_ = 0;
  std::int32_t latest_received_time_ = 0;
  // The engine time learnt last, and when.
  std::int32_t learnt_time_ = 0;
  Clock::time_point learnt_at_{};
  bool discovered_this_request_ = false;
  bool resent_this_request_ = false;
  bool last_check_saw_restart_ = false;
  std::int32_t max_message_size_ = 0;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_USM_ENGINE_H_
