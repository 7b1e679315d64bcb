#include "poller/poll_cycle.h"

#include <chrono>
#include <string>
#include <thread>

#include "host/nodehub.h"
#include "poller/agent_poller.h"
#include "poller/crypto_availability.h"
#include "poller/poll_config.h"
#include "poller/point_messages.h"
#include "poller/poll_messages.h"
#include "sys/console.h"

namespace zelsnmp {

namespace {

constexpr std::uint32_t kStopWaitMs = 1000;
constexpr std::int32_t kWaitsPerPollPass = 5;

}  // namespace

void RunPollCycle(EventHandle stop_event, std::int32_t tm_connection,
                  const std::string& config_path, int requests_in_flight) {
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
  std::int32_t pass = 0;
  for (;;) {
    if (PollConsoleKey() != 0) break;
    if (pass % kWaitsPerPollPass == 0) poller.RunPass(config);
    const EventWaitResult waited = WaitForEvent(stop_event, kStopWaitMs);
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
