// The POSIX binding of the socket interface: fills the table straight from the C library
// (nothing is loaded at run time) and maps errno, getaddrinfo and h_errno results onto the
// Windows socket error numbers in one table.
//
// Differences from the Windows interface that the entries absorb:
// - readiness is waited for with poll(), which has no limit on descriptor numbers;
// - calls interrupted by a signal are resumed (Windows socket calls are not interrupted);
// - a send to a peer that went away raises no SIGPIPE (MSG_NOSIGNAL).

#include "net/socket_api_posix.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/sock_diag.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "net/socket_api.h"

namespace zelsnmp {
namespace {

// The system passes the Windows numbers for socket types and protocols; they agree here.
static_assert(SOCK_DGRAM == kSocketTypeDatagram);
static_assert(SOCK_RAW == kSocketTypeRaw);
static_assert(IPPROTO_UDP == kProtocolUdp);
static_assert(sizeof(sockaddr_in6) == sizeof(SocketAddress));
static_assert(sizeof(sockaddr_in) == 16);

enum class ErrorSource { kErrno, kAddressInfo, kHostLookup };

struct ErrorMapping {
  ErrorSource source;
  int platform_value;
  std::int32_t socket_error;
};

// The whole mapping. Windows numbers with no POSIX source: 10067 (too many processes),
// 10091, 10092, 10093 (start-up states) and 10101 (graceful disconnect).
constexpr ErrorMapping kErrorMappings[] = {
    {ErrorSource::kErrno, EINTR, 10004},
    {ErrorSource::kErrno, EBADF, 10009},
    {ErrorSource::kErrno, EACCES, 10013},
    {ErrorSource::kErrno, EPERM, 10013},
    {ErrorSource::kErrno, EFAULT, 10014},
    {ErrorSource::kErrno, EINVAL, 10022},
    {ErrorSource::kErrno, EMFILE, 10024},
    {ErrorSource::kErrno, ENFILE, 10024},
    {ErrorSource::kErrno, EWOULDBLOCK, 10035},
    {ErrorSource::kErrno, EAGAIN, 10035},
    {ErrorSource::kErrno, EINPROGRESS, 10036},
    {ErrorSource::kErrno, EALREADY, 10037},
    {ErrorSource::kErrno, ENOTSOCK, 10038},
    {ErrorSource::kErrno, EDESTADDRREQ, 10039},
    {ErrorSource::kErrno, EMSGSIZE, 10040},
    {ErrorSource::kErrno, EPROTOTYPE, 10041},
    {ErrorSource::kErrno, ENOPROTOOPT, 10042},
    {ErrorSource::kErrno, EPROTONOSUPPORT, 10043},
    {ErrorSource::kErrno, ESOCKTNOSUPPORT, 10044},
    {ErrorSource::kErrno, EOPNOTSUPP, 10045},
    {ErrorSource::kErrno, EPFNOSUPPORT, 10046},
    {ErrorSource::kErrno, EAFNOSUPPORT, 10047},
    {ErrorSource::kErrno, EADDRINUSE, 10048},
    {ErrorSource::kErrno, EADDRNOTAVAIL, 10049},
    {ErrorSource::kErrno, ENETDOWN, 10050},
    {ErrorSource::kErrno, ENETUNREACH, 10051},
    {ErrorSource::kErrno, ENETRESET, 10052},
    {ErrorSource::kErrno, ECONNABORTED, 10053},
    {ErrorSource::kErrno, ECONNRESET, 10054},
    {ErrorSource::kErrno, ENOBUFS, 10055},
    {ErrorSource::kErrno, ENOMEM, 10055},
    {ErrorSource::kErrno, EISCONN, 10056},
    {ErrorSource::kErrno, ENOTCONN, 10057},
    {ErrorSource::kErrno, ESHUTDOWN, 10058},
    {ErrorSource::kErrno, EPIPE, 10058},
    {ErrorSource::kErrno, ETOOMANYREFS, 10059},
    {ErrorSource::kErrno, ETIMEDOUT, 10060},
    {ErrorSource::kErrno, ECONNREFUSED, 10061},
    {ErrorSource::kErrno, ELOOP, 10062},
    {ErrorSource::kErrno, ENAMETOOLONG, 10063},
    {ErrorSource::kErrno, EHOSTDOWN, 10064},
    {ErrorSource::kErrno, EHOSTUNREACH, 10065},
    {ErrorSource::kErrno, ENOTEMPTY, 10066},
    {ErrorSource::kErrno, EUSERS, 10068},
    {ErrorSource::kErrno, EDQUOT, 10069},
    {ErrorSource::kErrno, ESTALE, 10070},
    {ErrorSource::kErrno, EREMOTE, 10071},
    {ErrorSource::kAddressInfo, EAI_NONAME, 11001},
    {ErrorSource::kAddressInfo, EAI_AGAIN, 11002},
    {ErrorSource::kAddressInfo, EAI_FAIL, 11003},
    {ErrorSource::kAddressInfo, EAI_NODATA, 11004},
    {ErrorSource::kAddressInfo, EAI_ADDRFAMILY, 11004},
    {ErrorSource::kAddressInfo, EAI_FAMILY, 10047},
    {ErrorSource::kAddressInfo, EAI_SOCKTYPE, 10044},
    {ErrorSource::kAddressInfo, EAI_BADFLAGS, 10022},
    {ErrorSource::kAddressInfo, EAI_MEMORY, 10055},
    {ErrorSource::kAddressInfo, EAI_OVERFLOW, 10014},
    // The Windows number of an unknown service; it has no text of its own.
    {ErrorSource::kAddressInfo, EAI_SERVICE, 10109},
    {ErrorSource::kHostLookup, HOST_NOT_FOUND, 11001},
    {ErrorSource::kHostLookup, TRY_AGAIN, 11002},
    {ErrorSource::kHostLookup, NO_RECOVERY, 11003},
    {ErrorSource::kHostLookup, NO_DATA, 11004},
};

std::int32_t MapError(ErrorSource source, int value) {
  for (const ErrorMapping& mapping : kErrorMappings) {
    if (mapping.source == source && mapping.platform_value == value) return mapping.socket_error;
  }
  return value;
}

// WSAGetLastError's counterpart: the mapped number of this thread's last failed entry.
thread_local std::int32_t last_socket_error = 0;

int FailWith(std::int32_t socket_error) {
  // A failure must never read as success, even if the C library left errno at 0.
  last_socket_error = socket_error != 0 ? socket_error : -1;
  return -1;
}

int FailWithErrno() { return FailWith(SocketErrorFromErrno(errno)); }

// A handle that cannot be a descriptor becomes -1, which every call rejects with EBADF.
int Descriptor(SocketHandle handle) {
  return handle >= 0 && handle <= INT_MAX ? static_cast<int>(handle) : -1;
}

const sockaddr* AsSockaddr(const SocketAddress& address) {
  return reinterpret_cast<const sockaddr*>(address.bytes);
}

void CopyAddress(const sockaddr_storage& from, socklen_t length, SocketAddress& to) {
  to = SocketAddress{};
  std::memcpy(to.bytes, &from, std::min<std::size_t>(length, sizeof to.bytes));
}

SocketHandle CreateSocket(int family, int socket_type, int protocol) {
  int fd = ::socket(family, socket_type | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailWithErrno();
    return kInvalidSocketHandle;
  }
  return fd;
}

int BindSocket(SocketHandle handle, const SocketAddress& address, int length) {
  if (length < 0) return FailWith(SocketErrorFromErrno(EINVAL));
  if (::bind(Descriptor(handle), AsSockaddr(address), static_cast<socklen_t>(length)) != 0) {
    return FailWithErrno();
  }
  return 0;
}

int SendTo(SocketHandle handle, const char* buffer, int length, const SocketAddress& to,
           int to_length) {
  if (length < 0 || to_length < 0) return FailWith(SocketErrorFromErrno(EINVAL));
  ssize_t sent;
  do {
    sent = ::sendto(Descriptor(handle), buffer, static_cast<std::size_t>(length), MSG_NOSIGNAL,
                    AsSockaddr(to), static_cast<socklen_t>(to_length));
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) return FailWithErrno();
  return static_cast<int>(sent);
}

int ReceiveFrom(SocketHandle handle, char* buffer, int length, SocketAddress& from) {
  if (length < 0) return FailWith(SocketErrorFromErrno(EINVAL));
  sockaddr_storage sender{};
  socklen_t sender_length;
  ssize_t received;
  do {
    sender_length = sizeof sender;
    received = ::recvfrom(Descriptor(handle), buffer, static_cast<std::size_t>(length), 0,
                          reinterpret_cast<sockaddr*>(&sender), &sender_length);
  } while (received < 0 && errno == EINTR);
  if (received < 0) return FailWithErrno();
  CopyAddress(sender, sender_length, from);
  return static_cast<int>(received);
}

int WaitReadable(SocketHandle handle, int timeout_ms) {
  int fd = Descriptor(handle);
  if (fd < 0) return FailWith(SocketErrorFromErrno(EBADF));
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  pollfd entry{fd, POLLIN, 0};
  int wait_ms = timeout_ms;
  for (;;) {
    int ready = ::poll(&entry, 1, wait_ms);
    if (ready >= 0) {
      if (ready > 0 && (entry.revents & POLLNVAL)) return FailWith(SocketErrorFromErrno(ENOTSOCK));
      return ready;
    }
    if (errno != EINTR) return FailWithErrno();
    if (timeout_ms < 0) continue;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    wait_ms = left > 0 ? static_cast<int>(left) : 0;
  }
}

int WaitReadableAny(const SocketHandle* handles, bool* readable, int count, int timeout_ms) {
  if (count < 1 || count > kMaxWaitHandles) return FailWith(SocketErrorFromErrno(EINVAL));
  pollfd entries[kMaxWaitHandles];
  for (int i = 0; i < count; ++i) {
    const int fd = Descriptor(handles[i]);
    if (fd < 0) return FailWith(SocketErrorFromErrno(EBADF));
    entries[i] = pollfd{fd, POLLIN, 0};
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  int wait_ms = timeout_ms;
  int ready;
  while ((ready = ::poll(entries, static_cast<nfds_t>(count), wait_ms)) < 0) {
    if (errno != EINTR) return FailWithErrno();
    if (timeout_ms < 0) continue;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    wait_ms = left > 0 ? static_cast<int>(left) : 0;
  }
  for (int i = 0; i < count; ++i) {
    if (entries[i].revents & POLLNVAL) return FailWith(SocketErrorFromErrno(ENOTSOCK));
    readable[i] = entries[i].revents != 0;
  }
  return ready;
}

int PendingBytes(SocketHandle handle, std::uint32_t& count) {
  int pending = 0;
  if (::ioctl(Descriptor(handle), FIONREAD, &pending) != 0) return FailWithErrno();
  count = pending > 0 ? static_cast<std::uint32_t>(pending) : 0;
  return 0;
}

int CloseSocket(SocketHandle handle) {
  if (::close(Descriptor(handle)) != 0) return FailWithErrno();
  return 0;
}

int SetReceiveBuffer(SocketHandle handle, int bytes) {
  if (::setsockopt(Descriptor(handle), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0) {
    return FailWithErrno();
  }
  return 0;
}

int SetIPv6Only(SocketHandle handle) {
  const int on = 1;
  if (::setsockopt(Descriptor(handle), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0) {
    return FailWithErrno();
  }
  return 0;
}

int ReceiveBuffer(SocketHandle handle, int& bytes) {
  int granted = 0;
  socklen_t length = sizeof granted;
  if (::getsockopt(Descriptor(handle), SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0) {
    return FailWithErrno();
  }
  bytes = granted;
  return 0;
}

int DroppedDatagrams(SocketHandle handle, std::uint32_t& count) {
#if defined(__linux__) && defined(SO_MEMINFO)
  // The socket's drop counter, the one SO_RXQ_OVFL would hand out with every datagram.
  std::uint32_t memory[SK_MEMINFO_VARS] = {};
  socklen_t length = sizeof memory;
  if (::getsockopt(Descriptor(handle), SOL_SOCKET, SO_MEMINFO, memory, &length) != 0) {
    return FailWithErrno();
  }
  if (length <= SK_MEMINFO_DROPS * sizeof memory[0]) {
    return FailWith(SocketErrorFromErrno(ENOPROTOOPT));
  }
  count = memory[SK_MEMINFO_DROPS];
  return 0;
#else
  (void)handle;
  (void)count;
  return FailWith(SocketErrorFromErrno(ENOPROTOOPT));
#endif
}

int LocalName(SocketHandle handle, SocketAddress& address) {
  address = SocketAddress{};
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (::getsockname(Descriptor(handle), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return FailWithErrno();
  }
  CopyAddress(local, length, address);
  return 0;
}

std::int32_t LastError() { return last_socket_error; }

int Startup(std::uint16_t) { return 0; }

int Cleanup() { return 0; }

void YieldProcessor() { ::sched_yield(); }

std::int32_t GetAddressInfo(const char* node, const char* service,
                            const AddressLookupHints& hints, SocketAddress& first) {
  first = SocketAddress{};
  addrinfo request{};
  request.ai_flags = (hints.flags & kLookupPassive) ? AI_PASSIVE : 0;
  request.ai_family = hints.family;
  request.ai_socktype = hints.socket_type;
  request.ai_protocol = hints.protocol;
  addrinfo* results = nullptr;
  int code = ::getaddrinfo(node, service, &request, &results);
  if (code != 0) {
    std::int32_t socket_error = SocketErrorFromAddressInfo(code);
    last_socket_error = socket_error;
    return socket_error;
  }
  if (results != nullptr && results->ai_addr != nullptr &&
      results->ai_addrlen <= sizeof first.bytes) {
    std::memcpy(first.bytes, results->ai_addr, results->ai_addrlen);
  }
  ::freeaddrinfo(results);
  return 0;
}

std::int32_t GetNameInfo(const SocketAddress& address, int length, std::string& host) {
  constexpr std::size_t kHostRoom = 1025;
  constexpr std::size_t kServiceRoom = 32;
  char host_buffer[kHostRoom];
  char service_buffer[kServiceRoom];
  int flags = NI_NUMERICHOST | NI_NUMERICSERV;
#ifdef NI_NUMERICSCOPE
  flags |= NI_NUMERICSCOPE;  // a zone reads as a number, as on Windows
#endif
  int code = ::getnameinfo(AsSockaddr(address), static_cast<socklen_t>(length < 0 ? 0 : length),
                           host_buffer, kHostRoom, service_buffer, kServiceRoom, flags);
  if (code != 0) {
    std::int32_t socket_error = SocketErrorFromAddressInfo(code);
    last_socket_error = socket_error;
    return socket_error;
  }
  host = host_buffer;
  return 0;
}

std::uint32_t ParseIPv4(const char* text) { return ::inet_addr(text); }

bool HostByName(const char* name, std::uint32_t& first_address) {
  hostent* entry = ::gethostbyname(name);
  if (entry == nullptr) {
    last_socket_error = SocketErrorFromHostLookup(h_errno);
    return false;
  }
  if (entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr) {
    last_socket_error = SocketErrorFromHostLookup(NO_DATA);
    return false;
  }
  std::memcpy(&first_address, entry->h_addr_list[0], sizeof first_address);
  return true;
}

bool ProtocolByNumber(int protocol, std::string& name) {
  protoent* entry = ::getprotobynumber(protocol);
  if (entry == nullptr || entry->p_name == nullptr) return false;
  name = entry->p_name;
  return true;
}

bool ServiceByName(const char* service, const char* protocol, std::uint16_t& port) {
  servent* entry = ::getservbyname(service, protocol);
  if (entry == nullptr) return false;
  port = static_cast<std::uint16_t>(entry->s_port);
  return true;
}

bool IPv4ToText(std::uint32_t address, std::string& text) {
  in_addr value{};
  value.s_addr = address;
  const char* rendered = ::inet_ntoa(value);
  if (rendered == nullptr) return false;
  text = rendered;
  return true;
}

bool LoadLibrary(std::string_view, SocketInterface& table) {
  table.family_unspecified = AF_UNSPEC;
  table.family_ip4 = AF_INET;
  table.family_ip6 = AF_INET6;
  table.create_socket = CreateSocket;
  table.bind_socket = BindSocket;
  table.send_to = SendTo;
  table.receive_from = ReceiveFrom;
  table.wait_readable = WaitReadable;
  table.wait_readable_any = WaitReadableAny;
  table.pending_bytes = PendingBytes;
  table.close_socket = CloseSocket;
  table.set_receive_buffer = SetReceiveBuffer;
  table.receive_buffer = ReceiveBuffer;
  table.set_ipv6_only = SetIPv6Only;
  table.dropped_datagrams = DroppedDatagrams;
#if defined(__linux__)
  table.receive_buffer_limit = "net.core.rmem_max";
#elif defined(__APPLE__) || defined(__FreeBSD__)
  table.receive_buffer_limit = "kern.ipc.maxsockbuf";
#endif
  table.local_name = LocalName;
  table.last_error = LastError;
  table.startup = Startup;
  table.cleanup = Cleanup;
  table.yield_processor = YieldProcessor;
  table.get_address_info = GetAddressInfo;
  table.get_name_info = GetNameInfo;
  table.parse_ipv4 = ParseIPv4;
  table.host_by_name = HostByName;
  table.protocol_by_number = ProtocolByNumber;
  table.service_by_name = ServiceByName;
  table.ipv4_to_text = IPv4ToText;
  return true;
}

// The C library always has the address-info calls; there is no add-on library to load.
bool LoadIPv6Library(SocketInterface&) { return false; }

void FreeLibraries() {}

}  // namespace

std::int32_t SocketErrorFromErrno(int errno_value) {
  return MapError(ErrorSource::kErrno, errno_value);
}

std::int32_t SocketErrorFromAddressInfo(int result_code) {
  if (result_code == EAI_SYSTEM) return SocketErrorFromErrno(errno);
  return MapError(ErrorSource::kAddressInfo, result_code);
}

std::int32_t SocketErrorFromHostLookup(int h_errno_value) {
  return MapError(ErrorSource::kHostLookup, h_errno_value);
}

const SocketInterfaceBinding& PlatformSocketInterfaceBinding() {
  static const SocketInterfaceBinding binding{LoadLibrary, LoadIPv6Library, FreeLibraries};
  return binding;
}

}  // namespace zelsnmp
