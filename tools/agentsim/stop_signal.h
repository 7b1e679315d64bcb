// The stop request of the agent simulator: set by SIGINT or SIGTERM, polled by its loop.

#ifndef ZELSNMP_TOOLS_AGENTSIM_STOP_SIGNAL_H_
#define ZELSNMP_TOOLS_AGENTSIM_STOP_SIGNAL_H_

namespace zelsnmp::agentsim {

void InstallStopSignalHandlers();
bool StopRequested();

}  // namespace zelsnmp::agentsim

#endif  // ZELSNMP_TOOLS_AGENTSIM_STOP_SIGNAL_H_
