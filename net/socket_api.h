// The socket interface: the process-wide table of the platform's socket entry points, and
// the address resolution built on it.
//
// The table is filled once by LoadSocketInterface through a platform binding (one per
// platform: net/socket_api_posix.cpp, net/socket_api_win32.cpp) and shared by every socket
// of the process. A static object loads and starts the interface before main() and cleans
// it up after main() returns; when the interface cannot be loaded, ESocketError "Error
// loading Socket interface (ws2_32.dll)!" ends the process before main() runs.
//
// Every entry speaks the Windows socket error numbers (net/socket_error.h): the binding maps
// the platform's own errors onto them. Entries report failure by -1 (or false) and leave the
// error number for `last_error`.
//
// Two lookup modes: the address-info mode (IPv4 and IPv6) when the binding supplies the
// address-info entries, and the legacy mode (IPv4 only) when it does not.
//
// Above the table everything is platform-free. The process-wide state (table, user count,
// mode flags) changes only under SocketInterfaceLock; the system uses it from one thread.

#ifndef ZELSNMP_NET_SOCKET_API_H_
#define ZELSNMP_NET_SOCKET_API_H_

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace zelsnmp {

// A platform socket handle; kInvalidSocketHandle when there is none.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kInvalidSocketHandle = -1;

// An IPv4 or IPv6 socket address in the platform's own layout, zero when unset:
//   bytes 0-1 family code (host order), 2-3 port (network order),
//   IPv4: 4-7 address; IPv6: 4-7 flow information, 8-23 address, 24-27 scope identifier.
struct alignas(4) SocketAddress {
  unsigned char bytes[28] = {};
};
static_assert(sizeof(SocketAddress) == 28);

// The family a caller asks for: unspecified, IPv4 or IPv6.
enum TSocketFamily { SF_Any, SF_IP4, SF_IP6 };

// Socket type and protocol numbers as the system passes them.
inline constexpr int kSocketTypeDatagram = 2;
inline constexpr int kSocketTypeRaw = 3;
inline constexpr int kProtocolUdp = 17;

// The most handles one wait_readable_any call watches.
inline constexpr int kMaxWaitHandles = 8;

// Lookup hint flag: no node name means the wildcard address.
inline constexpr int kLookupPassive = 1;

struct AddressLookupHints {
  int flags = 0;
  int family = 0;  // platform family code, 0 = unspecified
  int socket_type = 0;
  int protocol = 0;
};

// The entry points. The comment names the Windows socket call each one stands for. A null
// address-info entry means the platform lacks it (legacy mode).
struct SocketInterface {
  // The platform's address family codes.
  int family_unspecified = 0;
  int family_ip4 = 0;
  int family_ip6 = 0;

  // socket: kInvalidSocketHandle on failure.
  SocketHandle (*create_socket)(int family, int socket_type, int protocol) = nullptr;
  // bind
  int (*bind_socket)(SocketHandle handle, const SocketAddress& address, int length) = nullptr;
  // sendto: bytes sent or -1.
  int (*send_to)(SocketHandle handle, const char* buffer, int length, const SocketAddress& to,
                 int to_length) = nullptr;
  // recvfrom: bytes received or -1; `from` (28 bytes of room) becomes the sender only on
  // success. A zero length takes a datagram off the queue without reading it.
  int (*receive_from)(SocketHandle handle, char* buffer, int length,
                      SocketAddress& from) = nullptr;
  // select on one handle for reading: -1 failure, 0 time-out, > 0 readable. A time-out of
  // -1 waits without limit, 0 polls.
  int (*wait_readable)(SocketHandle handle, int timeout_ms) = nullptr;
  // select on `count` handles (at most kMaxWaitHandles) for reading: -1 failure, 0 time-out,
  // else the number readable, with readable[i] telling which. Time-outs as above.
  int (*wait_readable_any)(const SocketHandle* handles, bool* readable, int count,
                           int timeout_ms) = nullptr;
  // ioctlsocket FIONREAD: 0 and the count, or -1.
  int (*pending_bytes)(SocketHandle handle, std::uint32_t& count) = nullptr;
  // closesocket
  int (*close_socket)(SocketHandle handle) = nullptr;
  // setsockopt SOL_SOCKET SO_RCVBUF: asks for room for `bytes` of received datagrams; 0 or -1.
  // The platform may grant less (Linux caps it at net.core.rmem_max).
  int (*set_receive_buffer)(SocketHandle handle, int bytes) = nullptr;
  // setsockopt IPPROTO_IPV6 IPV6_V6ONLY 1: an IPv6 socket takes IPv6 datagrams only, so that an
  // IPv4 socket can be bound to the same port beside it; 0 or -1.
  int (*set_ipv6_only)(SocketHandle handle) = nullptr;
  // getsockopt SOL_SOCKET SO_RCVBUF: 0 and the room granted for received datagrams, or -1.
  // Linux reports twice what it granted (the other half is for its bookkeeping) and counts
  // each queued datagram's bookkeeping against that figure.
  int (*receive_buffer)(SocketHandle handle, int& bytes) = nullptr;
  // 0 and the number of datagrams the platform dropped on the socket since it was opened
  // (mostly for want of room in its receive queue), or -1 where the platform does not tell.
  int (*dropped_datagrams)(SocketHandle handle, std::uint32_t& count) = nullptr;
  // The system setting that caps what set_receive_buffer grants, for the log; empty where
  // there is none.
  const char* receive_buffer_limit = "";
  // getsockname: 0 or -1; `address` is zero-filled first.
  int (*local_name)(SocketHandle handle, SocketAddress& address) = nullptr;
  // WSAGetLastError: the Windows socket error number of this thread's last failed entry.
  std::int32_t (*last_error)() = nullptr;
  // WSAStartup / WSACleanup
  int (*startup)(std::uint16_t version) = nullptr;
  int (*cleanup)() = nullptr;
  // Sleep(0): gives up the rest of the time slice.
  void (*yield_processor)() = nullptr;

  // Address-info mode. getaddrinfo + freeaddrinfo: the first result's address into `first`;
  // 0 or the error number. A null node or service is passed on as absent.
  std::int32_t (*get_address_info)(const char* node, const char* service,
                                   const AddressLookupHints& hints,
                                   SocketAddress& first) = nullptr;
  // getnameinfo with numeric host and service: 0 and the host text, or the error number.
  std::int32_t (*get_name_info)(const SocketAddress& address, int length,
                                std::string& host) = nullptr;

  // Legacy mode (IPv4 only).
  // inet_addr: the address in network order, 0xFFFFFFFF when the text is not one.
  std::uint32_t (*parse_ipv4)(const char* text) = nullptr;
  // gethostbyname: the first address in network order; false with last_error set.
  bool (*host_by_name)(const char* name, std::uint32_t& first_address) = nullptr;
  // getprotobynumber: the protocol's name.
  bool (*protocol_by_number)(int protocol, std::string& name) = nullptr;
  // getservbyname: the service's port, in network order.
  bool (*service_by_name)(const char* service, const char* protocol,
                          std::uint16_t& port) = nullptr;
  // inet_ntoa of an address in network order.
  bool (*ipv4_to_text)(std::uint32_t address, std::string& text) = nullptr;
};

// How a platform reaches its socket interface. `load_library` fills the table from the named
// library (false when it cannot be loaded); `load_ipv6_library` supplies the address-info
// entries from an add-on library when the first lacked them (false when it cannot);
// `free_libraries` lets go of whatever was loaded.
struct SocketInterfaceBinding {
  bool (*load_library)(std::string_view library_name, SocketInterface& table) = nullptr;
  bool (*load_ipv6_library)(SocketInterface& table) = nullptr;
  void (*free_libraries)() = nullptr;
};

// This platform's binding.
const SocketInterfaceBinding& PlatformSocketInterfaceBinding();

inline constexpr std::string_view kSocketLibraryName = "ws2_32.dll";
inline constexpr std::uint16_t kSocketInterfaceVersion = 0x0202;

// The loaded table. While nothing is loaded, every core entry fails with 10093 ("Winsock
// not initialized") and the lookup entries are absent.
const SocketInterface& SocketApi();

// Loads the interface through the platform's binding, or counts one more user when it is
// loaded already. An empty name means "ws2_32.dll". True when the interface is usable.
bool LoadSocketInterface(std::string_view library_name);
// The same through another binding; tests use it to load a table without the address-info
// entries (legacy mode) or with a stand-in lookup.
bool LoadSocketInterfaceWith(std::string_view library_name,
                             const SocketInterfaceBinding& binding);
// Counts one user less (never below 0); the last one frees the libraries. Always true.
bool UnloadSocketInterface();

// Loads the interface and starts it (WSAStartup 2.2); raises ESocketError "Error loading
// Socket interface (ws2_32.dll)!" with ErrorCode 0 when it cannot be loaded.
void StartSocketInterface(std::string_view library_name, const SocketInterfaceBinding& binding);
// WSACleanup, then UnloadSocketInterface.
void StopSocketInterface();

int SocketInterfaceUsers();
std::recursive_mutex& SocketInterfaceLock();
bool AddressInfoAvailable();
bool IPv6LibraryAvailable();
// True when lookups for `family_code` use the address-info entries.
bool UsesAddressInfo(int family_code);

// The platform family code of a family choice.
int SocketFamilyCode(TSocketFamily family);
// The family code stored in an address record.
int AddressFamily(const SocketAddress& address);

// Resolves host and port (number or service name) into `address`. With `family_code` 0 it
// tries IPv4 then IPv6 (or the reverse when `prefer_ip4` is false). Returns 0, or the error
// number with the record left all zero (address-info mode) or all-ones IPv4 (legacy mode).
std::int32_t BuildSocketAddress(SocketAddress& address, std::string_view host,
                                std::string_view port, bool prefer_ip4, int socket_type,
                                int protocol, int family_code);

// One address-info lookup into `address` (zero-filled first); 0 or the error number.
std::int32_t LookupAddress(std::string_view host, std::string_view port,
                           const AddressLookupHints& hints, SocketAddress& address);

// Numeric address text; empty when it cannot be produced.
std::string AddressText(const SocketAddress& address);
// The port in host order.
std::uint16_t AddressPort(const SocketAddress& address);
// 16 for IPv4, 28 for IPv6, 0 for anything else.
int AddressLength(const SocketAddress& address);

}  // namespace zelsnmp

#endif  // ZELSNMP_NET_SOCKET_API_H_
