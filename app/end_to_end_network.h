// The private network of the end-to-end tests (see end_to_end_main.cpp).

#ifndef ZELSNMP_APP_END_TO_END_NETWORK_H_
#define ZELSNMP_APP_END_TO_END_NETWORK_H_

#include <string>

namespace zelsnmp::testing_support {

// Empty when the process runs in its own network namespace with loopback up; otherwise why not.
const std::string& PrivateNetworkUnavailableReason();

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_APP_END_TO_END_NETWORK_H_
