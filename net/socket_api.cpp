#include "net/socket_api.h"

#include <cstring>

#include "net/socket_error.h"
#include "util/parse_int.h"

namespace zelsnmp {
namespace {

constexpr std::uint32_t kNoIPv4Address = 0xFFFFFFFFu;
constexpr std::string_view kLimitedBroadcast = "255.255.255.255";
constexpr int kIPv4AddressLength = 16;
constexpr int kIPv6AddressLength = 28;
constexpr int kPortOffset = 2;
constexpr int kIPv4AddressOffset = 4;

// Entries of a table that is not loaded: every call fails with "Winsock not initialized",
// so that a socket used outside the interface's lifetime reports instead of crashing.
SocketHandle UnloadedCreateSocket(int, int, int) { return kInvalidSocketHandle; }
int UnloadedBind(SocketHandle, const SocketAddress&, int) { return -1; }
int UnloadedSendTo(SocketHandle, const char*, int, const SocketAddress&, int) { return -1; }
int UnloadedReceiveFrom(SocketHandle, char*, int, SocketAddress&) { return -1; }
int UnloadedWaitReadable(SocketHandle, int) { return -1; }
int UnloadedWaitReadableAny(const SocketHandle*, bool*, int, int) { return -1; }
int UnloadedPendingBytes(SocketHandle, std::uint32_t&) { return -1; }
int UnloadedCloseSocket(SocketHandle) { return -1; }
int UnloadedSetReceiveBuffer(SocketHandle, int) { return -1; }
int UnloadedReceiveBuffer(SocketHandle, int&) { return -1; }
int UnloadedSetIPv6Only(SocketHandle) { return -1; }
int UnloadedDroppedDatagrams(SocketHandle, std::uint32_t&) { return -1; }
int UnloadedLocalName(SocketHandle, SocketAddress& address) {
  address = SocketAddress{};
  return -1;
}
std::int32_t UnloadedLastError() { return kSocketErrorNotInitialised; }
int UnloadedStartup(std::uint16_t) { return kSocketErrorNotInitialised; }
int UnloadedCleanup() { return -1; }
void UnloadedYield() {}

// Fills the core entries the binding left empty with the failing ones above.
void FillMissingCoreEntries(SocketInterface& table) {
  if (!table.create_socket) table.create_socket = UnloadedCreateSocket;
  if (!table.bind_socket) table.bind_socket = UnloadedBind;
  if (!table.send_to) table.send_to = UnloadedSendTo;
  if (!table.receive_from) table.receive_from = UnloadedReceiveFrom;
  if (!table.wait_readable) table.wait_readable = UnloadedWaitReadable;
  if (!table.wait_readable_any) table.wait_readable_any = UnloadedWaitReadableAny;
  if (!table.pending_bytes) table.pending_bytes = UnloadedPendingBytes;
  if (!table.close_socket) table.close_socket = UnloadedCloseSocket;
  if (!table.set_receive_buffer) table.set_receive_buffer = UnloadedSetReceiveBuffer;
  if (!table.receive_buffer) table.receive_buffer = UnloadedReceiveBuffer;
  if (!table.set_ipv6_only) table.set_ipv6_only = UnloadedSetIPv6Only;
  if (!table.dropped_datagrams) table.dropped_datagrams = UnloadedDroppedDatagrams;
  if (table.receive_buffer_limit == nullptr) table.receive_buffer_limit = "";
  if (!table.local_name) table.local_name = UnloadedLocalName;
  if (!table.last_error) table.last_error = UnloadedLastError;
  if (!table.startup) table.startup = UnloadedStartup;
  if (!table.cleanup) table.cleanup = UnloadedCleanup;
  if (!table.yield_processor) table.yield_processor = UnloadedYield;
}

SocketInterface UnloadedTable() {
  SocketInterface table;
  FillMissingCoreEntries(table);
  return table;
}

bool HasAddressInfoEntries(const SocketInterface& table) {
  return table.get_address_info != nullptr && table.get_name_info != nullptr;
}

struct InterfaceState {
  SocketInterface table = UnloadedTable();
  SocketInterfaceBinding binding;  // the one that loaded the table
  bool loaded = false;
  int users = 0;
  bool address_info_available = false;
  bool ipv6_library_available = false;
};

InterfaceState& State() {
  static InterfaceState state;
  return state;
}

// Loads and starts the interface before main() and cleans it up after main() returns.
class SocketInterfaceLifetime {
 public:
  SocketInterfaceLifetime() {
    SocketInterfaceLock();  // exists before the interface is loaded, goes after it
    StartSocketInterface(kSocketLibraryName, PlatformSocketInterfaceBinding());
  }
  ~SocketInterfaceLifetime() { StopSocketInterface(); }
  SocketInterfaceLifetime(const SocketInterfaceLifetime&) = delete;
  SocketInterfaceLifetime& operator=(const SocketInterfaceLifetime&) = delete;
};

const SocketInterfaceLifetime kSocketInterfaceLifetime;

void WriteFamily(SocketAddress& address, int family_code) {
  auto family = static_cast<std::uint16_t>(family_code);
  std::memcpy(address.bytes, &family, sizeof family);
}

bool IsWholeNumberText(const std::string& text) {
  // Two different defaults agree only when the text really is a number.
  return ParseIntDefault(text, 0) == ParseIntDefault(text, 1);
}

// A text with a zero byte inside would be cut short by the platform and name another host.
bool HasZeroByte(std::string_view text) { return text.find('\0') != std::string_view::npos; }

std::int32_t BuildWithAddressInfo(SocketAddress& address, std::string_view host,
                                  std::string_view port, bool prefer_ip4, int socket_type,
                                  int protocol, int family_code) {
  const SocketInterface& api = SocketApi();
  AddressLookupHints first;
  AddressLookupHints second;
  first.socket_type = second.socket_type = socket_type;
  first.protocol = second.protocol = protocol;
  bool second_attempt_allowed = false;
  if (family_code != api.family_unspecified) {
    first.family = family_code;
  } else {
    second_attempt_allowed = true;
    first.family = prefer_ip4 ? api.family_ip4 : api.family_ip6;
    second.family = prefer_ip4 ? api.family_ip6 : api.family_ip4;
  }
  SocketAddress found;
  std::int32_t result = LookupAddress(host, port, first, found);
  address = found;
  if (result != 0 && second_attempt_allowed) {
    result = LookupAddress(host, port, second, found);
    if (result == 0) address = found;
  }
  return result;
}

// IPv4 only. The legacy lookups hand back shared storage, hence the lock.
std::int32_t BuildLegacy(SocketAddress& address, std::string_view host, std::string_view port,
                         int protocol) {
  std::lock_guard<std::recursive_mutex> lock(SocketInterfaceLock());
  const SocketInterface& api = SocketApi();
  WriteFamily(address, api.family_ip4);

  std::string port_text(port);
  std::uint16_t network_port = 0;
  std::string protocol_name;
  bool by_service = !IsWholeNumberText(port_text) && api.protocol_by_number &&
                    api.protocol_by_number(protocol, protocol_name);
  if (by_service) {
    std::uint16_t service_port = 0;
    if (api.service_by_name && api.service_by_name(port_text.c_str(), protocol_name.c_str(),
                                                   service_port)) {
      network_port = service_port;
    }
    std::memcpy(address.bytes + kPortOffset, &network_port, sizeof network_port);
  } else {
    auto host_port = static_cast<std::uint16_t>(ParseIntDefault(port_text, 0));
    address.bytes[kPortOffset] = static_cast<unsigned char>(host_port >> 8);
    address.bytes[kPortOffset + 1] = static_cast<unsigned char>(host_port & 0xFF);
  }

  std::int32_t result = 0;
  std::uint32_t ipv4 = kNoIPv4Address;
  std::string host_text(host);
  if (host != kLimitedBroadcast) {
    if (HasZeroByte(host)) {
      result = kSocketErrorHostNotFound;
    } else {
      if (api.parse_ipv4) ipv4 = api.parse_ipv4(host_text.c_str());
      if (ipv4 == kNoIPv4Address) {
        std::uint32_t found = kNoIPv4Address;
        if (api.host_by_name && api.host_by_name(host_text.c_str(), found)) {
          ipv4 = found;
        } else {
          result = api.last_error();
          if (result == 0) result = kSocketErrorHostNotFound;
        }
      }
    }
  }
  std::memcpy(address.bytes + kIPv4AddressOffset, &ipv4, sizeof ipv4);
  return result;
}

}  // namespace

const SocketInterface& SocketApi() { return State().table; }

std::recursive_mutex& SocketInterfaceLock() {
  static std::recursive_mutex lock;
  return lock;
}

bool LoadSocketInterface(std::string_view library_name) {
  return LoadSocketInterfaceWith(library_name, PlatformSocketInterfaceBinding());
}

bool LoadSocketInterfaceWith(std::string_view library_name,
                             const SocketInterfaceBinding& binding) {
  if (library_name.empty()) library_name = kSocketLibraryName;
  std::lock_guard<std::recursive_mutex> lock(SocketInterfaceLock());
  InterfaceState& state = State();
  if (state.users == 0) {
    state.address_info_available = false;
    state.ipv6_library_available = false;
    SocketInterface table;
    if (!binding.load_library || !binding.load_library(library_name, table)) return false;
    state.address_info_available = HasAddressInfoEntries(table);
    if (!state.address_info_available && binding.load_ipv6_library &&
        binding.load_ipv6_library(table)) {
      state.ipv6_library_available = HasAddressInfoEntries(table);
    }
    FillMissingCoreEntries(table);
    state.table = table;
    state.binding = binding;
    state.loaded = true;
  }
  ++state.users;
  return true;
}

bool UnloadSocketInterface() {
  std::lock_guard<std::recursive_mutex> lock(SocketInterfaceLock());
  InterfaceState& state = State();
  --state.users;
  if (state.users < 0) state.users = 0;
  if (state.users == 0 && state.loaded) {
    if (state.binding.free_libraries) state.binding.free_libraries();
    state.table = UnloadedTable();
    state.binding = SocketInterfaceBinding{};
    state.loaded = false;
  }
  return true;
}

void StartSocketInterface(std::string_view library_name, const SocketInterfaceBinding& binding) {
  static constexpr const char* kLoadFailure = "Error loading Socket interface (ws2_32.dll)!";
  if (!LoadSocketInterfaceWith(library_name, binding)) {
    throw ESocketError(kLoadFailure, 0, kLoadFailure);
  }
  SocketApi().startup(kSocketInterfaceVersion);
}

void StopSocketInterface() {
  SocketApi().cleanup();
  UnloadSocketInterface();
}

int SocketInterfaceUsers() {
  std::lock_guard<std::recursive_mutex> lock(SocketInterfaceLock());
  return State().users;
}

bool AddressInfoAvailable() { return State().address_info_available; }

bool IPv6LibraryAvailable() { return State().ipv6_library_available; }

bool UsesAddressInfo(int family_code) {
  const InterfaceState& state = State();
  if (state.address_info_available) return true;
  return family_code != 0 && family_code == state.table.family_ip6 &&
         state.ipv6_library_available;
}

int SocketFamilyCode(TSocketFamily family) {
  const SocketInterface& api = SocketApi();
  switch (family) {
    case SF_IP4:
      return api.family_ip4;
    case SF_IP6:
      return api.family_ip6;
    case SF_Any:
      break;
  }
  return api.family_unspecified;
}

int AddressFamily(const SocketAddress& address) {
  std::uint16_t family = 0;
  std::memcpy(&family, address.bytes, sizeof family);
  return family;
}

std::int32_t BuildSocketAddress(SocketAddress& address, std::string_view host,
                                std::string_view port, bool prefer_ip4, int socket_type,
                                int protocol, int family_code) {
  address = SocketAddress{};
  if (UsesAddressInfo(family_code)) {
    return BuildWithAddressInfo(address, host, port, prefer_ip4, socket_type, protocol,
                                family_code);
  }
  return BuildLegacy(address, host, port, protocol);
}

std::int32_t LookupAddress(std::string_view host, std::string_view port,
                           const AddressLookupHints& hints, SocketAddress& address) {
  address = SocketAddress{};
  const SocketInterface& api = SocketApi();
  if (!api.get_address_info) return kSocketErrorNotSupported;
  if (HasZeroByte(host) || HasZeroByte(port)) return kSocketErrorHostNotFound;
  std::string host_text(host);
  std::string port_text(port);
  AddressLookupHints used = hints;
  const char* node = host_text.c_str();
  const char* service = port_text.c_str();
  if (hints.socket_type == kSocketTypeRaw) {
    service = nullptr;
    used.socket_type = 0;
    used.protocol = 0;
  } else if (host == "0.0.0.0" || host == "::0") {
    node = nullptr;
    used.flags = kLookupPassive;
  } else if ((host == "127.0.0.1" && hints.family == api.family_ip4) ||
             (host == "::1" && hints.family == api.family_ip6)) {
    // No node and no passive flag: the platform answers with its loopback address, which is
    // this loopback address only when the family asked is the literal's own. Asked in the
    // other family, the literal goes to the platform, which refuses it, so that "::1" never
    // becomes 127.0.0.1 (nor the reverse) when both families are tried.
    node = nullptr;
  }
  return api.get_address_info(node, service, used, address);
}

std::string AddressText(const SocketAddress& address) {
  const SocketInterface& api = SocketApi();
  if (UsesAddressInfo(AddressFamily(address))) {
    std::string host;
    if (!api.get_name_info || api.get_name_info(address, AddressLength(address), host) != 0) {
      return std::string();
    }
    return host;
  }
  std::uint32_t ipv4 = 0;
  std::memcpy(&ipv4, address.bytes + kIPv4AddressOffset, sizeof ipv4);
  std::string text;
  if (!api.ipv4_to_text || !api.ipv4_to_text(ipv4, text)) return std::string();
  return text;
}

std::uint16_t AddressPort(const SocketAddress& address) {
  return static_cast<std::uint16_t>((address.bytes[kPortOffset] << 8) |
                                    address.bytes[kPortOffset + 1]);
}

int AddressLength(const SocketAddress& address) {
  const SocketInterface& api = SocketApi();
  int family = AddressFamily(address);
  if (family == 0) return 0;
  if (family == api.family_ip4) return kIPv4AddressLength;
  if (family == api.family_ip6) return kIPv6AddressLength;
  return 0;
}

}  // namespace zelsnmp
