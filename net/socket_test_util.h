// Test helpers for the socket transport: swapping the process-wide socket interface for a
// test binding, and small waits on real loopback sockets.

#ifndef ZELSNMP_NET_SOCKET_TEST_UTIL_H_
#define ZELSNMP_NET_SOCKET_TEST_UTIL_H_

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

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

// A wait of a socket for a datagram, as the platform was asked for it and answered.
struct RecordedWait {
  SocketHandle handle;
  int timeout_ms;
  int result;  // > 0 readable, 0 the time-out passed, < 0 failed
};

// Records every wait_readable of the table it is applied to, from any thread, so that a test
// tells how long a socket was willing to wait, and whether a wait ended by its time-out, from
// what the socket asked the platform rather than from the time the machine took. `before`,
// when set, runs ahead of each wait on the waiting thread.
class WaitRecorder {
 public:
  static void Apply(SocketInterface& table) {
    platform_wait_ = table.wait_readable;
    table.wait_readable = [](SocketHandle handle, int timeout_ms) {
      std::function<void(SocketHandle, int)> before;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        before = before_;
      }
      if (before) before(handle, timeout_ms);
      const int result = platform_wait_(handle, timeout_ms);
      std::lock_guard<std::mutex> lock(mutex_);
      waits_.push_back({handle, timeout_ms, result});
      return result;
    };
  }
  static void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    waits_.clear();
    before_ = nullptr;
  }
  static void SetBefore(std::function<void(SocketHandle, int)> before) {
    std::lock_guard<std::mutex> lock(mutex_);
    before_ = std::move(before);
  }
  // The waits of `handle` so far, in order.
  static std::vector<RecordedWait> Of(SocketHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RecordedWait> of;
    for (const RecordedWait& wait : waits_) {
      if (wait.handle == handle) of.push_back(wait);
    }
    return of;
  }
  // Those of them that waited out a time-out: not the polls (a time-out of 0) that found
  // nothing queued.
  static std::vector<RecordedWait> TimedOutOf(SocketHandle handle) {
    std::vector<RecordedWait> timed_out;
    for (const RecordedWait& wait : Of(handle)) {
      if (wait.result == 0 && wait.timeout_ms != 0) timed_out.push_back(wait);
    }
    return timed_out;
  }

 private:
  static inline int (*platform_wait_)(SocketHandle, int) = nullptr;
  static inline std::mutex mutex_;
  static inline std::vector<RecordedWait> waits_;
  static inline std::function<void(SocketHandle, int)> before_;
};

// The platform's table with its waits recorded; the record starts empty.
inline const SocketInterfaceBinding& WaitRecordingBinding() {
  static const SocketInterfaceBinding binding{
      [](std::string_view name, SocketInterface& table) {
        const bool loaded = PlatformSocketInterfaceBinding().load_library(name, table);
        WaitRecorder::Clear();
        if (loaded) WaitRecorder::Apply(table);
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
