#include "net/socket_api.h"

#include <gtest/gtest.h>

#include "net/socket_error.h"
#include "net/socket_test_util.h"

namespace zelsnmp {
namespace {

using testing::IPv6AddOnBinding;
using testing::kUnresolvableHost;
using testing::LegacyBinding;
using testing::ReleasedSocketInterface;
using testing::ScopedSocketInterface;
using testing::UnresolvableHostBinding;

bool IsAllZero(const SocketAddress& address) {
  for (unsigned char byte : address.bytes) {
    if (byte != 0) return false;
  }
  return true;
}

std::int32_t Build(SocketAddress& address, std::string_view host, std::string_view port,
                   TSocketFamily family, bool prefer_ip4 = true) {
  return BuildSocketAddress(address, host, port, prefer_ip4, kSocketTypeDatagram, kProtocolUdp,
                            SocketFamilyCode(family));
}

TEST(SocketInterfaceTest, LoadedBeforeMainInAddressInfoMode) {
  EXPECT_GE(SocketInterfaceUsers(), 1);
  EXPECT_TRUE(AddressInfoAvailable());
  EXPECT_FALSE(IPv6LibraryAvailable());
}

TEST(SocketInterfaceTest, UsersAreCountedAndNeverGoNegative) {
  ReleasedSocketInterface released;
  EXPECT_EQ(SocketInterfaceUsers(), 0);
  EXPECT_TRUE(UnloadSocketInterface());
  EXPECT_EQ(SocketInterfaceUsers(), 0);
  // Nothing loaded: calls fail with "Winsock not initialized" instead of crashing.
  EXPECT_EQ(SocketApi().create_socket(2, kSocketTypeDatagram, kProtocolUdp),
            kInvalidSocketHandle);
  EXPECT_EQ(SocketApi().last_error(), kSocketErrorNotInitialised);

  EXPECT_TRUE(LoadSocketInterface(""));
  EXPECT_TRUE(LoadSocketInterface("ws2_32.dll"));
  EXPECT_EQ(SocketInterfaceUsers(), 2);
  EXPECT_TRUE(UnloadSocketInterface());
  EXPECT_TRUE(AddressInfoAvailable());
  EXPECT_TRUE(UnloadSocketInterface());
  EXPECT_TRUE(UnloadSocketInterface());
  EXPECT_EQ(SocketInterfaceUsers(), 0);
}

// The platform's table with its start and clean-up counted instead of run.
int g_startups = 0;
int g_cleanups = 0;
const SocketInterfaceBinding& CountingBinding() {
  static const SocketInterfaceBinding binding{
      [](std::string_view name, SocketInterface& table) {
        const bool loaded = PlatformSocketInterfaceBinding().load_library(name, table);
        table.startup = [](std::uint16_t) { return ++g_startups, 0; };
        table.cleanup = [] { return ++g_cleanups, 0; };
        return loaded;
      },
      nullptr, PlatformSocketInterfaceBinding().free_libraries};
  return binding;
}

TEST(SocketInterfaceTest, TestInterfaceIsStartedAndCleanedUpAsTheProcessDoes) {
  g_startups = 0;
  g_cleanups = 0;
  {
    ScopedSocketInterface scoped(CountingBinding());
    ASSERT_TRUE(scoped.loaded());
    EXPECT_EQ(g_startups, 1);
    EXPECT_EQ(g_cleanups, 0);
  }
  EXPECT_EQ(g_cleanups, 1);
  // The process's own interface is back and started: sockets work again.
  const SocketHandle handle =
      SocketApi().create_socket(SocketApi().family_ip4, kSocketTypeDatagram, kProtocolUdp);
  ASSERT_NE(handle, kInvalidSocketHandle);
  SocketApi().close_socket(handle);
}

TEST(SocketInterfaceTest, StartFailureRaisesLoadError) {
  ReleasedSocketInterface released;
  SocketInterfaceBinding missing_library{
      [](std::string_view, SocketInterface&) { return false; }, nullptr, nullptr};
  try {
    StartSocketInterface("ws2_32.dll", missing_library);
    FAIL() << "no exception";
  } catch (const ESocketError& error) {
    EXPECT_EQ(error.Message(), "Error loading Socket interface (ws2_32.dll)!");
    EXPECT_EQ(error.ErrorMessage(), "Error loading Socket interface (ws2_32.dll)!");
    EXPECT_EQ(error.ErrorCode(), 0);
  }
  EXPECT_EQ(SocketInterfaceUsers(), 0);
}

TEST(SocketInterfaceTest, AddOnLibraryServesOnlyIPv6Lookups) {
  ScopedSocketInterface scoped(IPv6AddOnBinding());
  ASSERT_TRUE(scoped.loaded());
  EXPECT_FALSE(AddressInfoAvailable());
  EXPECT_TRUE(IPv6LibraryAvailable());
  EXPECT_TRUE(UsesAddressInfo(SocketFamilyCode(SF_IP6)));
  EXPECT_FALSE(UsesAddressInfo(SocketFamilyCode(SF_IP4)));
  EXPECT_FALSE(UsesAddressInfo(SocketFamilyCode(SF_Any)));

  SocketAddress address;
  EXPECT_EQ(Build(address, "::1", "161", SF_IP6), 0);
  EXPECT_EQ(AddressText(address), "::1");
  EXPECT_EQ(Build(address, "127.0.0.1", "162", SF_IP4), 0);
  EXPECT_EQ(AddressText(address), "127.0.0.1");
  EXPECT_EQ(AddressPort(address), 162);
}

struct BuildCase {
  const char* host;
  const char* port;
  TSocketFamily family;
  const char* text;
  std::uint16_t port_number;
  int length;
};

TEST(BuildSocketAddressTest, AddressInfoMode) {
  const BuildCase cases[] = {
      {"0.0.0.0", "0", SF_IP4, "0.0.0.0", 0, 16},
      {"127.0.0.1", "161", SF_IP4, "127.0.0.1", 161, 16},
      {"127.0.0.5", "161", SF_IP4, "127.0.0.5", 161, 16},
      {"127.0.0.1", "snmp", SF_IP4, "127.0.0.1", 161, 16},
      {"localhost", "1234", SF_Any, "127.0.0.1", 1234, 16},
      {"::1", "161", SF_IP6, "::1", 161, 28},
      {"::0", "0", SF_IP6, "::", 0, 28},
  };
  for (const BuildCase& c : cases) {
    SocketAddress address;
    EXPECT_EQ(Build(address, c.host, c.port, c.family), 0) << c.host;
    EXPECT_EQ(AddressText(address), c.text) << c.host;
    EXPECT_EQ(AddressPort(address), c.port_number) << c.host;
    EXPECT_EQ(AddressLength(address), c.length) << c.host;
  }
}

TEST(BuildSocketAddressTest, NameWithOnlyIPv4AddressFoundWhicheverFamilyIsPreferred) {
  SocketAddress address;
  EXPECT_EQ(Build(address, "localhost", "161", SF_Any, /*prefer_ip4=*/false), 0);
  EXPECT_EQ(AddressText(address), "127.0.0.1");
}

// A loopback literal tried first in the other family is that family's refusal, not its
// loopback address: "::1" stays IPv6 whichever family is tried first, and the reverse.
TEST(BuildSocketAddressTest, LoopbackLiteralKeepsItsFamilyWhicheverIsTriedFirst) {
  const struct {
    const char* host;
    bool prefer_ip4;
    const char* text;
    int length;
  } cases[] = {{"::1", true, "::1", 28}, {"127.0.0.1", false, "127.0.0.1", 16}};
  for (const auto& c : cases) {
    SocketAddress address;
    EXPECT_EQ(Build(address, c.host, "161", SF_Any, c.prefer_ip4), 0) << c.host;
    EXPECT_EQ(AddressText(address), c.text) << c.host;
    EXPECT_EQ(AddressLength(address), c.length) << c.host;
  }
}

TEST(BuildSocketAddressTest, FailedLookupLeavesZeroRecordAndNumber) {
  ScopedSocketInterface scoped(UnresolvableHostBinding());
  SocketAddress address;
  address.bytes[5] = 7;
  EXPECT_EQ(Build(address, kUnresolvableHost, "161", SF_Any), kSocketErrorHostNotFound);
  EXPECT_TRUE(IsAllZero(address));
  EXPECT_EQ(AddressLength(address), 0);
  EXPECT_EQ(AddressText(address), "");
}

TEST(BuildSocketAddressTest, UnknownServiceFails) {
  SocketAddress address;
  EXPECT_NE(Build(address, "127.0.0.1", "no-such-service", SF_IP4), 0);
  EXPECT_TRUE(IsAllZero(address));
}

TEST(BuildSocketAddressTest, TextWithZeroByteIsNotCutShort) {
  SocketAddress address;
  EXPECT_EQ(Build(address, std::string_view("localhost\0x", 11), "161", SF_IP4),
            kSocketErrorHostNotFound);
}

TEST(LookupAddressTest, RawSocketTypeLooksUpHostOnly) {
  AddressLookupHints hints;
  hints.family = SocketFamilyCode(SF_IP4);
  hints.socket_type = kSocketTypeRaw;
  hints.protocol = kProtocolUdp;
  SocketAddress address;
  EXPECT_EQ(LookupAddress("127.0.0.2", "161", hints, address), 0);
  EXPECT_EQ(AddressText(address), "127.0.0.2");
  EXPECT_EQ(AddressPort(address), 0);
}

TEST(LegacyModeTest, ResolvesIPv4NamesPortsAndServices) {
  ScopedSocketInterface scoped(LegacyBinding());
  ASSERT_TRUE(scoped.loaded());
  EXPECT_FALSE(AddressInfoAvailable());
  EXPECT_FALSE(IPv6LibraryAvailable());
  EXPECT_FALSE(UsesAddressInfo(SocketFamilyCode(SF_IP6)));

  const BuildCase cases[] = {
      {"localhost", "161", SF_Any, "127.0.0.1", 161, 16},
      {"127.0.0.3", "65535", SF_IP4, "127.0.0.3", 65535, 16},
      {"127.0.0.1", "snmp", SF_Any, "127.0.0.1", 161, 16},
      {"127.0.0.1", "snmp-trap", SF_Any, "127.0.0.1", 162, 16},
      {"255.255.255.255", "0", SF_Any, "255.255.255.255", 0, 16},
      {"0.0.0.0", "0", SF_Any, "0.0.0.0", 0, 16},
  };
  for (const BuildCase& c : cases) {
    SocketAddress address;
    EXPECT_EQ(Build(address, c.host, c.port, c.family), 0) << c.host << ":" << c.port;
    EXPECT_EQ(AddressText(address), c.text) << c.host;
    EXPECT_EQ(AddressPort(address), c.port_number) << c.host << ":" << c.port;
    EXPECT_EQ(AddressLength(address), c.length) << c.host;
  }
  EXPECT_EQ(AddressText(SocketAddress{}), "0.0.0.0");
}

TEST(LegacyModeTest, UnresolvedNameGivesLookupNumber) {
  SocketInterfaceBinding failing_lookup{
      [](std::string_view name, SocketInterface& table) {
        bool loaded = testing::LoadWithoutAddressInfo(name, table);
        table.host_by_name = [](const char*, std::uint32_t&) { return false; };
        table.last_error = []() -> std::int32_t { return kSocketErrorHostNotFound; };
        return loaded;
      },
      nullptr, nullptr};
  ScopedSocketInterface scoped(failing_lookup);
  SocketAddress address;
  EXPECT_EQ(Build(address, kUnresolvableHost, "161", SF_Any), kSocketErrorHostNotFound);
}

}  // namespace
}  // namespace zelsnmp
