#include "net/socket_error.h"

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

TEST(GetErrorDescTest, KnownUnknownAndSuccess) {
  struct Case {
    std::int32_t code;
    const char* text;
  };
  const Case cases[] = {
      {0, ""},
      {10004, "Interrupted system call"},
      {10054, "Connection reset by peer"},
      {10059, "Too many references:can't splice"},
      {10060, "Connection timed out"},
      {10065, "No route to host"},
      {10101, "Disconnect"},
      {11001, "Host not found"},
      {11004, "Valid name, no data record of requested type"},
      {12345, "Other Winsock error (12345)"},
      {10005, "Other Winsock error (10005)"},
      {-1, "Other Winsock error (-1)"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetErrorDesc(c.code), c.text) << c.code;
}

TEST(ESocketErrorTest, CarriesCodeAndMessage) {
  ESocketError error("TCP/IP Socket error 10060: Connection timed out", 10060,
                     "Connection timed out");
  const Exception& base = error;
  EXPECT_EQ(base.Message(), "TCP/IP Socket error 10060: Connection timed out");
  EXPECT_STREQ(base.what(), "TCP/IP Socket error 10060: Connection timed out");
  EXPECT_EQ(error.ErrorCode(), 10060);
  EXPECT_EQ(error.ErrorMessage(), "Connection timed out");
}

}  // namespace
}  // namespace zelsnmp
