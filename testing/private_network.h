// The private network of the tests that need port 161 (see private_network_main.cpp).

#ifndef ZELSNMP_TESTING_PRIVATE_NETWORK_H_
#define ZELSNMP_TESTING_PRIVATE_NETWORK_H_

#include <string>

namespace zelsnmp::testing_support {

// Empty when the process runs in its own network namespace with loopback up; otherwise why not.
const std::string& PrivateNetworkUnavailableReason();

// Gives the namespace's loopback interface the IPv6 `address` (once per process) and returns
// when a datagram sent to it arrives: the kernel loses the first datagram to a freshly added
// address now and then. Empty on success; otherwise why not.
std::string AddLoopbackIPv6Address(const std::string& address);

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_PRIVATE_NETWORK_H_
