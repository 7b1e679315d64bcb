#include "net/block_socket.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "net/socket_error.h"
#include "net/socket_test_util.h"

namespace zelsnmp {
namespace {

using Clock = std::chrono::steady_clock;
using testing::IPv6LoopbackAvailable;
using testing::kUnresolvableHost;
using testing::LegacyBinding;
using testing::ScopedSocketInterface;
using testing::UnresolvableHostBinding;
using testing::WaitForPending;
using testing::WaitRecorder;
using testing::WaitRecordingBinding;

using StatusLog = std::vector<std::pair<THookSocketReason, std::string>>;

void Record(TBlockSocket& socket, StatusLog& log) {
  socket.OnStatus = [&log](TBlockSocket&, THookSocketReason reason, const std::string& value) {
    log.emplace_back(reason, value);
  };
}

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// An agent stand-in: a UDP socket bound to a loopback address.
class Peer {
 public:
  explicit Peer(const std::string& address) {
    socket.BindLocal(address, "0");
    EXPECT_EQ(socket.LastErrorCode(), 0) << socket.LastErrorText();
  }
  std::string Port() const { return std::to_string(socket.LocalPortNumber()); }

  TUDPBlockSocket socket;
};

// The client's order of calls, up to the send.
void BindConnectSend(TUDPBlockSocket& client, const std::string& host, const std::string& port,
                     const std::string& message) {
  client.BindLocal("0.0.0.0", "0");
  client.ConnectTo(host, port);
  client.SendDatagram(message);
}

TEST(UDPBlockSocketTest, Defaults) {
  TUDPBlockSocket socket;
  EXPECT_EQ(socket.Handle(), kInvalidSocketHandle);
  EXPECT_EQ(socket.Family(), SF_Any);
  EXPECT_TRUE(socket.PreferIP4);
  EXPECT_FALSE(socket.RaiseExcept);
  EXPECT_EQ(socket.SendMaxChunk, 65536);
  EXPECT_EQ(socket.NonblockSendTimeout, 15000);
  EXPECT_EQ(socket.HeartbeatRate, 0);
  EXPECT_EQ(socket.SocketKind(), 2);
  EXPECT_EQ(socket.SocketProtocol(), 17);
  EXPECT_EQ(TBlockSocket::GetErrorDesc(10065), "No route to host");
}

TEST(UDPBlockSocketTest, StatusSequenceOnFreshThenOpenSocket) {
  Peer agent("127.0.0.1");
  StatusLog log;  // outlives the socket, whose destructor still reports
  TUDPBlockSocket client;
  Record(client, log);
  const std::string target = "127.0.0.1:" + agent.Port();

  client.BindLocal("0.0.0.0", "0");
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(client.Handle(), kInvalidSocketHandle);
  client.ConnectTo("127.0.0.1", agent.Port());
  client.SendDatagram("query");
  EXPECT_EQ(client.LastErrorCode(), 0);
  EXPECT_EQ(agent.socket.ReceiveDatagram(2000), "query");
  agent.socket.SendDatagram("reply!");
  ASSERT_TRUE(WaitForPending(client));
  EXPECT_EQ(client.ReceiveDatagram(2000), "reply!");
  EXPECT_EQ(client.LastErrorCode(), 0);
  EXPECT_EQ(client.RemoteAddressText(), "127.0.0.1");

  StatusLog fresh = {{HR_ResolvingBegin, target}, {HR_ResolvingEnd, target},
                     {HR_SocketCreate, "IPv4"},   {HR_Connect, target},
                     {HR_WriteCount, "5"},        {HR_ReadCount, "6"}};
  EXPECT_EQ(log, fresh);
  EXPECT_EQ(client.SendCount(), 5);
  EXPECT_EQ(client.ReceiveCount(), 6);

  // Second request on the open socket: binding again fails (it is bound already), is
  // reported, and is forgotten by ConnectTo.
  log.clear();
  BindConnectSend(client, "127.0.0.1", agent.Port(), "again");
  EXPECT_EQ(client.LastErrorCode(), 0);
  EXPECT_EQ(agent.socket.ReceiveDatagram(2000), "again");
  agent.socket.SendDatagram("ok");
  ASSERT_TRUE(WaitForPending(client));
  EXPECT_EQ(client.ReceiveDatagram(2000), "ok");
  StatusLog open = {{HR_ResolvingBegin, "0.0.0.0:0"},
                    {HR_ResolvingEnd, "0.0.0.0:0"},
                    {HR_Error, "10022,Invalid argument"},
                    {HR_Bind, "0.0.0.0:0"},
                    {HR_ResolvingBegin, target},
                    {HR_ResolvingEnd, target},
                    {HR_Connect, target},
                    {HR_WriteCount, "5"},
                    {HR_ReadCount, "2"}};
  EXPECT_EQ(log, open);
  EXPECT_EQ(client.SendCount(), 5);  // counted since the last ConnectTo
}

TEST(UDPBlockSocketTest, TwoQueuedDatagramsComeOneAtATime) {
  Peer agent("127.0.0.1");
  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", agent.Port(), "q");
  ASSERT_EQ(agent.socket.ReceiveDatagram(2000), "q");
  agent.socket.SendDatagram("first, longer datagram");
  agent.socket.SendDatagram("2nd");
  ASSERT_TRUE(WaitForPending(client));
  EXPECT_EQ(client.ReceiveDatagram(2000), "first, longer datagram");
  EXPECT_EQ(client.ReceiveDatagram(2000), "2nd");
  EXPECT_EQ(client.LastErrorCode(), 0);
}

TEST(UDPBlockSocketTest, DatagramFromAnotherAddressNamesItsSender) {
  Peer agent("127.0.0.1");
  Peer stranger("127.0.0.2");
  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", agent.Port(), "q");
  ASSERT_EQ(agent.socket.ReceiveDatagram(2000), "q");
  const std::string client_port = std::to_string(agent.socket.RemotePortNumber());
  stranger.socket.ConnectTo("127.0.0.1", client_port);
  stranger.socket.SendDatagram("from elsewhere");
  EXPECT_EQ(client.ReceiveDatagram(2000), "from elsewhere");
  EXPECT_EQ(client.LastErrorCode(), 0);
  if (!testing::LoopbackAliasesBoundAsWildcard()) {
    EXPECT_EQ(client.RemoteAddressText(), "127.0.0.2");
  }
  EXPECT_EQ(std::to_string(client.RemotePortNumber()), stranger.Port());
}

TEST(UDPBlockSocketTest, EmptyDatagramIsReportedAndTakenOffTheQueue) {
  Peer agent("127.0.0.1");
  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", agent.Port(), "q");
  ASSERT_EQ(agent.socket.ReceiveDatagram(2000), "q");
  agent.socket.SendDatagram("");
  EXPECT_EQ(agent.socket.LastErrorCode(), 0);
  agent.socket.SendDatagram("real reply");

  EXPECT_EQ(client.ReceiveDatagram(2000), "");
  EXPECT_EQ(client.LastErrorCode(), 10054);
  EXPECT_EQ(client.LastErrorText(), "Connection reset by peer");
  EXPECT_EQ(client.RemoteAddressText(), "127.0.0.1");
  EXPECT_EQ(client.ReceiveDatagram(2000), "real reply");
  EXPECT_EQ(client.LastErrorCode(), 0);
}

// Windows reports an ICMP "port unreachable" for an earlier send as a pending error on the
// socket: it is readable with nothing to read, and the next receive fails with 10054. Linux and
// Wine report nothing to an unconnected socket, so this platform table plays the pending error.
struct PortUnreachable {
  static inline bool pending = false;
  static inline bool reported = false;
  static inline SocketInterface platform;

  static bool Load(std::string_view name, SocketInterface& table) {
    if (!PlatformSocketInterfaceBinding().load_library(name, table)) return false;
    platform = table;
    table.wait_readable = [](SocketHandle handle, int timeout_ms) {
      return pending ? 1 : platform.wait_readable(handle, timeout_ms);
    };
    table.pending_bytes = [](SocketHandle handle, std::uint32_t& count) {
      int result = platform.pending_bytes(handle, count);
      if (pending) count = 0;
      return result;
    };
    table.receive_from = [](SocketHandle handle, char* buffer, int length, SocketAddress& from) {
      reported = pending;
      if (!pending) return platform.receive_from(handle, buffer, length, from);
      pending = false;
      return -1;
    };
    table.last_error = []() -> std::int32_t {
      return reported ? kSocketErrorConnectionReset : platform.last_error();
    };
    WaitRecorder::Clear();
    WaitRecorder::Apply(table);
    return true;
  }
  static const SocketInterfaceBinding& Binding() {
    static const SocketInterfaceBinding binding{
        Load, nullptr, PlatformSocketInterfaceBinding().free_libraries};
    return binding;
  }
};

TEST(UDPBlockSocketTest, PendingPortUnreachableIsReportedOnceAsReset) {
  ScopedSocketInterface scoped(PortUnreachable::Binding());
  Peer agent("127.0.0.1");
  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", agent.Port(), "q");
  ASSERT_EQ(agent.socket.ReceiveDatagram(2000), "q");
  PortUnreachable::pending = true;
  EXPECT_EQ(client.ReceiveDatagram(5000), "");
  // The pending error ended the wait; none waited out its time-out.
  EXPECT_EQ(WaitRecorder::Of(client.Handle()).size(), 1u);
  EXPECT_TRUE(WaitRecorder::TimedOutOf(client.Handle()).empty());
  EXPECT_EQ(client.LastErrorCode(), 10054);
  EXPECT_EQ(client.LastErrorText(), "Connection reset by peer");
  // The error was taken by that receive: the next answer is read as usual.
  EXPECT_FALSE(PortUnreachable::pending);
  agent.socket.SendDatagram("answer");
  EXPECT_EQ(client.ReceiveDatagram(2000), "answer");
  EXPECT_EQ(client.LastErrorCode(), 0);
}

TEST(UDPBlockSocketTest, ShortTimeoutGivesTimedOut) {
  ScopedSocketInterface recorded(WaitRecordingBinding());
  Peer silent("127.0.0.1");
  StatusLog log;  // outlives the socket, whose destructor still reports
  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", silent.Port(), "q");
  Record(client, log);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(client.ReceiveDatagram(100), "");
  // A lower bound holds on a monotonic clock however loaded the machine; how long the
  // receive meant to wait is what it asked the platform for.
  EXPECT_GE(MillisecondsSince(start), 90);
  int waited_ms = 0;
  for (const testing::RecordedWait& wait : WaitRecorder::Of(client.Handle())) {
    waited_ms += wait.timeout_ms;
  }
  EXPECT_EQ(waited_ms, 100);
  EXPECT_FALSE(WaitRecorder::TimedOutOf(client.Handle()).empty());
  EXPECT_EQ(client.LastErrorCode(), 10060);
  EXPECT_EQ(client.LastErrorText(), "Connection timed out");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), std::make_pair(HR_Error, std::string("10060,Connection timed out")));
}

TEST(UDPBlockSocketTest, RaiseExceptTurnsTimeOutIntoException) {
  Peer silent("127.0.0.1");
  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", silent.Port(), "q");
  client.RaiseExcept = true;
  try {
    client.ReceiveDatagram(20);
    FAIL() << "no exception";
  } catch (const ESocketError& error) {
    EXPECT_STREQ(error.what(), "TCP/IP Socket error 10060: Connection timed out");
    EXPECT_EQ(error.ErrorCode(), 10060);
    EXPECT_EQ(error.ErrorMessage(), "Connection timed out");
  }
}

TEST(UDPBlockSocketTest, ZeroTimeoutOnlyPolls) {
  ScopedSocketInterface recorded(WaitRecordingBinding());
  Peer agent("127.0.0.1");
  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", agent.Port(), "q");
  EXPECT_EQ(client.ReceiveDatagram(0), "");
  EXPECT_EQ(client.LastErrorCode(), 10060);
  for (const testing::RecordedWait& wait : WaitRecorder::Of(client.Handle())) {
    EXPECT_EQ(wait.timeout_ms, 0);
  }

  ASSERT_EQ(agent.socket.ReceiveDatagram(2000), "q");
  agent.socket.SendDatagram("queued");
  ASSERT_TRUE(WaitForPending(client));
  EXPECT_EQ(client.ReceiveDatagram(0), "queued");
  EXPECT_EQ(client.LastErrorCode(), 0);
}

TEST(UDPBlockSocketTest, StopFlagFromHeartbeatEndsWait) {
  ScopedSocketInterface recorded(WaitRecordingBinding());
  Peer silent("127.0.0.1");
  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", silent.Port(), "q");
  int heartbeats = 0;
  client.HeartbeatRate = 10;
  client.OnHeartbeat = [&heartbeats](TBlockSocket& sender) {
    if (++heartbeats == 3) sender.StopFlag = true;
  };
  EXPECT_EQ(client.ReceiveDatagram(60000), "");
  EXPECT_EQ(heartbeats, 3);
  // The minute was waited in heartbeat slices, and no slice followed the third heartbeat.
  const std::vector<testing::RecordedWait> waits = WaitRecorder::Of(client.Handle());
  EXPECT_LE(waits.size(), 3u);
  for (const testing::RecordedWait& wait : waits) EXPECT_LE(wait.timeout_ms, 10);
  EXPECT_FALSE(client.StopFlag);
  EXPECT_EQ(client.LastErrorCode(), 10060);
}

TEST(UDPBlockSocketTest, StopFlagAbandonsSend) {
  Peer agent("127.0.0.1");
  TUDPBlockSocket client;
  client.ConnectTo("127.0.0.1", agent.Port());
  client.StopFlag = true;
  client.SendDatagram("never");
  EXPECT_EQ(client.LastErrorCode(), 10053);
  EXPECT_FALSE(client.StopFlag);
  EXPECT_EQ(agent.socket.ReceiveDatagram(50), "");
  EXPECT_EQ(agent.socket.LastErrorCode(), 10060);
}

TEST(UDPBlockSocketTest, UnresolvedHostMakesSendFailOnFreshAndOpenSocket) {
  ScopedSocketInterface scoped(UnresolvableHostBinding());
  Peer agent("127.0.0.1");
  const std::string host(kUnresolvableHost);

  TUDPBlockSocket fresh;
  BindConnectSend(fresh, host, "161", "lost");
  EXPECT_EQ(fresh.LastErrorCode(), 11001);
  EXPECT_EQ(fresh.LastErrorText(), "Host not found");
  EXPECT_EQ(fresh.Handle(), kInvalidSocketHandle);

  StatusLog log;  // outlives the socket, whose destructor still reports
  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", agent.Port(), "first");
  ASSERT_EQ(agent.socket.ReceiveDatagram(2000), "first");
  Record(client, log);
  client.ConnectTo(host, agent.Port());
  EXPECT_EQ(client.LastErrorCode(), 11001);
  client.SendDatagram("lost");
  EXPECT_EQ(client.LastErrorCode(), 11001);
  EXPECT_EQ(agent.socket.ReceiveDatagram(50), "");
  const std::string target = host + ":" + agent.Port();
  StatusLog expected = {{HR_ResolvingBegin, target},       {HR_ResolvingEnd, ":0"},
                        {HR_Error, "11001,Host not found"}, {HR_Connect, target},
                        {HR_Error, "11001,Host not found"}};
  EXPECT_EQ(log, expected);

  // A later ConnectTo that resolves makes the socket usable again.
  client.ConnectTo("127.0.0.1", agent.Port());
  client.SendDatagram("second");
  EXPECT_EQ(client.LastErrorCode(), 0);
  EXPECT_EQ(agent.socket.ReceiveDatagram(2000), "second");
}

TEST(UDPBlockSocketTest, PortInUseIsReportedWithItsText) {
  Peer first("127.0.0.1");
  StatusLog log;
  TUDPBlockSocket second;
  Record(second, log);
  second.BindLocal("127.0.0.1", first.Port());
  EXPECT_EQ(second.LastErrorCode(), 10048);
  EXPECT_EQ(second.LastErrorText(), "Address already in use");
  EXPECT_NE(std::find(log.begin(), log.end(),
                      std::make_pair(HR_Error, std::string("10048,Address already in use"))),
            log.end());
}

TEST(UDPBlockSocketTest, CloseNotifiesAndSocketCanBeReopened) {
  Peer agent("127.0.0.1");
  StatusLog log;
  TUDPBlockSocket client;
  client.SetFamily(SF_IP4);
  client.ConnectTo("127.0.0.1", agent.Port());
  Record(client, log);
  client.Close();
  EXPECT_EQ(client.Handle(), kInvalidSocketHandle);
  EXPECT_EQ(log, (StatusLog{{HR_SocketClose, ""}}));
  EXPECT_EQ(client.Family(), SF_IP4);

  client.ConnectTo("127.0.0.1", agent.Port());
  client.SendDatagram("reopened");
  EXPECT_EQ(agent.socket.ReceiveDatagram(2000), "reopened");
}

TEST(UDPBlockSocketTest, MonitorSeesBothDirections) {
  Peer agent("127.0.0.1");
  std::vector<std::pair<bool, std::string>> seen;
  TUDPBlockSocket client;
  client.OnMonitor = [&seen](TBlockSocket&, bool writing, const void* buffer, int length) {
    seen.emplace_back(writing, std::string(static_cast<const char*>(buffer), length));
  };
  BindConnectSend(client, "127.0.0.1", agent.Port(), "out");
  ASSERT_EQ(agent.socket.ReceiveDatagram(2000), "out");
  agent.socket.SendDatagram("in");
  EXPECT_EQ(client.ReceiveDatagram(2000), "in");
  EXPECT_EQ(seen, (std::vector<std::pair<bool, std::string>>{{true, "out"}, {false, "in"}}));
}

TEST(UDPBlockSocketTest, IPv6LiteralOpensIPv6Socket) {
  if (!IPv6LoopbackAvailable()) GTEST_SKIP() << "::1 is not available";
  Peer agent("::1");
  StatusLog log;  // outlives the socket, whose destructor still reports
  TUDPBlockSocket client;
  Record(client, log);
  BindConnectSend(client, "::1", agent.Port(), "v6 query");
  EXPECT_EQ(client.LastErrorCode(), 0) << client.LastErrorText();
  EXPECT_TRUE(client.UsesIPv6());
  EXPECT_NE(std::find(log.begin(), log.end(), std::make_pair(HR_SocketCreate, std::string("IPv6"))),
            log.end());
  EXPECT_EQ(agent.socket.ReceiveDatagram(2000), "v6 query");
  agent.socket.SendDatagram("v6 reply");
  EXPECT_EQ(client.ReceiveDatagram(2000), "v6 reply");
  EXPECT_EQ(client.LastErrorCode(), 0);
  EXPECT_EQ(client.RemoteAddressText(), "::1");
}

TEST(UDPBlockSocketTest, IPv4LiteralAndNameOpenIPv4Socket) {
  Peer agent("127.0.0.1");
  for (const char* host : {"127.0.0.1", "localhost"}) {
    TUDPBlockSocket client;
    BindConnectSend(client, host, agent.Port(), host);
    EXPECT_FALSE(client.UsesIPv6()) << host;
    EXPECT_EQ(agent.socket.ReceiveDatagram(2000), host);
  }
}

TEST(UDPBlockSocketTest, ExchangeInLegacyMode) {
  ScopedSocketInterface scoped(LegacyBinding());
  Peer agent("127.0.0.1");
  TUDPBlockSocket client;
  BindConnectSend(client, "localhost", agent.Port(), "legacy");
  EXPECT_EQ(client.LastErrorCode(), 0) << client.LastErrorText();
  EXPECT_EQ(agent.socket.ReceiveDatagram(2000), "legacy");
  agent.socket.SendDatagram("answer");
  EXPECT_EQ(client.ReceiveDatagram(2000), "answer");
  EXPECT_EQ(client.RemoteAddressText(), "127.0.0.1");
}

// The wait on several sockets names the ones with a datagram queued; SendDatagramTo repeats a
// send to an address kept from an earlier one, whatever the socket received in between.
TEST(UDPBlockSocketTest, WaitAnyReadableAndSendAgainToAKeptAddress) {
  Peer first("127.0.0.1");
  Peer second("127.0.0.1");
  TBlockSocket* sockets[] = {&first.socket, &second.socket};
  bool readable[2] = {true, true};
  std::int32_t error = -1;
  EXPECT_EQ(WaitAnyReadable(sockets, readable, 2, 50, error), 0);
  EXPECT_EQ(error, 0);
  EXPECT_FALSE(readable[0] || readable[1]);

  TUDPBlockSocket client;
  BindConnectSend(client, "127.0.0.1", second.Port(), "try 1");
  const SocketAddress kept = client.RemoteAddress();
  EXPECT_EQ(WaitAnyReadable(sockets, readable, 2, 2000, error), 1);
  EXPECT_FALSE(readable[0]);
  EXPECT_TRUE(readable[1]);
  EXPECT_EQ(second.socket.ReceiveDatagram(0), "try 1");

  client.ConnectTo("127.0.0.1", first.Port());
  client.SendDatagramTo("try 2", kept);
  EXPECT_EQ(client.LastErrorCode(), 0);
  EXPECT_EQ(second.socket.ReceiveDatagram(2000), "try 2");
  EXPECT_EQ(WaitAnyReadable(sockets, readable, 0, 0, error), -1);
  EXPECT_EQ(error, kSocketErrorInvalidArgument);
}

TEST(UDPBlockSocketTest, ReceiveOnUnopenedSocketFailsAtOnce) {
  ScopedSocketInterface recorded(WaitRecordingBinding());
  TUDPBlockSocket socket;
  EXPECT_EQ(socket.ReceiveDatagram(5000), "");
  EXPECT_NE(socket.LastErrorCode(), 0);
  // Whatever was asked of the platform failed at once instead of waiting out the time-out.
  EXPECT_TRUE(WaitRecorder::TimedOutOf(socket.Handle()).empty());
}

}  // namespace
}  // namespace zelsnmp
