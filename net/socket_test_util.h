// Test helpers for the socket transport: swapping the process-wide socket interface for a
// test binding, and small waits on real loopback sockets.

#ifndef ZELSNMP_NET_SOCKET_TEST_UTIL_H_
#define ZELSNMP_NET_SOCKET_TEST_UTIL_H_

#include <chrono>
#include <string>
#include <string_view>
#include <thread>

#include "net/block_socket.h"
#include "net/socket_api.h"
#include "net/socket_error.h"

namespace zelsnmp::testing {

// Stops and unloads the interface completely for the life of the object, then loads and
// starts it again with the former user count, so that a test can load it its own way.
class ReleasedSocketInterface {
 public:
  ReleasedSocketInterface() : users_(SocketInterfaceUsers()) {
    for (int i = 1; i < users_; ++i) UnloadSocketInterface();
    if (users_ > 0) StopSocketInterface();
  }
  ~ReleasedSocketInterface() {
    while (SocketInterfaceUsers() > 0) UnloadSocketInterface();
    if (users_ > 0) StartSocketInterface(kSocketLibraryName, PlatformSocketInterfaceBinding());
    for (int i = 1; i < users_; ++i) LoadSocketInterface(kSocketLibraryName);
  }
  ReleasedSocketInterface(const ReleasedSocketInterface&) = delete;
  ReleasedSocketInterface& operator=(const ReleasedSocketInterface&) = delete;

 private:
  int users_;
};

// The interface loaded through `binding` and started for the life of the object.
class ScopedSocketInterface {
 public:
  explicit ScopedSocketInterface(const SocketInterfaceBinding& binding,
                                 std::string_view library_name = kSocketLibraryName)
      : loaded_(LoadSocketInterfaceWith(library_name, binding)) {
    if (loaded_) SocketApi().startup(kSocketInterfaceVersion);
  }
  ~ScopedSocketInterface() {
    if (loaded_) StopSocketInterface();
  }
  ScopedSocketInterface(const ScopedSocketInterface&) = delete;
  ScopedSocketInterface& operator=(const ScopedSocketInterface&) = delete;
  bool loaded() const { return loaded_; }

 private:
  ReleasedSocketInterface released_;
  bool loaded_;
};

inline constexpr std::string_view kUnresolvableHost = "unresolvable.test";

// The platform's table without the address-info entries: the legacy lookup mode.
inline bool LoadWithoutAddressInfo(std::string_view name, SocketInterface& table) {
  bool loaded = PlatformSocketInterfaceBinding().load_library(name, table);
  table.get_address_info = nullptr;
  table.get_name_info = nullptr;
  return loaded;
}

inline const SocketInterfaceBinding& LegacyBinding() {
  static const SocketInterfaceBinding binding{
      LoadWithoutAddressInfo, [](SocketInterface&) { return false; },
      PlatformSocketInterfaceBinding().free_libraries};
  return binding;
}

// Legacy mode, with the address-info entries supplied by an add-on library.
inline const SocketInterfaceBinding& IPv6AddOnBinding() {
  static const SocketInterfaceBinding binding{
      LoadWithoutAddressInfo,
      [](SocketInterface& table) {
        SocketInterface full;
        PlatformSocketInterfaceBinding().load_library(kSocketLibraryName, full);
        table.get_address_info = full.get_address_info;
        table.get_name_info = full.get_name_info;
        return true;
      },
      PlatformSocketInterfaceBinding().free_libraries};
  return binding;
}

// The platform's table whose lookup answers "Host not found" for kUnresolvableHost, so that
// tests of failed lookups send no query to any name server.
inline std::int32_t (*platform_get_address_info)(const char*, const char*,
                                                 const AddressLookupHints&, SocketAddress&);

inline std::int32_t LookupWithUnresolvableHost(const char* node, const char* service,
                                               const AddressLookupHints& hints,
                                               SocketAddress& first) {
  first = SocketAddress{};
  if (node != nullptr && std::string_view(node) == kUnresolvableHost) {
    return kSocketErrorHostNotFound;
  }
  return platform_get_address_info(node, service, hints, first);
}

inline const SocketInterfaceBinding& UnresolvableHostBinding() {
  static const SocketInterfaceBinding binding{
      [](std::string_view name, SocketInterface& table) {
        bool loaded = PlatformSocketInterfaceBinding().load_library(name, table);
        platform_get_address_info = table.get_address_info;
        table.get_address_info = LookupWithUnresolvableHost;
        return loaded;
      },
      nullptr, PlatformSocketInterfaceBinding().free_libraries};
  return binding;
}

// Waits (at most two seconds) until a datagram is queued on `socket`.
inline bool WaitForPending(TBlockSocket& socket) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (socket.PendingBytes() == 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// True where a socket bound to 127.0.0.x other than 127.0.0.1 really listens and sends on the
// wildcard address (Wine does so), so that its datagrams come from 127.0.0.1. Defined with
// the platform's own tests.
bool LoopbackAliasesBoundAsWildcard();

// True when a UDP socket can be bound to ::1 on this machine.
inline bool IPv6LoopbackAvailable() {
  TUDPBlockSocket probe;
  probe.BindLocal("::1", "0");
  return probe.LastErrorCode() == 0;
}

}  // namespace zelsnmp::testing

#endif  // ZELSNMP_NET_SOCKET_TEST_UTIL_H_
