// The blocking socket classes: TBlockSocket (the base), TDgramBlockSocket (datagram
// behaviour) and TUDPBlockSocket, the UDP endpoint the SNMP client talks to agents over.
//
// Every operation runs to completion on the caller's thread. Operations do not report
// failure by their result: each leaves a Windows socket error number in LastErrorCode()
// (0 on success) and its English text in LastErrorText(), which the caller reads after the
// call. Only when RaiseExcept is set does a failure raise ESocketError ("TCP/IP Socket error
// %d: %s"). The object stays usable after any failure.
//
// The client's order of calls per request:
//   BindLocal("0.0.0.0", "0");  ConnectTo(host, "161");  SendDatagram(message);
//   reply = ReceiveDatagram(5000);  RemoteAddressText()  -> the sender of `reply`.
// ConnectTo does no platform connect: it records the target of later sends and opens the
// socket with the target's family. When the target does not resolve, the following sends
// fail with the lookup's error number and send nothing.
//
// Hooks are optional; an unassigned hook is never called. One object is used by one thread
// at a time; a heartbeat hook may set StopFlag to end a wait early.

#ifndef ZELSNMP_NET_BLOCK_SOCKET_H_
#define ZELSNMP_NET_BLOCK_SOCKET_H_

#include <cstdint>
#include <functional>
#include <string>

#include "net/socket_api.h"

namespace zelsnmp {

enum THookSocketReason {
  HR_ResolvingBegin,
  HR_ResolvingEnd,
  HR_SocketCreate,
  HR_SocketClose,
  HR_Bind,
  HR_Connect,
  HR_CanRead,
  HR_CanWrite,
  HR_Listen,
  HR_Accept,
  HR_ReadCount,
  HR_WriteCount,
  HR_Wait,
  HR_Error,
};

class TBlockSocket;

using THookSocketStatus =
    std::function<void(TBlockSocket& sender, THookSocketReason reason, const std::string& value)>;
// Never called for datagrams; kept for owners that assign it.
using THookDataFilter = std::function<void(TBlockSocket& sender, std::string& value)>;
using THookCreateSocket = std::function<void(TBlockSocket& sender)>;
using THookMonitor =
    std::function<void(TBlockSocket& sender, bool writing, const void* buffer, int length)>;
using THookHeartbeat = std::function<void(TBlockSocket& sender)>;

inline constexpr int kMaxPendingBytes = 65536;

class TBlockSocket {
 public:
  TBlockSocket() = default;
  virtual ~TBlockSocket();
  TBlockSocket(const TBlockSocket&) = delete;
  TBlockSocket& operator=(const TBlockSocket&) = delete;

  // Published properties. The system sets only Owner.
  int Tag = 0;
  bool RaiseExcept = false;
  int MaxLineLength = 0;
  int MaxSendBandwidth = 0;  // bytes per second, 0 = no limit
  int MaxRecvBandwidth = 0;
  bool ConvertLineEnd = false;
  bool PreferIP4 = true;  // with SF_Any, a name resolves to IPv4 first
  bool InterPacketTimeout = true;
  int SendMaxChunk = 65536;
  bool StopFlag = false;  // abandons the next transfer or ends the current wait
  int NonblockSendTimeout = 15000;
  THookSocketStatus OnStatus;
  THookDataFilter OnReadFilter;
  THookCreateSocket OnCreateSocket;
  THookMonitor OnMonitor;
  THookHeartbeat OnHeartbeat;
  int HeartbeatRate = 0;  // ms between heartbeats during a wait, 0 = one unsliced wait
  void* Owner = nullptr;

  void SetMaxBandwidth(int bytes_per_second);
  TSocketFamily Family() const { return family_; }

  virtual void SetFamily(TSocketFamily value);
  // One readiness wait of at most `timeout_ms` (-1 = no limit, 0 = poll).
  virtual bool SelectReadable(int timeout_ms);
  virtual void Close();
  virtual void Abort();
  virtual void ConnectTo(const std::string& host, const std::string& port);
  virtual int WriteBytes(const char* buffer, int length);
  // The whole of `data` as one datagram to the remote address.
  virtual void SendDatagram(const std::string& data);
  virtual int ReadBytes(char* buffer, int length);
  // One datagram, or empty with LastErrorCode() telling why (10060 on time-out). -1 waits
  // without limit, 0 only polls.
  virtual std::string ReceiveDatagram(int timeout_ms);
  // The size of what can be read next, 0..65536; 0 when it cannot be asked.
  virtual int PendingBytes();
  virtual std::int32_t CheckResult(int result);
  virtual std::string LocalAddressText() const;
  virtual std::string RemoteAddressText() const;
  virtual std::uint16_t LocalPortNumber() const;
  virtual std::uint16_t RemotePortNumber() const;
  // Waits in HeartbeatRate slices, calling OnHeartbeat between them.
  virtual bool WaitReadable(int timeout_ms);
  virtual int WriteBytesTo(const char* buffer, int length);
  virtual int ReadBytesFrom(char* buffer, int length);
  virtual int SocketKind() const { return 0; }
  virtual int SocketProtocol() const { return 0; }
  virtual std::string GetErrorDescEx() const;

  // The whole of `data` as one datagram to `to`, an address resolved earlier, as when a request
  // is sent again: RemoteAddress becomes `to`, nothing is looked up. Needs an open socket.
  void SendDatagramTo(const std::string& data, const SocketAddress& to);

  // Binds the local end. On a fresh SF_Any socket, "0.0.0.0" with port "0" does nothing:
  // the socket is then opened by ConnectTo and bound by the platform on its first send.
  void BindLocal(const std::string& address, const std::string& port);

  // Asks the platform for room for `bytes` of received datagrams and gives the room it granted,
  // as it counts it (Linux: twice what it granted, see socket_api.h); 0 when the socket is not
  // open or the platform does not say. Errors are not reported: a socket with less room works.
  int SizeReceiveBuffer(int bytes);
  // The datagrams the platform dropped on this socket since it was opened, for want of room
  // in its receive queue; -1 where the platform does not tell.
  std::int64_t DroppedDatagrams() const;

  static std::string GetErrorDesc(std::int32_t error_code);

  std::int32_t LastErrorCode() const { return last_error_code_; }
  const std::string& LastErrorText() const { return last_error_text_; }
  SocketHandle Handle() const { return handle_; }
  bool UsesIPv6() const { return uses_ipv6_; }
  bool IsBound() const { return is_bound_; }
  std::int32_t SendCount() const { return send_count_; }
  std::int32_t ReceiveCount() const { return receive_count_; }
  const SocketAddress& LocalAddress() const { return local_address_; }
  const SocketAddress& RemoteAddress() const { return remote_address_; }

 protected:
  void ClearError();
  // Sets the text of LastErrorCode(), notifies HR_Error and raises when RaiseExcept is set.
  void ReportError();
  // True (with 10053) when StopFlag asked to abandon the transfer; clears StopFlag.
  bool CheckStop();
  void NotifyStatus(THookSocketReason reason, const std::string& value);
  void NotifyMonitor(bool writing, const void* buffer, int length);
  void NotifyCreated();
  void NotifyHeartbeat();
  // Resolves into `address`, leaving the lookup's number in LastErrorCode().
  void ResolveEndpoint(SocketAddress& address, const std::string& host, const std::string& port);
  void SetRemoteEndpoint(const std::string& host, const std::string& port);

  // The answer of the last lookup of an address literal with a numeric port.
  struct LookupMemo {
    bool valid = false;
    std::string host;
    std::string port;
    int family_code = 0;
    bool prefer_ip4 = true;
    SocketAddress address;
    std::int32_t error_code = 0;
  };
  // The refusal of the last bind of an already bound socket.
  struct RebindMemo {
    bool valid = false;
    SocketHandle handle = kInvalidSocketHandle;
    std::string address;
    std::string port;
    bool prefer_ip4 = true;
    std::int32_t error_code = 0;
  };
  // ResolveEndpoint, remembering the answer in `memo` when it cannot change.
  void ResolveEndpoint(SocketAddress& address, const std::string& host, const std::string& port,
                       LookupMemo* memo);
  // Opens a socket of the address's family unless one is open; resets the transfer state.
  void OpenSocketFor(const SocketAddress& address);

  SocketHandle handle_ = kInvalidSocketHandle;
  std::int32_t last_error_code_ = 0;
  std::string last_error_text_;
  SocketAddress local_address_;
  SocketAddress remote_address_;
  // The lookup error of the last ConnectTo when its host did not resolve, 0 otherwise.
  // While set, sends fail with it instead of going to a meaningless address.
  std::int32_t remote_lookup_error_ = 0;
  std::string read_ahead_;
  LookupMemo local_lookup_;
  LookupMemo remote_lookup_;
  RebindMemo rebind_;
  TSocketFamily family_ = SF_Any;
  TSocketFamily saved_family_ = SF_Any;
  bool uses_ipv6_ = false;
  bool is_bound_ = false;
  std::int32_t send_count_ = 0;
  std::int32_t receive_count_ = 0;
};

class TDgramBlockSocket : public TBlockSocket {
 public:
  void ConnectTo(const std::string& host, const std::string& port) override;
  int WriteBytes(const char* buffer, int length) override;
  int ReadBytes(char* buffer, int length) override;
};

class TUDPBlockSocket : public TDgramBlockSocket {
 public:
  TUDPBlockSocket() = default;
  ~TUDPBlockSocket() override;
  int SocketKind() const override { return kSocketTypeDatagram; }
  int SocketProtocol() const override { return kProtocolUdp; }
};

// Waits up to `timeout_ms` (-1 = no limit, 0 = poll) until at least one of the `count` open
// sockets (1 to kMaxWaitHandles) can be read; readable[i] tells which. Returns how many can be
// read, 0 on time-out, or -1 with the error number in `error_code`. Hooks are not called.
int WaitAnyReadable(TBlockSocket* const* sockets, bool* readable, int count, int timeout_ms,
                    std::int32_t& error_code);

}  // namespace zelsnmp

#endif  // ZELSNMP_NET_BLOCK_SOCKET_H_
