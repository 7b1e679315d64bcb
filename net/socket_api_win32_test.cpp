// Tests of the Windows binding of the socket interface with the real socket library and two
// stand-in libraries that the test build makes: zelsnmp_ws2_legacy.dll, which forwards every
// entry to ws2_32.dll except the three address-info entries, and wship6.dll beside this
// program, which forwards only those three.

#include "net/socket_api.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "net/block_socket.h"
#include "net/socket_test_util.h"

namespace zelsnmp {

// Wine binds every 127.0.0.x socket to the wildcard address; Windows binds it as asked.
bool testing::LoopbackAliasesBoundAsWildcard() {
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

constexpr const char* kLegacyStandIn = "zelsnmp_ws2_legacy.dll";

// The tests unload and load the socket library many times in one thread. Wine keeps the
// per-thread storage of the legacy lookups across an unload and hands stale storage to the
// reloaded library (a crash in getprotobynumber); one reference held for the whole run keeps
// the library from really unloading. The task itself loads it once.
const HMODULE kHeldSocketLibrary = ::LoadLibraryA("ws2_32.dll");

std::string DirectoryOf(HMODULE module) {
  char path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
  std::string text(path, length);
  return text.substr(0, text.find_last_of("\\/"));
}

std::int32_t Build(SocketAddress& address, const char* host, const char* port,
                   TSocketFamily family) {
  return BuildSocketAddress(address, host, port, true, kSocketTypeDatagram, kProtocolUdp,
                            SocketFamilyCode(family));
}

TEST(WindowsSocketBindingTest, PlatformFamilyCodes) {
  ASSERT_NE(kHeldSocketLibrary, nullptr);
  EXPECT_EQ(SocketFamilyCode(SF_Any), 0);
  EXPECT_EQ(SocketFamilyCode(SF_IP4), 2);
  EXPECT_EQ(SocketFamilyCode(SF_IP6), 23);
}

TEST(WindowsSocketBindingTest, MissingLibraryDoesNotLoad) {
  testing::ReleasedSocketInterface released;
  EXPECT_FALSE(LoadSocketInterface("zelsnmp_no_such_library.dll"));
  EXPECT_EQ(SocketInterfaceUsers(), 0);
}

TEST(WindowsSocketBindingTest, ErrorNumbersAreThePlatformsOwn) {
  TUDPBlockSocket socket;
  socket.BindLocal("127.0.0.1", "0");
  ASSERT_EQ(socket.LastErrorCode(), 0);
  TUDPBlockSocket second;
  second.BindLocal("127.0.0.1", std::to_string(socket.LocalPortNumber()));
  EXPECT_EQ(second.LastErrorCode(), 10048);  // WSAEADDRINUSE, straight from WSAGetLastError
  EXPECT_EQ(second.LastErrorText(), "Address already in use");
}

TEST(WindowsSocketBindingTest, AddressInfoFromWship6WhenTheLibraryLacksIt) {
  testing::ScopedSocketInterface scoped(PlatformSocketInterfaceBinding(), kLegacyStandIn);
  ASSERT_TRUE(scoped.loaded());
  EXPECT_FALSE(AddressInfoAvailable());
  EXPECT_TRUE(IPv6LibraryAvailable());
  HMODULE add_on = ::GetModuleHandleA("wship6.dll");
  ASSERT_NE(add_on, nullptr);
  EXPECT_EQ(DirectoryOf(add_on), DirectoryOf(nullptr));  // the stand-in beside this program

  // IPv4 goes through the legacy lookups of the stand-in, IPv6 through the add-on.
  SocketAddress address;
  EXPECT_EQ(Build(address, "localhost", "snmp", SF_Any), 0);
  EXPECT_EQ(AddressText(address), "127.0.0.1");
  EXPECT_EQ(AddressPort(address), 161);
  EXPECT_EQ(Build(address, "127.0.0.1", "1610", SF_IP4), 0);
  EXPECT_EQ(AddressPort(address), 1610);
  EXPECT_EQ(Build(address, "::1", "162", SF_IP6), 0);
  EXPECT_EQ(AddressText(address), "::1");
  EXPECT_EQ(AddressLength(address), 28);

  // A datagram both ways through the stand-in's forwarded entries.
  TUDPBlockSocket agent;
  agent.BindLocal("127.0.0.1", "0");
  TUDPBlockSocket client;
  client.BindLocal("0.0.0.0", "0");
  client.ConnectTo("127.0.0.1", std::to_string(agent.LocalPortNumber()));
  client.SendDatagram("through the stand-in");
  ASSERT_EQ(client.LastErrorCode(), 0) << client.LastErrorText();
  EXPECT_EQ(agent.ReceiveDatagram(2000), "through the stand-in");
  agent.SendDatagram("answer");
  EXPECT_EQ(client.ReceiveDatagram(2000), "answer");
}

TEST(WindowsSocketBindingTest, UnloadingFreesBothLibraries) {
  {
    testing::ScopedSocketInterface scoped(PlatformSocketInterfaceBinding(), kLegacyStandIn);
    ASSERT_TRUE(scoped.loaded());
    EXPECT_NE(::GetModuleHandleA(kLegacyStandIn), nullptr);
    EXPECT_NE(::GetModuleHandleA("wship6.dll"), nullptr);
  }
  EXPECT_EQ(::GetModuleHandleA(kLegacyStandIn), nullptr);
  EXPECT_EQ(::GetModuleHandleA("wship6.dll"), nullptr);
}

}  // namespace
}  // namespace zelsnmp
