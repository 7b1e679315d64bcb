// The POSIX binding's error mapping: platform errors read as the Windows socket numbers and
// texts that the rest of the system shows.

#include "net/socket_api_posix.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "net/socket_api.h"
#include "net/socket_error.h"
#include "net/socket_test_util.h"

namespace zelsnmp {

bool testing::LoopbackAliasesBoundAsWildcard() { return false; }

namespace {

struct MappingCase {
  int platform_value;
  std::int32_t socket_error;
  const char* text;
};

TEST(SocketErrorMappingTest, ErrnoValues) {
  const MappingCase cases[] = {
      {ECONNREFUSED, 10061, "Connection refused"},
      {ETIMEDOUT, 10060, "Connection timed out"},
      {ECONNRESET, 10054, "Connection reset by peer"},
      {EADDRINUSE, 10048, "Address already in use"},
      {EADDRNOTAVAIL, 10049, "Can't assign requested address"},
      {ENETUNREACH, 10051, "Network is unreachable"},
      {EHOSTUNREACH, 10065, "No route to host"},
      {EMSGSIZE, 10040, "Message too long"},
      {EAFNOSUPPORT, 10047, "Address family not supported"},
      {EWOULDBLOCK, 10035, "Operation would block"},
      {EINTR, 10004, "Interrupted system call"},
      {EBADF, 10009, "Bad file number"},
      {EACCES, 10013, "Permission denied"},
      {EINVAL, 10022, "Invalid argument"},
      {ENOTSOCK, 10038, "Socket operation on nonsocket"},
      {ENOBUFS, 10055, "No Buffer space available"},
      {EIO, EIO, "Other Winsock error (5)"},
  };
  for (const MappingCase& c : cases) {
    std::int32_t mapped = SocketErrorFromErrno(c.platform_value);
    EXPECT_EQ(mapped, c.socket_error) << c.platform_value;
    EXPECT_EQ(GetErrorDesc(mapped), c.text) << c.platform_value;
  }
}

TEST(SocketErrorMappingTest, LookupResults) {
  const MappingCase cases[] = {
      {EAI_NONAME, 11001, "Host not found"},
      {EAI_AGAIN, 11002, "Non authoritative - host not found"},
      {EAI_FAIL, 11003, "Non recoverable error"},
      {EAI_NODATA, 11004, "Valid name, no data record of requested type"},
      {EAI_FAMILY, 10047, "Address family not supported"},
      {EAI_SERVICE, 10109, "Other Winsock error (10109)"},
  };
  for (const MappingCase& c : cases) {
    std::int32_t mapped = SocketErrorFromAddressInfo(c.platform_value);
    EXPECT_EQ(mapped, c.socket_error) << c.platform_value;
    EXPECT_EQ(GetErrorDesc(mapped), c.text) << c.platform_value;
  }
  errno = ETIMEDOUT;
  EXPECT_EQ(SocketErrorFromAddressInfo(EAI_SYSTEM), 10060);
}

TEST(SocketErrorMappingTest, HostLookupResults) {
  EXPECT_EQ(SocketErrorFromHostLookup(HOST_NOT_FOUND), 11001);
  EXPECT_EQ(SocketErrorFromHostLookup(TRY_AGAIN), 11002);
  EXPECT_EQ(SocketErrorFromHostLookup(NO_RECOVERY), 11003);
  EXPECT_EQ(SocketErrorFromHostLookup(NO_DATA), 11004);
}

// The receive queue is asked for through the table; Linux grants double what is asked (its
// bookkeeping) up to net.core.rmem_max.
TEST(SocketApiPosixTest, ReceiveBufferIsSized) {
  const SocketHandle handle =
      SocketApi().create_socket(SocketApi().family_ip4, kSocketTypeDatagram, kProtocolUdp);
  ASSERT_NE(handle, kInvalidSocketHandle);
  EXPECT_EQ(SocketApi().set_receive_buffer(handle, 150000), 0);
  int granted = 0;
  socklen_t length = sizeof granted;
  ASSERT_EQ(getsockopt(static_cast<int>(handle), SOL_SOCKET, SO_RCVBUF, &granted, &length), 0);
  EXPECT_GE(granted, 150000);
  SocketApi().close_socket(handle);
  EXPECT_EQ(SocketApi().set_receive_buffer(handle, 150000), -1);
  EXPECT_EQ(SocketApi().last_error(), 10009);
}

}  // namespace
}  // namespace zelsnmp
