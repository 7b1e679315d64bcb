// NotificationReceiver: the task's listening side for the traps and informs of the devices it
// polls.
//
// Made once the configuration is loaded, with the port of "/t" or "/tPORT": it binds one UDP
// socket to every local IPv4 address on that port, and one more to every local IPv6 address
// when an agent's address is IPv6 (the IPv6 socket takes IPv6 only, so that both can hold the
// port). A socket that cannot be bound is named with the reason in the error log, once; without
// any socket the receiver takes nothing and costs nothing.
//
// Take() reads what has arrived, a bounded number of datagrams per call, and believes a
// notification only from a configured agent with its credentials:
//   - the source address equals a section's agent address (any source port; several sections
//     may share an address, each is checked on its own);
//   - a v1 Trap-PDU, SNMPv2-Trap or InformRequest (snmp/notification_message.h) whose community
//     equals that of a v2c section of that address;
//   - an SNMPv3 SNMPv2-Trap or InformRequest that passes the user-based security model's checks
//     of a v3 section of that address (its user, its level, digest, engine and time window,
//     decryption: snmp/usm_notification_security.h). A trap's engine is the device's, matched
//     against what the section's polling session knows of it or learnt from its first
//     authentic trap; an inform's is the task's own (snmp/usm_authority.h), whose discovery and
//     time synchronisation are answered with a Report here;
//   - a section whose options hold a mistake takes none.
// Each section is reached only through its IncomingSecurity (snmp/message_security.h).
// Everything else is dropped without effect; the debug log says so with the reason once per
// source address, reason and hour, in a table of bounded size (a flood from ever new addresses
// is dropped without a line rather than let the table grow). Of several sections of one
// address the reason is that of the section whose checks came furthest.
//
// An InformRequest that passes the checks is answered at once with its Response (for v3
// secured as it came), before anything else is done. The same inform again (same sender
// address and request ID within 60 s, as a sender repeats it when the Response is lost) is
// answered again but handed on only the first time; the table of recent informs is bounded.
//
// Each believed notification is handed to the caller once per section it counts for. One
// thread uses the receiver.

#ifndef ZELSNMP_POLLER_NOTIFICATION_RECEIVER_H_
#define ZELSNMP_POLLER_NOTIFICATION_RECEIVER_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/block_socket.h"
#include "poller/agent_security.h"
#include "poller/poll_config.h"
#include "snmp/message_security.h"
#include "snmp/notification_message.h"
#include "snmp/usm_authority.h"
#include "snmp/v3_message.h"

namespace zelsnmp {

// The port "/t" alone listens on.
inline constexpr int kDefaultNotificationPort = 162;

// Why a datagram was dropped.
enum class NotificationDrop {
  kUnknownSource,
  kWrongCommunity,
  kMalformed,
  kNotANotification,
  kUnknownUser,
  kLevelTooLow,
  kWrongDigest,
  kWrongEngineId,
  kNotInTimeWindow,
  kReplay,
  kDecryptionFailed,
};

class NotificationReceiver {
 public:
  using Clock = std::chrono::steady_clock;
  // Called for each section (by its index in the configuration) a notification counts for.
  using Handler = std::function<void(std::size_t agent, const Notification& notification)>;

  // At most this many datagrams are read by one Take().
  static constexpr int kMaxTakenAtOnce = 64;
  // Bounds of the tables of logged drops and of recent informs.
  static constexpr std::size_t kMaxLoggedDrops = 256;
  static constexpr std::size_t kMaxRecentInforms = 1024;

  // Binds the sockets for `config`'s agents on `port`; failures go to the error log. v3
  // sections take notifications only with `sessions` (the polling sessions and their key
  // cache, which must outlive the receiver); informs of v3 only with `authority`, the task's own
  // engine.
  NotificationReceiver(const PollConfig& config, int port, AgentSecurity* sessions = nullptr,
                       UsmAuthority* authority = nullptr);
  ~NotificationReceiver();
  NotificationReceiver(const NotificationReceiver&) = delete;
  NotificationReceiver& operator=(const NotificationReceiver&) = delete;

  // True when at least one socket is bound.
  bool listening() const { return count_ > 0; }

  // Waits up to `timeout_ms` for a datagram on any socket; true when one can be read.
  bool Wait(int timeout_ms);
  // Reads up to kMaxTakenAtOnce datagrams that have arrived, without waiting, and hands on the
  // believed ones. True when it stopped at the bound with more perhaps waiting.
  bool Take(const Handler& handler);

  // Datagrams read and notifications handed on so far (for the benchmark and tests).
  std::uint64_t received() const { return received_; }
  std::uint64_t accepted() const { return accepted_; }

 private:
  struct AgentAddress {
    SocketAddress address;
    bool resolved = false;
  };
  struct LoggedDrop {
    SocketAddress source;
    NotificationDrop reason;
    Clock::time_point at;
  };
  struct RecentInform {
    SocketAddress source;
    std::int32_t request_id;
    Clock::time_point at;
  };

  void Bind(TUDPBlockSocket& socket, const char* any_address, int port, bool ipv6);
  void TakeOne(TUDPBlockSocket& socket, const std::string& datagram, const Handler& handler);
  void Drop(const SocketAddress& source, NotificationDrop reason);
  // True when the inform was seen within 60 s; remembers it otherwise.
  bool SeenInform(const SocketAddress& source, std::int32_t request_id);

  const PollConfig& config_;
  std::vector<AgentAddress> agents_;
  // Per section: how its notifications are secured; null for a section that takes none.
  std::vector<std::unique_ptr<IncomingSecurity>> securities_;
  std::unique_ptr<TUDPBlockSocket> sockets_[2];
  TBlockSocket* bound_[2] = {};
  int count_ = 0;
  std::vector<LoggedDrop> logged_drops_;
  std::vector<RecentInform> recent_informs_;
  Notification notification_;  // kept, so that its storage is reused
  DecodedV3Message v3_message_;
  std::string answer_;
  std::uint64_t received_ = 0;
  std::uint64_t accepted_ = 0;
};

// Same address (family and address bytes; the port is not compared).
bool SameHostAddress(const SocketAddress& a, const SocketAddress& b);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_NOTIFICATION_RECEIVER_H_
