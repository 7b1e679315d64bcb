// The request IDs of the SNMP exchange: drawn for every request from the platform's random
// source, so that a sender that sees one request cannot predict the next.

#ifndef ZELSNMP_SNMP_REQUEST_ID_H_
#define ZELSNMP_SNMP_REQUEST_ID_H_

#include <cstdint>

namespace zelsnmp {

// A fresh request ID, 1 to 2147483647; `fallback` when the random source cannot be read.
std::int32_t DrawRequestId(std::int32_t fallback);

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_REQUEST_ID_H_
