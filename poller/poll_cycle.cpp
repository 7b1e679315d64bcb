#include "poller/poll_cycle.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/nodehub.h"
#include "poller/agent_poller.h"
#include "poller/crypto_availability.h"
#include "poller/engine_boots_file.h"
#include "poller/notification_messages.h"
#include "poller/notification_receiver.h"
#include "poller/poll_config.h"
#include "poller/point_messages.h"
#include "poller/poll_messages.h"
#include "snmp/usm_authority.h"
#include "snmp/usm_engine.h"
#include "sys/console.h"
#include "sys/file.h"

namespace zelsnmp {

namespace {

constexpr std::uint32_t kStopWaitMs = 1000;
constexpr std::int32_t kWaitsPerPollPass = 5;

// The notifications of the cycle: taken whenever the cycle or a pass waits, their sections
// polled out of turn when no pass is under way, each at most once per second.
class Notifications {
 public:
  using Clock = std::chrono::steady_clock;

  Notifications(AgentPoller& poller, const PollConfig& config, int port,
                std::unique_ptr<UsmAuthority> authority)
      : poller_(poller),
        config_(config),
        authority_(std::move(authority)),
        receiver_(config, port, &poller.security(), authority_.get()),
        due_(config.agents.size(), 0),
        last_poll_(config.agents.size(), Clock::time_point::min()) {
    if (!receiver_.listening()) return;
    poller_.SetWaitHook([this] { Take(); }, kNotificationSliceMs);
  }

  bool listening() const { return receiver_.listening(); }

  // One wait of the cycle: `timeout_ms` unless the stop event comes first; taking the
  // notifications as they arrive and polling their sections out of turn.
  EventWaitResult WaitForStop(EventHandle stop_event, std::uint32_t timeout_ms) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      const EventWaitResult stop = WaitForEvent(stop_event, 0);
      if (stop != EventWaitResult::kTimedOut) return stop;
      const Clock::time_point now = Clock::now();
      if (now >= end) return EventWaitResult::kTimedOut;
      PollDue(now);
      auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
      int wait_ms = static_cast<int>(std::min<long long>(left, kNotificationSliceMs));
      if (next_due_ != Clock::time_point::max()) {
        const auto until_due =
            std::chrono::ceil<std::chrono::milliseconds>(next_due_ - now).count();
        wait_ms = static_cast<int>(std::max<long long>(0, std::min<long long>(wait_ms, until_due)));
      }
      if (receiver_.Wait(wait_ms)) Take();
    }
  }

 private:
  void Take() {
    receiver_.Take([this](std::size_t agent, const Notification& notification) {
      poller_.WriteNotification(config_, agent, notification);
      due_[agent] = 1;
      next_due_ = std::min(next_due_, last_poll_[agent] == Clock::time_point::min()
                                          ? Clock::now()
                                          : last_poll_[agent] + std::chrono::seconds(1));
    });
  }

  // The sections a notification asked to poll whose last out-of-turn poll is a second ago.
  void PollDue(Clock::time_point now) {
    if (now < next_due_) return;
    next_due_ = Clock::time_point::max();
    for (std::size_t agent = 0; agent < due_.size(); ++agent) {
      if (due_[agent] == 0) continue;
      if (last_poll_[agent] != Clock::time_point::min() &&
          now < last_poll_[agent] + std::chrono::seconds(1)) {
        next_due_ = std::min(next_due_, last_poll_[agent] + std::chrono::seconds(1));
        continue;
      }
      due_[agent] = 0;
      last_poll_[agent] = Clock::now();
      // Notifications that come during the poll are written at once; Take() sets when their
      // sections are due.
      poller_.PollOutOfTurn(config_, agent);
    }
  }

  AgentPoller& poller_;
  const PollConfig& config_;
  std::unique_ptr<UsmAuthority> authority_;  // before the receiver, which uses it
  NotificationReceiver receiver_;
  std::vector<char> due_;
  std::vector<Clock::time_point> last_poll_;
  Clock::time_point next_due_ = Clock::time_point::max();
};

// The task's own engine for v3 informs, when a v3 section may send them: its boots count
// raised in its file, and what became of that said in the logs.
std::unique_ptr<UsmAuthority> StartInformEngine(const PollConfig& config,
                                                const std::string& tm_server,
                                                const std::string& tm_machine) {
  const bool any_version3 =
      std::any_of(config.agents.begin(), config.agents.end(), [](const AgentEntry& agent) {
        return agent.options.version == 3 && !agent.options.mistaken;
      });
  if (!any_version3) return nullptr;
  const std::string file_name = EngineBootsFileName(tm_server);
  const EngineBootsStart start = StartEngineBoots(PathInCurrentDirectory(file_name));
  std::string line;
  switch (start.was) {
    case EngineBootsStart::Was::kCounted: break;
    case EngineBootsStart::Was::kMissing:
    case EngineBootsStart::Was::kUnreadable:
      line = EngineBootsStartedOverLine(file_name, start.was == EngineBootsStart::Was::kMissing);
      m_printf("%s", line.c_str(), 0, 0, 0, 0);
      break;
    case EngineBootsStart::Was::kAtMaximum:
      line = EngineBootsAtMaximumLine(file_name);
      e_printf("%s", line.c_str(), 0, 0, 0, 0);
      break;
  }
  if (!start.written) {
    line = EngineBootsNotWrittenLine(file_name, start.write_error);
    e_printf("%s", line.c_str(), 0, 0, 0, 0);
  }
  auto authority = std::make_unique<UsmAuthority>(AuthoritativeEngineId(tm_server, tm_machine),
                                                  start.boots, std::chrono::steady_clock::now());
  line = InformEngineLine(EngineIdHex(authority->engine_id()), authority->boots());
  m_printf("%s", line.c_str(), 0, 0, 0, 0);
  return authority;
}

}  // namespace

void RunPollCycle(EventHandle stop_event, std::int32_t tm_connection,
                  const std::string& config_path, int requests_in_flight,
                  int notification_port, const std::string& tm_server,
                  const std::string& tm_machine) {
  AgentPoller poller(tm_connection);
  poller.SetRequestsInFlight(requests_in_flight);
  PollConfig config = LoadPollConfig(config_path);
  for (const OptionMistake& mistake : config.option_mistakes) {
    const std::string line = OptionMistakeLine(mistake);
    e_printf("%s", line.c_str(), 0, 0, 0, 0);
  }
  for (const PointMistake& mistake : config.point_mistakes) {
    const std::string line = PointMistakeLine(mistake);
    e_printf("%s", line.c_str(), 0, 0, 0, 0);
  }
  // Before the keys are derived: without its cryptography a v3 agent is not polled.
  SetAsideVersion3AgentsWithoutCrypto(config);
  if (config.agents.empty()) {
    e_printf(PollMessages().no_address.c_str(), 0, 0, 0, 0, 0);
    return;
  }
  // The v3 users' keys are derived now, once per distinct passphrase, not in the first pass.
  poller.PrepareSecurity(config);
  std::unique_ptr<Notifications> notifications;
  if (notification_port > 0) {
    notifications = std::make_unique<Notifications>(
        poller, config, notification_port, StartInformEngine(config, tm_server, tm_machine));
    if (!notifications->listening()) notifications.reset();
  }
  std::int32_t pass = 0;
  for (;;) {
    if (PollConsoleKey() != 0) break;
    if (pass % kWaitsPerPollPass == 0) poller.RunPass(config);
    const EventWaitResult waited = notifications
                                       ? notifications->WaitForStop(stop_event, kStopWaitMs)
                                       : WaitForEvent(stop_event, kStopWaitMs);
    if (waited == EventWaitResult::kSignalled) break;
    // A wait that fails at once would otherwise turn the cycle into a busy loop that polls
    // the agents without pause.
    if (waited == EventWaitResult::kFailed) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kStopWaitMs));
    }
    // Wraps instead of overflowing after 68 years of passes.
    pass = static_cast<std::int32_t>(static_cast<std::uint32_t>(pass) + 1u);
  }
}

}  // namespace zelsnmp
