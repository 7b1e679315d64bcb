// The Windows binding of the socket interface: loads the Windows Sockets library by name at
// run time and takes every entry point from it with GetProcAddress, so that the program
// imports no socket library at link time. The address-info entries come from the IPv6 add-on
// library "wship6.dll" when the socket library lacks them.
//
// The entries report the platform's own error numbers (WSAGetLastError, and the result codes
// of getaddrinfo and getnameinfo are socket error numbers already): nothing is mapped.
// The library's htons/ntohs are looked up like every entry but never called (the platform-free
// code swaps byte order by hand), and FD_ISSET is not used (it calls the library's
// __WSAFDIsSet): either would import the library at link time.
//
// On Windows a UDP socket that was sent to a closed port gets the ICMP "port unreachable" as
// a pending error: the socket becomes readable with nothing to read, and the next receive
// fails with 10054 (connection reset), which the blocking socket reports as it stands.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

#include "net/socket_api.h"

namespace zelsnmp {
namespace {

static_assert(SOCK_DGRAM == kSocketTypeDatagram);
static_assert(SOCK_RAW == kSocketTypeRaw);
static_assert(IPPROTO_UDP == kProtocolUdp);
static_assert(sizeof(sockaddr_in6) == sizeof(SocketAddress));
static_assert(sizeof(sockaddr_in) == 16);
static_assert(AI_PASSIVE == kLookupPassive);

// The entry points as the library exports them, with the library's own types and calling
// convention. decltype names the declarations only: nothing is imported through them.
struct WinsockEntries {
  decltype(&::WSAIoctl) wsa_ioctl = nullptr;
  decltype(&::__WSAFDIsSet) wsa_fd_is_set = nullptr;
  decltype(&::closesocket) closesocket = nullptr;
  decltype(&::ioctlsocket) ioctlsocket = nullptr;
  decltype(&::WSAGetLastError) wsa_get_last_error = nullptr;
  decltype(&::WSAStartup) wsa_startup = nullptr;
  decltype(&::WSACleanup) wsa_cleanup = nullptr;
  decltype(&::accept) accept = nullptr;
  decltype(&::bind) bind = nullptr;
  decltype(&::connect) connect = nullptr;
  decltype(&::getpeername) getpeername = nullptr;
  decltype(&::getsockname) getsockname = nullptr;
  decltype(&::getsockopt) getsockopt = nullptr;
  decltype(&::htonl) htonl = nullptr;
  decltype(&::htons) htons = nullptr;
  decltype(&::inet_addr) inet_addr = nullptr;
  decltype(&::inet_ntoa) inet_ntoa = nullptr;
  decltype(&::listen) listen = nullptr;
  decltype(&::ntohl) ntohl = nullptr;
  decltype(&::ntohs) ntohs = nullptr;
  decltype(&::recv) recv = nullptr;
  decltype(&::recvfrom) recvfrom = nullptr;
  decltype(&::select) select = nullptr;
  decltype(&::send) send = nullptr;
  decltype(&::sendto) sendto = nullptr;
  decltype(&::setsockopt) setsockopt = nullptr;
  decltype(&::shutdown) shutdown = nullptr;
  decltype(&::socket) socket = nullptr;
  decltype(&::gethostbyaddr) gethostbyaddr = nullptr;
  decltype(&::gethostbyname) gethostbyname = nullptr;
  decltype(&::getprotobyname) getprotobyname = nullptr;
  decltype(&::getprotobynumber) getprotobynumber = nullptr;
  decltype(&::getservbyname) getservbyname = nullptr;
  decltype(&::getservbyport) getservbyport = nullptr;
  decltype(&::gethostname) gethostname = nullptr;
  decltype(&::getaddrinfo) getaddrinfo = nullptr;
  decltype(&::freeaddrinfo) freeaddrinfo = nullptr;
  decltype(&::getnameinfo) getnameinfo = nullptr;
};

// What the process holds while the interface is loaded. Changed only by the loader, which
// runs under the interface's lock.
struct LoadedLibraries {
  HMODULE socket_library = nullptr;
  HMODULE ipv6_library = nullptr;
  WinsockEntries entries;
  WSADATA startup_record{};
};

LoadedLibraries& Loaded() {
  static LoadedLibraries loaded;
  return loaded;
}

const WinsockEntries& Api() { return Loaded().entries; }

template <typename Entry>
void TakeEntry(HMODULE library, const char* name, Entry& entry) {
  // GetProcAddress gives a generic function pointer; the entry's own type is restored here.
  entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

void TakeAddressInfoEntries(HMODULE library, WinsockEntries& e) {
  TakeEntry(library, "getaddrinfo", e.getaddrinfo);
  TakeEntry(library, "freeaddrinfo", e.freeaddrinfo);
  TakeEntry(library, "getnameinfo", e.getnameinfo);
}

// Looked up in this order, each by its exported name; the address-info entries come last.
void TakeSocketEntries(HMODULE library, WinsockEntries& e) {
  TakeEntry(library, "WSAIoctl", e.wsa_ioctl);
  TakeEntry(library, "__WSAFDIsSet", e.wsa_fd_is_set);
  TakeEntry(library, "closesocket", e.closesocket);
  TakeEntry(library, "ioctlsocket", e.ioctlsocket);
  TakeEntry(library, "WSAGetLastError", e.wsa_get_last_error);
  TakeEntry(library, "WSAStartup", e.wsa_startup);
  TakeEntry(library, "WSACleanup", e.wsa_cleanup);
  TakeEntry(library, "accept", e.accept);
  TakeEntry(library, "bind", e.bind);
  TakeEntry(library, "connect", e.connect);
  TakeEntry(library, "getpeername", e.getpeername);
  TakeEntry(library, "getsockname", e.getsockname);
  TakeEntry(library, "getsockopt", e.getsockopt);
  TakeEntry(library, "htonl", e.htonl);
  TakeEntry(library, "htons", e.htons);
  TakeEntry(library, "inet_addr", e.inet_addr);
  TakeEntry(library, "inet_ntoa", e.inet_ntoa);
  TakeEntry(library, "listen", e.listen);
  TakeEntry(library, "ntohl", e.ntohl);
  TakeEntry(library, "ntohs", e.ntohs);
  TakeEntry(library, "recv", e.recv);
  TakeEntry(library, "recvfrom", e.recvfrom);
  TakeEntry(library, "select", e.select);
  TakeEntry(library, "send", e.send);
  TakeEntry(library, "sendto", e.sendto);
  TakeEntry(library, "setsockopt", e.setsockopt);
  TakeEntry(library, "shutdown", e.shutdown);
  TakeEntry(library, "socket", e.socket);
  TakeEntry(library, "gethostbyaddr", e.gethostbyaddr);
  TakeEntry(library, "gethostbyname", e.gethostbyname);
  TakeEntry(library, "getprotobyname", e.getprotobyname);
  TakeEntry(library, "getprotobynumber", e.getprotobynumber);
  TakeEntry(library, "getservbyname", e.getservbyname);
  TakeEntry(library, "getservbyport", e.getservbyport);
  TakeEntry(library, "gethostname", e.gethostname);
  TakeAddressInfoEntries(library, e);
}

bool HasAddressInfoEntries(const WinsockEntries& e) {
  return e.getaddrinfo != nullptr && e.freeaddrinfo != nullptr && e.getnameinfo != nullptr;
}

SOCKET AsSocket(SocketHandle handle) { return static_cast<SOCKET>(handle); }

const sockaddr* AsSockaddr(const SocketAddress& address) {
  return reinterpret_cast<const sockaddr*>(address.bytes);
}

SocketHandle CreateSocket(int family, int socket_type, int protocol) {
  SOCKET created = Api().socket(family, socket_type, protocol);
  return created == INVALID_SOCKET ? kInvalidSocketHandle : static_cast<SocketHandle>(created);
}

int BindSocket(SocketHandle handle, const SocketAddress& address, int length) {
  return Api().bind(AsSocket(handle), AsSockaddr(address), length) == 0 ? 0 : -1;
}

int SendTo(SocketHandle handle, const char* buffer, int length, const SocketAddress& to,
           int to_length) {
  int sent = Api().sendto(AsSocket(handle), buffer, length, 0, AsSockaddr(to), to_length);
  return sent == SOCKET_ERROR ? -1 : sent;
}

int ReceiveFrom(SocketHandle handle, char* buffer, int length, SocketAddress& from) {
  SocketAddress sender;
  int sender_length = sizeof sender.bytes;
  int received = Api().recvfrom(AsSocket(handle), buffer, length, 0,
                                reinterpret_cast<sockaddr*>(sender.bytes), &sender_length);
  if (received == SOCKET_ERROR) return -1;
  from = sender;
  return received;
}

int WaitReadable(SocketHandle handle, int timeout_ms) {
  // The set is filled by hand: FD_ISSET and friends would call the library's __WSAFDIsSet.
  fd_set readable{};
  readable.fd_count = 1;
  readable.fd_array[0] = AsSocket(handle);
  timeval limit{};
  limit.tv_sec = timeout_ms / 1000;
  limit.tv_usec = (timeout_ms % 1000) * 1000;
  int ready = Api().select(0, &readable, nullptr, nullptr, timeout_ms < 0 ? nullptr : &limit);
  return ready == SOCKET_ERROR ? -1 : ready;
}

int WaitReadableAny(const SocketHandle* handles, bool* readable, int count, int timeout_ms) {
  if (count < 1 || count > kMaxWaitHandles || count > FD_SETSIZE) return -1;
  fd_set ready_set{};
  ready_set.fd_count = static_cast<u_int>(count);
  for (int i = 0; i < count; ++i) ready_set.fd_array[i] = AsSocket(handles[i]);
  timeval limit{};
  limit.tv_sec = timeout_ms / 1000;
  limit.tv_usec = (timeout_ms % 1000) * 1000;
  int ready = Api().select(0, &ready_set, nullptr, nullptr, timeout_ms < 0 ? nullptr : &limit);
  if (ready == SOCKET_ERROR) return -1;
  // select leaves only the readable handles in the set; looked up by hand, as FD_ISSET would
  // call the library.
  for (int i = 0; i < count; ++i) {
    readable[i] = false;
    for (u_int j = 0; j < ready_set.fd_count; ++j) {
      if (ready_set.fd_array[j] == AsSocket(handles[i])) readable[i] = true;
    }
  }
  return ready;
}

int PendingBytes(SocketHandle handle, std::uint32_t& count) {
  u_long pending = 0;
  if (Api().ioctlsocket(AsSocket(handle), FIONREAD, &pending) != 0) return -1;
  count = static_cast<std::uint32_t>(pending);
  return 0;
}

int CloseSocket(SocketHandle handle) {
  return Api().closesocket(AsSocket(handle)) == 0 ? 0 : -1;
}

int SetReceiveBuffer(SocketHandle handle, int bytes) {
  return Api().setsockopt(AsSocket(handle), SOL_SOCKET, SO_RCVBUF,
                          reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0
             ? 0
             : -1;
}

int SetIPv6Only(SocketHandle handle) {
  const DWORD on = 1;
  return Api().setsockopt(AsSocket(handle), IPPROTO_IPV6, IPV6_V6ONLY,
                          reinterpret_cast<const char*>(&on), sizeof on) == 0
             ? 0
             : -1;
}

int ReceiveBuffer(SocketHandle handle, int& bytes) {
  int granted = 0;
  int length = sizeof granted;
  if (Api().getsockopt(AsSocket(handle), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted),
                       &length) != 0) {
    return -1;
  }
  bytes = granted;
  return 0;
}

int LocalName(SocketHandle handle, SocketAddress& address) {
  address = SocketAddress{};
  SocketAddress local;
  int length = sizeof local.bytes;
  if (Api().getsockname(AsSocket(handle), reinterpret_cast<sockaddr*>(local.bytes), &length) !=
      0) {
    return -1;
  }
  address = local;
  return 0;
}

std::int32_t LastError() { return Api().wsa_get_last_error(); }

int Startup(std::uint16_t version) { return Api().wsa_startup(version, &Loaded().startup_record); }

int Cleanup() { return Api().wsa_cleanup(); }

void GiveUpTimeSlice() { ::Sleep(0); }

std::int32_t GetAddressInfo(const char* node, const char* service,
                            const AddressLookupHints& hints, SocketAddress& first) {
  first = SocketAddress{};
  addrinfo request{};
  request.ai_flags = hints.flags;
  request.ai_family = hints.family;
  request.ai_socktype = hints.socket_type;
  request.ai_protocol = hints.protocol;
  addrinfo* results = nullptr;
  int code = Api().getaddrinfo(node, service, &request, &results);
  if (code != 0) return code;
  if (results != nullptr && results->ai_addr != nullptr &&
      results->ai_addrlen <= sizeof first.bytes) {
    std::memcpy(first.bytes, results->ai_addr, results->ai_addrlen);
  }
  if (results != nullptr) Api().freeaddrinfo(results);
  return 0;
}

std::int32_t GetNameInfo(const SocketAddress& address, int length, std::string& host) {
  constexpr DWORD kHostRoom = 1025;
  constexpr DWORD kServiceRoom = 32;
  char host_buffer[kHostRoom];
  char service_buffer[kServiceRoom];
  int code = Api().getnameinfo(AsSockaddr(address), length, host_buffer, kHostRoom,
                               service_buffer, kServiceRoom, NI_NUMERICHOST | NI_NUMERICSERV);
  if (code != 0) return code;
  host = host_buffer;
  return 0;
}

std::uint32_t ParseIPv4(const char* text) { return Api().inet_addr(text); }

bool HostByName(const char* name, std::uint32_t& first_address) {
  hostent* entry = Api().gethostbyname(name);
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
      entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
    return false;
  }
  std::memcpy(&first_address, entry->h_addr_list[0], sizeof first_address);
  return true;
}

bool ProtocolByNumber(int protocol, std::string& name) {
  protoent* entry = Api().getprotobynumber(protocol);
  if (entry == nullptr || entry->p_name == nullptr) return false;
  name = entry->p_name;
  return true;
}

bool ServiceByName(const char* service, const char* protocol, std::uint16_t& port) {
  servent* entry = Api().getservbyname(service, protocol);
  if (entry == nullptr) return false;
  port = static_cast<std::uint16_t>(entry->s_port);
  return true;
}

bool IPv4ToText(std::uint32_t address, std::string& text) {
  in_addr value{};
  value.s_addr = address;
  const char* rendered = Api().inet_ntoa(value);
  if (rendered == nullptr) return false;
  text = rendered;
  return true;
}

// Points the table's address-info entries at this binding when all three entries exist.
void BindAddressInfo(SocketInterface& table) {
  const bool available = HasAddressInfoEntries(Api());
  table.get_address_info = available ? GetAddressInfo : nullptr;
  table.get_name_info = available ? GetNameInfo : nullptr;
}

// A slot stays empty when the library lacks its entry; the interface then fills it with one
// that fails with "Winsock not initialized".
template <typename Slot, typename Entry>
void BindCore(Slot& slot, Slot binding, Entry entry) {
  slot = entry != nullptr ? binding : nullptr;
}

// A library loaded again (tests do) is taken before the earlier handle is let go, so that a
// library that stays the same is never unloaded in between.
void Replace(HMODULE& held, HMODULE loaded) {
  if (held != nullptr) ::FreeLibrary(held);
  held = loaded;
}

bool LoadSocketLibrary(std::string_view library_name, SocketInterface& table) {
  const std::string name(library_name);
  HMODULE library = ::LoadLibraryA(name.c_str());
  if (library == nullptr) return false;
  LoadedLibraries& loaded = Loaded();
  Replace(loaded.socket_library, library);
  loaded.entries = WinsockEntries{};
  TakeSocketEntries(library, loaded.entries);
  const WinsockEntries& e = loaded.entries;

  table.family_unspecified = AF_UNSPEC;
  table.family_ip4 = AF_INET;
  table.family_ip6 = AF_INET6;
  BindCore(table.create_socket, CreateSocket, e.socket);
  BindCore(table.bind_socket, BindSocket, e.bind);
  BindCore(table.send_to, SendTo, e.sendto);
  BindCore(table.receive_from, ReceiveFrom, e.recvfrom);
  BindCore(table.wait_readable, WaitReadable, e.select);
  BindCore(table.wait_readable_any, WaitReadableAny, e.select);
  BindCore(table.pending_bytes, PendingBytes, e.ioctlsocket);
  BindCore(table.close_socket, CloseSocket, e.closesocket);
  BindCore(table.set_receive_buffer, SetReceiveBuffer, e.setsockopt);
  BindCore(table.set_ipv6_only, SetIPv6Only, e.setsockopt);
  // Windows grants what is asked and keeps no drop count a program can read: dropped_datagrams
  // and receive_buffer_limit stay empty.
  BindCore(table.receive_buffer, ReceiveBuffer, e.getsockopt);
  BindCore(table.local_name, LocalName, e.getsockname);
  BindCore(table.last_error, LastError, e.wsa_get_last_error);
  BindCore(table.startup, Startup, e.wsa_startup);
  BindCore(table.cleanup, Cleanup, e.wsa_cleanup);
  table.yield_processor = GiveUpTimeSlice;
  BindAddressInfo(table);
  BindCore(table.parse_ipv4, ParseIPv4, e.inet_addr);
  BindCore(table.host_by_name, HostByName, e.gethostbyname);
  BindCore(table.protocol_by_number, ProtocolByNumber, e.getprotobynumber);
  BindCore(table.service_by_name, ServiceByName, e.getservbyname);
  BindCore(table.ipv4_to_text, IPv4ToText, e.inet_ntoa);
  return true;
}

// The add-on library replaces all three address-info entries with what it has.
bool LoadIPv6Library(SocketInterface& table) {
  HMODULE library = ::LoadLibraryA("wship6.dll");
  if (library == nullptr) return false;
  LoadedLibraries& loaded = Loaded();
  Replace(loaded.ipv6_library, library);
  TakeAddressInfoEntries(library, loaded.entries);
  BindAddressInfo(table);
  return true;
}

void FreeLibraries() {
  LoadedLibraries& loaded = Loaded();
  loaded.entries = WinsockEntries{};
  Replace(loaded.socket_library, nullptr);
  Replace(loaded.ipv6_library, nullptr);
}

}  // namespace

const SocketInterfaceBinding& PlatformSocketInterfaceBinding() {
  static const SocketInterfaceBinding binding{LoadSocketLibrary, LoadIPv6Library, FreeLibraries};
  return binding;
}

}  // namespace zelsnmp
