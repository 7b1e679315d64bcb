// SNMPv3 agents when the cryptographic library cannot be used. On Windows the library's DLLs
// are loaded only for a configuration with a v3 agent, and a site that polls v2c agents only
// ships without them; a configuration that names a v3 agent there finds them missing. The v3
// agents are then set aside exactly as if their options held a mistake (never asked, their
// "#TC" and "#TT" points flagged in every pass), the v2c agents are polled as usual, and the
// error log names what is missing once, at load.

#ifndef ZELSNMP_POLLER_CRYPTO_AVAILABILITY_H_
#define ZELSNMP_POLLER_CRYPTO_AVAILABILITY_H_

#include <cstddef>
#include <string>

#include "poller/poll_config.h"
#include "snmp/usm_crypto.h"

namespace zelsnmp {

// True when some agent of `config` is to be polled with SNMPv3 (version 3, no mistake).
bool HasVersion3Agent(const PollConfig& config);

// Marks every v3 agent of `config` mistaken; gives how many it marked.
std::size_t SetAsideVersion3Agents(PollConfig& config);

// The error line that names what is missing, in Windows-1251 with its CR LF.
std::string CryptoUnavailableLine(const CryptoLibraryFault& fault);

// At load: when `config` has a v3 agent and the library cannot be started, writes the error
// line and sets the v3 agents aside. Starts the library only for a v3 agent.
void SetAsideVersion3AgentsWithoutCrypto(PollConfig& config);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_CRYPTO_AVAILABILITY_H_
