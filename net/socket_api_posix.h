// The POSIX binding's mapping of platform errors onto the Windows socket error numbers.
//
// Declared apart so that tests can check the mapping itself; the socket code never needs it,
// because every entry of the table already reports mapped numbers through `last_error`.
// A value without a counterpart keeps its own number, which lies outside the table of error
// texts and so reads "Other Winsock error (N)".

#ifndef ZELSNMP_NET_SOCKET_API_POSIX_H_
#define ZELSNMP_NET_SOCKET_API_POSIX_H_

#include <cstdint>

namespace zelsnmp {

// An errno value of a failed socket call.
std::int32_t SocketErrorFromErrno(int errno_value);
// A getaddrinfo / getnameinfo result code (EAI_SYSTEM takes the current errno).
std::int32_t SocketErrorFromAddressInfo(int result_code);
// An h_errno value of a failed gethostbyname.
std::int32_t SocketErrorFromHostLookup(int h_errno_value);

}  // namespace zelsnmp

#endif  // ZELSNMP_NET_SOCKET_API_POSIX_H_
