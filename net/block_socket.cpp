#include "net/block_socket.h"

#include "net/ip_literal.h"
#include "net/socket_error.h"

namespace zelsnmp {
namespace {

constexpr int kNoTimeLimit = -1;

std::string Endpoint(const std::string& host, const std::string& port) {
  return host + ":" + port;
}

}  // namespace

TBlockSocket::~TBlockSocket() { Close(); }

void TBlockSocket::SetMaxBandwidth(int bytes_per_second) {
  MaxSendBandwidth = bytes_per_second;
  MaxRecvBandwidth = bytes_per_second;
}

void TBlockSocket::SetFamily(TSocketFamily value) {
  family_ = value;
  saved_family_ = value;
}

std::string TBlockSocket::GetErrorDesc(std::int32_t error_code) {
  return zelsnmp::GetErrorDesc(error_code);
}

std::string TBlockSocket::GetErrorDescEx() const { return GetErrorDesc(last_error_code_); }

void TBlockSocket::ClearError() {
  last_error_code_ = 0;
  last_error_text_.clear();
}

std::int32_t TBlockSocket::CheckResult(int result) {
  ClearError();
  if (result == -1) {
    last_error_code_ = SocketApi().last_error();
    last_error_text_ = GetErrorDescEx();
  }
  return last_error_code_;
}

void TBlockSocket::ReportError() {
  last_error_text_ = GetErrorDescEx();
  if (last_error_code_ == 0 || last_error_code_ == kSocketErrorWouldBlock ||
      last_error_code_ == kSocketErrorInProgress) {
    return;
  }
  if (OnStatus) NotifyStatus(HR_Error, std::to_string(last_error_code_) + "," + last_error_text_);
  if (RaiseExcept) {
    throw ESocketError(
        "TCP/IP Socket error " + std::to_string(last_error_code_) + ": " + last_error_text_,
        last_error_code_, last_error_text_);
  }
}

bool TBlockSocket::CheckStop() {
  NotifyHeartbeat();
  if (!StopFlag) return false;
  StopFlag = false;
  last_error_code_ = kSocketErrorConnectionAborted;
  ReportError();
  return true;
}

void TBlockSocket::NotifyStatus(THookSocketReason reason, const std::string& value) {
  if (OnStatus) OnStatus(*this, reason, value);
}

void TBlockSocket::NotifyMonitor(bool writing, const void* buffer, int length) {
  if (OnMonitor) OnMonitor(*this, writing, buffer, length);
}

void TBlockSocket::NotifyCreated() {
  if (OnCreateSocket) OnCreateSocket(*this);
}

void TBlockSocket::NotifyHeartbeat() {
  if (OnHeartbeat && HeartbeatRate != 0) OnHeartbeat(*this);
}

void TBlockSocket::ResolveEndpoint(SocketAddress& address, const std::string& host,
                                   const std::string& port) {
  ResolveEndpoint(address, host, port, nullptr);
}

void TBlockSocket::ResolveEndpoint(SocketAddress& address, const std::string& host,
                                   const std::string& port, LookupMemo* memo) {
  if (OnStatus) NotifyStatus(HR_ResolvingBegin, Endpoint(host, port));
  ClearError();
  // Only a new socket may take its family from the way the host is written.
  TSocketFamily family = family_;
  const bool ip4_literal = IsIPv4Literal(host);
  const bool ip6_literal = !ip4_literal && IsIPv6Literal(host);
  if (handle_ == kInvalidSocketHandle && family_ == SF_Any) {
    if (ip4_literal) {
      family = SF_IP4;
    } else if (ip6_literal) {
      family = SF_IP6;
    }
  }
  const int family_code = SocketFamilyCode(family);
  // An address literal with a numeric port always gives the same answer: it is looked up once
  // and remembered (names are looked up every time, their answers may change).
  const bool fixed_answer = memo != nullptr && (ip4_literal || ip6_literal) && !port.empty() &&
                            port.find_first_not_of("0123456789") == std::string::npos;
  if (fixed_answer && memo->valid && memo->host == host && memo->port == port &&
      memo->family_code == family_code && memo->prefer_ip4 == PreferIP4) {
    address = memo->address;
    last_error_code_ = memo->error_code;
  } else {
    last_error_code_ = BuildSocketAddress(address, host, port, PreferIP4, SocketKind(),
                                          SocketProtocol(), family_code);
    if (fixed_answer) {
      *memo = LookupMemo{true, host, port, family_code, PreferIP4, address, last_error_code_};
    }
  }
  if (OnStatus) {
    NotifyStatus(HR_ResolvingEnd,
                 AddressText(address) + ":" + std::to_string(AddressPort(address)));
  }
}

void TBlockSocket::SetRemoteEndpoint(const std::string& host, const std::string& port) {
  ResolveEndpoint(remote_address_, host, port, &remote_lookup_);
}

void TBlockSocket::OpenSocketFor(const SocketAddress& address) {
  StopFlag = false;
  send_count_ = 0;
  receive_count_ = 0;
  ClearError();
  if (handle_ != kInvalidSocketHandle) return;
  const SocketInterface& api = SocketApi();
  read_ahead_.clear();
  is_bound_ = false;
  uses_ipv6_ = AddressFamily(address) != 0 && AddressFamily(address) == api.family_ip6;
  handle_ = api.create_socket(AddressFamily(address), SocketKind(), SocketProtocol());
  if (handle_ == kInvalidSocketHandle) last_error_code_ = api.last_error();
  ReportError();
  if (OnStatus) NotifyStatus(HR_SocketCreate, uses_ipv6_ ? "IPv6" : "IPv4");
  NotifyCreated();
}

void TBlockSocket::BindLocal(const std::string& address, const std::string& port) {
  ClearError();
  if (handle_ == kInvalidSocketHandle && family_ == SF_Any && address == "0.0.0.0" &&
      port == "0") {
    return;
  }
  // A socket stays bound where it was first bound; asking the platform again to bind it to the
  // same address gives the same refusal every time. Unless a hook watches the steps, that
  // answer is given again without the lookup and the platform calls.
  if (!OnStatus && handle_ != kInvalidSocketHandle && rebind_.valid &&
      rebind_.handle == handle_ && rebind_.address == address && rebind_.port == port &&
      rebind_.prefer_ip4 == PreferIP4) {
    last_error_code_ = rebind_.error_code;
    read_ahead_.clear();
    is_bound_ = true;
    ReportError();
    return;
  }
  SocketAddress local;
  ResolveEndpoint(local, address, port, &local_lookup_);
  if (last_error_code_ == 0) {
    const bool was_open = handle_ != kInvalidSocketHandle;
    if (!was_open) OpenSocketFor(local);
    const SocketInterface& api = SocketApi();
    CheckResult(api.bind_socket(handle_, local, AddressLength(local)));
    api.local_name(handle_, local_address_);
    read_ahead_.clear();
    is_bound_ = true;
    // Only a refused bind of a socket that was bound already repeats itself.
    rebind_ = RebindMemo{};
    if (was_open && last_error_code_ != 0) {
      rebind_ = RebindMemo{true, handle_, address, port, PreferIP4, last_error_code_};
    }
  }
  ReportError();
  if (OnStatus) NotifyStatus(HR_Bind, Endpoint(address, port));
}

void TBlockSocket::ConnectTo(const std::string&, const std::string&) {
  // The system has no stream sockets; only datagram sockets can be pointed at a peer.
  last_error_code_ = kSocketErrorNotSupported;
  ReportError();
}

int TBlockSocket::WriteBytes(const char*, int) {
  last_error_code_ = kSocketErrorNotSupported;
  ReportError();
  return -1;
}

int TBlockSocket::ReadBytes(char*, int) {
  last_error_code_ = kSocketErrorNotSupported;
  ReportError();
  return -1;
}

void TBlockSocket::SendDatagram(const std::string& data) {
  WriteBytes(data.data(), static_cast<int>(data.size()));
}

void TBlockSocket::SendDatagramTo(const std::string& data, const SocketAddress& to) {
  remote_address_ = to;
  remote_lookup_error_ = 0;
  SendDatagram(data);
}

int TBlockSocket::WriteBytesTo(const char* buffer, int length) {
  if (CheckStop()) return 0;
  if (remote_lookup_error_ != 0) {
    last_error_code_ = remote_lookup_error_;
    ReportError();
    return -1;
  }
  NotifyMonitor(true, buffer, length);
  int sent = SocketApi().send_to(handle_, buffer, length, remote_address_,
                                 AddressLength(remote_address_));
  CheckResult(sent);
  ReportError();
  if (sent > 0) send_count_ += sent;
  if (OnStatus) NotifyStatus(HR_WriteCount, std::to_string(sent));
  return sent;
}

int TBlockSocket::ReadBytesFrom(char* buffer, int length) {
  if (CheckStop()) return 0;
  int received = SocketApi().receive_from(handle_, buffer, length, remote_address_);
  CheckResult(received);
  ReportError();
  if (received > 0) receive_count_ += received;
  if (OnStatus) NotifyStatus(HR_ReadCount, std::to_string(received));
  if (received >= 0) NotifyMonitor(false, buffer, received);
  return received;
}

std::string TBlockSocket::ReceiveDatagram(int timeout_ms) {
  std::string result;
  ClearError();
  auto read_datagram = [this](int size) {
    std::string datagram(static_cast<std::size_t>(size), '\0');
    int received = ReadBytes(datagram.data(), size);
    datagram.resize(received > 0 ? static_cast<std::size_t>(received) : 0);
    return datagram;
  };
  if (!read_ahead_.empty()) {
    result.swap(read_ahead_);
  } else {
    // Looking for a queued datagram before the wait only changes which status a hook is
    // told (a queued datagram is read without HR_CanRead); without a hook the wait, which
    // ends at once on a queued datagram, does the same.
    int pending = 0;
    if (OnStatus) {
      SocketApi().yield_processor();
      pending = PendingBytes();
    }
    if (pending > 0) {
      result = read_datagram(pending);
    } else if (WaitReadable(timeout_ms)) {
      pending = PendingBytes();
      if (pending > 0) {
        result = read_datagram(pending);
      } else {
        // Readable with nothing to read: an empty datagram heads the queue. Take it off, or
        // it would block every later datagram; it is still reported as a reset.
        char unused = 0;
        SocketAddress sender;
        if (CheckResult(SocketApi().receive_from(handle_, &unused, 0, sender)) == 0) {
          last_error_code_ = kSocketErrorConnectionReset;
        }
      }
    } else if (last_error_code_ == 0) {
      last_error_code_ = kSocketErrorTimedOut;
    }
  }
  ReportError();
  return result;
}

int TBlockSocket::PendingBytes() {
  std::uint32_t count = 0;
  if (SocketApi().pending_bytes(handle_, count) != 0) return 0;
  return count > kMaxPendingBytes ? kMaxPendingBytes : static_cast<int>(count);
}

bool TBlockSocket::SelectReadable(int timeout_ms) {
  // Any other negative time would also mean "no limit" to the platform; only -1 asks for it.
  if (timeout_ms < 0 && timeout_ms != kNoTimeLimit) timeout_ms = 0;
  int ready = SocketApi().wait_readable(handle_, timeout_ms);
  CheckResult(ready);
  return last_error_code_ == 0 && ready > 0;
}

bool TBlockSocket::WaitReadable(int timeout_ms) {
  int slices = 0;
  int first_ms = timeout_ms;
  // Sliced, the wait lasts what was asked in all: the rest first, then whole slices, so that a
  // poll (0) stays a poll and a time-out is not stretched by a slice.
  const bool sliced = HeartbeatRate > 0 && timeout_ms != kNoTimeLimit;
  if (sliced) {
    slices = timeout_ms / HeartbeatRate;
    first_ms = timeout_ms % HeartbeatRate;
  }
  bool ready = SelectReadable(first_ms);
  if (!ready) {
    const int rounds = sliced ? slices : 1;
    for (int slice = 0; slice < rounds; ++slice) {
      NotifyHeartbeat();
      if (StopFlag) {
        StopFlag = false;
        ready = false;
        break;
      }
      ready = SelectReadable(HeartbeatRate);
      if (ready) break;
    }
  }
  ReportError();
  if (ready) NotifyStatus(HR_CanRead, std::string());
  return ready;
}

int WaitAnyReadable(TBlockSocket* const* sockets, bool* readable, int count, int timeout_ms,
                    std::int32_t& error_code) {
  error_code = 0;
  if (count < 1 || count > kMaxWaitHandles) {
    error_code = kSocketErrorInvalidArgument;
    return -1;
  }
  // Any other negative time would also mean "no limit" to the platform; only -1 asks for it.
  if (timeout_ms < 0 && timeout_ms != kNoTimeLimit) timeout_ms = 0;
  SocketHandle handles[kMaxWaitHandles];
  for (int i = 0; i < count; ++i) {
    handles[i] = sockets[i]->Handle();
    readable[i] = false;
  }
  const SocketInterface& api = SocketApi();
  const int ready = api.wait_readable_any(handles, readable, count, timeout_ms);
  if (ready < 0) {
    error_code = api.last_error();
    if (error_code == 0) error_code = kSocketErrorInvalidArgument;
  }
  return ready;
}

void TBlockSocket::Close() { Abort(); }

void TBlockSocket::Abort() {
  if (handle_ != kInvalidSocketHandle) SocketApi().close_socket(handle_);
  handle_ = kInvalidSocketHandle;
  rebind_ = RebindMemo{};
  local_lookup_ = LookupMemo{};
  remote_lookup_ = LookupMemo{};
  family_ = saved_family_;
  NotifyStatus(HR_SocketClose, std::string());
}

std::string TBlockSocket::LocalAddressText() const { return AddressText(local_address_); }

std::string TBlockSocket::RemoteAddressText() const { return AddressText(remote_address_); }

std::uint16_t TBlockSocket::LocalPortNumber() const { return AddressPort(local_address_); }

std::uint16_t TBlockSocket::RemotePortNumber() const { return AddressPort(remote_address_); }

void TDgramBlockSocket::ConnectTo(const std::string& host, const std::string& port) {
  SetRemoteEndpoint(host, port);
  remote_lookup_error_ = last_error_code_;
  if (remote_lookup_error_ == 0) {
    OpenSocketFor(remote_address_);
  } else {
    // No socket of an unknown family; the lookup's error stays for the caller and for the
    // sends that follow.
    ReportError();
  }
  read_ahead_.clear();
  if (OnStatus) NotifyStatus(HR_Connect, Endpoint(host, port));
}

int TDgramBlockSocket::WriteBytes(const char* buffer, int length) {
  return WriteBytesTo(buffer, length);
}

int TDgramBlockSocket::ReadBytes(char* buffer, int length) {
  return ReadBytesFrom(buffer, length);
}

TUDPBlockSocket::~TUDPBlockSocket() = default;

int TBlockSocket::SizeReceiveBuffer(int bytes) {
  if (handle_ == kInvalidSocketHandle) return 0;
  SocketApi().set_receive_buffer(handle_, bytes);
  int granted = 0;
  if (SocketApi().receive_buffer(handle_, granted) != 0 || granted < 0) return 0;
  return granted;
}

std::int64_t TBlockSocket::DroppedDatagrams() const {
  std::uint32_t count = 0;
  if (handle_ == kInvalidSocketHandle || SocketApi().dropped_datagrams(handle_, count) != 0) {
    return -1;
  }
  return count;
}

}  // namespace zelsnmp
