// The private network of the tests that need port 161 (see private_network_main.cpp).

#ifndef ZELSNMP_TESTING_PRIVATE_NETWORK_H_
#define ZELSNMP_TESTING_PRIVATE_NETWORK_H_

#include <string>

namespace zelsnmp::testing_support {

// Empty when the process runs in its own network namespace with loopback up; otherwise why not.
const std::string& PrivateNetworkUnavailableReason();

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_PRIVATE_NETWORK_H_
