// The reference side of the benchmarks: net-snmp's library, reached only through this
// interface so that its headers and macros stay in netsnmp_side.cpp.

#ifndef ZELSNMP_BENCH_NETSNMP_SIDE_H_
#define ZELSNMP_BENCH_NETSNMP_SIDE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_vectors.h"

namespace zelsnmp::bench {

// Starts the library once: no MIB files, no configuration files, no log output.
void InitNetSnmp();

// An opaque filled PDU of the library.
struct NetSnmpPdu;

// A version-2c PDU of `pdu_type` holding `specs` with request ID kRequestId.
NetSnmpPdu* NetSnmpFill(int pdu_type, const std::vector<BindingSpec>& specs);
// The OIDs of `specs` in the library's own form, made once outside the timed loops.
struct NetSnmpNames;
NetSnmpNames* NetSnmpPrepareNames(const std::vector<BindingSpec>& specs);
// A GetRequest of NULL bindings (the library's snmp_add_null_var).
NetSnmpPdu* NetSnmpFillNulls(const NetSnmpNames* names);
void NetSnmpFree(NetSnmpPdu* pdu);

// Encodes the PDU; the bytes go to `out` (which keeps its memory between calls).
bool NetSnmpEncode(NetSnmpPdu* pdu, std::string& out);

// Parses a message and reads every binding's value; the sum of what was read (so that
// nothing can be left out), or -1 when the message did not parse.
std::int64_t NetSnmpDecodeAndRead(const std::string& bytes);

// A session to 127.0.0.1:`port` for synchronous requests; null when it cannot be opened.
void* NetSnmpOpenSession(int port, int timeout_ms);
// One synchronous GET of NULL bindings; true when a response came.
bool NetSnmpSyncGet(void* session, const NetSnmpNames* names);
void NetSnmpCloseSession(void* session);
// A version-3 session at authPriv (SHA-256, AES-128) of `user` to 127.0.0.1:`port`, its keys
// derived here from the passphrases; the engine is discovered on the first request. Null when
// it cannot be opened.
void* NetSnmpOpenV3Session(int port, int timeout_ms, const std::string& user,
                           const std::string& auth_passphrase,
                           const std::string& priv_passphrase);

}  // namespace zelsnmp::bench

#endif  // ZELSNMP_BENCH_NETSNMP_SIDE_H_
