#include "tools/agentsim/stop_signal.h"

#include <csignal>

namespace zelsnmp::agentsim {
namespace {

volatile std::sig_atomic_t stop_requested = 0;

extern "C" void RequestStop(int) { stop_requested = 1; }

}  // namespace

void InstallStopSignalHandlers() {
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);
}

bool StopRequested() { return stop_requested != 0; }

}  // namespace zelsnmp::agentsim
