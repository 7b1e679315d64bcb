// The platform's cryptographic random source, for values a sender on the network must not be
// able to predict (the request IDs of the SNMP exchange).
//
// Promises: the bytes come from the operating system's random generator (getrandom or
// /dev/urandom on POSIX, BCryptGenRandom on Windows), never from a seeded library generator.
// Any thread may call it.

#ifndef ZELSNMP_SYS_RANDOM_H_
#define ZELSNMP_SYS_RANDOM_H_

#include <cstddef>

namespace zelsnmp {

// Fills `size` bytes at `buffer`; false (the bytes then undefined) when the source cannot be
// read.
bool FillRandomBytes(void* buffer, std::size_t size);

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_RANDOM_H_
