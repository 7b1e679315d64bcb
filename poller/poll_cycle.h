// The poll cycle: the task's working life between start-up and shutdown.
//
// RunPollCycle loads the configuration from the fetched file (which deletes the file), then loops
// until a key is pressed in the task's console or the stop event is signalled: a poll pass on
// every fifth pass of a one-second wait for the stop event. Each mistake in the agents'
// options goes to the error log once, at load, where the keys of the SNMPv3 users are also
// derived; without a usable cryptographic library the v3 agents are set aside then
// (poller/crypto_availability.h). With no agent configured it logs that no address
// is configured and returns at once.
//
// With a notification port (the "/t" argument) the cycle also listens for the agents' traps and
// informs (poller/notification_receiver.h). Its one-second waits then wake on a datagram as on
// the stop event, and so does a pass while it waits for answers (every kNotificationSliceMs):
// a notification's bindings reach their points at once, and its section is polled out of turn
// as soon as no pass is under way, at most once per second per section however many
// notifications come. Without the port nothing of this runs and the cycle is as before.
//
// With the port and a v3 section, the task's own engine for v3 informs starts too: its
// engineBoots raised in "zelSNMP_<server>.boots" in the working directory
// (poller/engine_boots_file.h), its engine ID and boots said in the message log.

#ifndef ZELSNMP_POLLER_POLL_CYCLE_H_
#define ZELSNMP_POLLER_POLL_CYCLE_H_

#include <cstdint>
#include <string>

#include "sys/event.h"

namespace zelsnmp {

// `stop_event`: the process monitor's stop event; `tm_connection`: the TM connection id (> 0);
// `config_path`: the fetched configuration file, empty when there is none;
// `requests_in_flight`: how many agents' requests a pass keeps in flight at once (1: one after
// the other); `notification_port`: the UDP port to take notifications on, 0 for none;
// `tm_server`, `tm_machine`: the TM server and machine as the task connected to them, which
// name the task's own SNMPv3 engine for informs and its boots file.
void RunPollCycle(EventHandle stop_event, std::int32_t tm_connection,
                  const std::string& config_path, int requests_in_flight = 1,
                  int notification_port = 0, const std::string& tm_server = std::string(),
                  const std::string& tm_machine = std::string());

// How often a wait looks at the stop event and at the notifications while it listens.
inline constexpr int kNotificationSliceMs = 20;

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_POLL_CYCLE_H_
