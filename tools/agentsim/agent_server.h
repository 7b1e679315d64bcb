// The network side of the agent simulator: one UDP socket that takes requests, answers them
// as agent_responder builds them and adds the faults the options ask for.
//
// Start-up prints "agentsim listening on ADDR:PORT" (the port the socket really got), each
// answered request one line (DescribeAnswer) and, on a stop, "agentsim stopped"; every line
// is flushed at once so that a process reading the output sees it immediately. Requests that
// are not answered (wrong community, not a GetRequest, undecodable, --silent, --loss,
// --drop-above) get no "answered" line. Version-3 requests go to the agent's SNMPv3 engine
// (AgentEngine, v3_responder.h); a Report it sends gets a "reported" line instead.
// Requests are served one after the other: with --delay, later requests wait in the socket's
// queue.

#ifndef ZELSNMP_TOOLS_AGENTSIM_AGENT_SERVER_H_
#define ZELSNMP_TOOLS_AGENTSIM_AGENT_SERVER_H_

#include <functional>

#include "tools/agentsim/agent_options.h"
#include "tools/agentsim/snmprec.h"

namespace zelsnmp::agentsim {

// The bytes sent by --garbage-first: the first byte is a primitive tag, so no SNMP decoder
// can take them for a message.
inline constexpr std::string_view kGarbageDatagram = "GARBAGE, NOT AN SNMP MESSAGE";

// Serves until `stop_requested` says so. Returns the process exit code: 0 after a stop, 1
// when the sockets could not be set up or the SNMPv3 user's keys could not be derived (the
// reason goes to standard error).
int RunAgent(const AgentOptions& options, const SnmprecData& data,
             const std::function<bool()>& stop_requested);

}  // namespace zelsnmp::agentsim

#endif  // ZELSNMP_TOOLS_AGENTSIM_AGENT_SERVER_H_
