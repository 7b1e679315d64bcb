#include "poller/notification_receiver.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "host/nodehub.h"
#include "net/ip_literal.h"
#include "net/socket_error.h"
#include "poller/agent_query.h"
#include "poller/notification_messages.h"
#include "snmp/community_security.h"
#include "snmp/usm_notification_security.h"

namespace zelsnmp {

namespace {

// A sender repeats an inform whose Response it lost within this time.
constexpr auto kInformMemory = std::chrono::seconds(60);
// A drop is logged again for the same source and reason after this time.
constexpr auto kDropLogInterval = std::chrono::hours(1);

bool IsIPv6(const SocketAddress& address) {
  return AddressFamily(address) == SocketApi().family_ip6;
}

NotificationDrop DropOf(IncomingFault fault) {
  switch (fault) {
    case IncomingFault::kUnknownUser: return NotificationDrop::kUnknownUser;
    case IncomingFault::kLevelTooLow: return NotificationDrop::kLevelTooLow;
    case IncomingFault::kWrongDigest: return NotificationDrop::kWrongDigest;
    case IncomingFault::kWrongEngineId: return NotificationDrop::kWrongEngineId;
    case IncomingFault::kNotInTimeWindow: return NotificationDrop::kNotInTimeWindow;
    case IncomingFault::kReplay: return NotificationDrop::kReplay;
    case IncomingFault::kDecryptionFailed: return NotificationDrop::kDecryptionFailed;
    case IncomingFault::kNotANotification: return NotificationDrop::kNotANotification;
    case IncomingFault::kMalformed: return NotificationDrop::kMalformed;
    default: return NotificationDrop::kWrongCommunity;
  }
}

}  // namespace

bool SameHostAddress(const SocketAddress& a, const SocketAddress& b) {
  const int family = AddressFamily(a);
  if (family != AddressFamily(b)) return false;
  if (family == SocketApi().family_ip4) return std::memcmp(a.bytes + 4, b.bytes + 4, 4) == 0;
  if (family == SocketApi().family_ip6) return std::memcmp(a.bytes + 8, b.bytes + 8, 16) == 0;
  return false;
}

NotificationReceiver::NotificationReceiver(const PollConfig& config, int port,
                                           AgentSecurity* sessions, UsmAuthority* authority)
    : config_(config) {
  bool any_ipv6 = false;
  agents_.resize(config.agents.size());
  securities_.resize(config.agents.size());
  for (std::size_t i = 0; i < config.agents.size(); ++i) {
    const AgentEntry& entry = config.agents[i];
    if (entry.options.mistaken) {
      // Takes nothing.
    } else if (entry.options.version == 2) {
      securities_[i] = std::make_unique<CommunityNotificationSecurity>(entry.Community());
    } else if (entry.options.version == 3 && sessions != nullptr) {
      const UsmSession* session = sessions->SessionOf(i);
      securities_[i] = std::make_unique<UsmNotificationSecurity>(
          SecurityOf(entry.options), sessions->keys(),
          session != nullptr ? &session->engine() : nullptr, authority);
    }
    const std::string host(WithoutIPv6Brackets(config.agents[i].Host()));
    if (host.empty()) continue;
    AgentAddress& agent = agents_[i];
    agent.resolved = BuildSocketAddress(agent.address, host, "0", true, kSocketTypeDatagram,
                                        kProtocolUdp, 0) == 0;
    if (agent.resolved && IsIPv6(agent.address)) any_ipv6 = true;
  }
  std::string families;
  sockets_[0] = std::make_unique<TUDPBlockSocket>();
  Bind(*sockets_[0], "0.0.0.0", port, false);
  if (sockets_[0]->LastErrorCode() == 0) {
    bound_[count_++] = sockets_[0].get();
    families = "IPv4";
  }
  if (any_ipv6) {
    sockets_[1] = std::make_unique<TUDPBlockSocket>();
    Bind(*sockets_[1], "::", port, true);
    if (sockets_[1]->LastErrorCode() == 0) {
      bound_[count_++] = sockets_[1].get();
      families += families.empty() ? "IPv6" : ", IPv6";
    }
  }
  if (count_ > 0) {
    const std::string line = NotificationListeningLine(port, families);
    m_printf("%s", line.c_str(), 0, 0, 0, 0);
  }
}

NotificationReceiver::~NotificationReceiver() = default;

void NotificationReceiver::Bind(TUDPBlockSocket& socket, const char* any_address, int port,
                                bool ipv6) {
  if (ipv6) {
    // Set between the socket's making and its binding, so that the IPv4 socket keeps the port.
    socket.OnCreateSocket = [](TBlockSocket& made) { SocketApi().set_ipv6_only(made.Handle()); };
  }
  socket.BindLocal(any_address, std::to_string(port));
  socket.OnCreateSocket = nullptr;
  if (socket.LastErrorCode() != 0) {
    const std::string line = NotificationBindFailedLine(port, ipv6 ? "IPv6" : "IPv4",
                                                        socket.LastErrorCode(),
                                                        socket.LastErrorText());
    e_printf("%s", line.c_str(), 0, 0, 0, 0);
    socket.Close();
  }
}

bool NotificationReceiver::Wait(int timeout_ms) {
  if (count_ == 0) return false;
  bool readable[2] = {};
  std::int32_t error = 0;
  return WaitAnyReadable(bound_, readable, count_, timeout_ms, error) > 0;
}

bool NotificationReceiver::Take(const Handler& handler) {
  int taken = 0;
  for (int i = 0; i < count_; ++i) {
    auto& socket = static_cast<TUDPBlockSocket&>(*bound_[i]);
    while (taken < kMaxTakenAtOnce && socket.SelectReadable(0)) {
      const std::string datagram = socket.ReceiveDatagram(0);
      ++taken;
      if (socket.LastErrorCode() != 0) continue;
      ++received_;
      TakeOne(socket, datagram, handler);
    }
  }
  return taken >= kMaxTakenAtOnce;
}

void NotificationReceiver::TakeOne(TUDPBlockSocket& socket, const std::string& datagram,
                                   const Handler& handler) {
  const SocketAddress source = socket.RemoteAddress();
  bool known = false;
  for (const AgentAddress& agent : agents_) {
    if (agent.resolved && SameHostAddress(agent.address, source)) {
      known = true;
      break;
    }
  }
  if (!known) return Drop(source, NotificationDrop::kUnknownSource);
  Notification& notification = notification_;
  ReceivedNotification received{datagram, nullptr};
  switch (DecodeNotification(datagram, notification)) {
    case NotificationFault::kNone: break;
    case NotificationFault::kVersion3:
      if (!DecodeV3Message(datagram, v3_message_)) {
        return Drop(source, NotificationDrop::kMalformed);
      }
      received.v3 = &v3_message_;
      break;
    case NotificationFault::kNotANotification:
      return Drop(source, NotificationDrop::kNotANotification);
    case NotificationFault::kTooLong:
    case NotificationFault::kMalformed: return Drop(source, NotificationDrop::kMalformed);
  }
  const bool version3 = received.v3 != nullptr;
  const Clock::time_point now = Clock::now();
  // Without a section of its kind at this address, the community or user is nobody's.
  IncomingFault furthest = version3 ? IncomingFault::kUnknownUser : IncomingFault::kWrongCommunity;
  bool believed = false;
  for (std::size_t i = 0; i < agents_.size(); ++i) {
    if (securities_[i] == nullptr || !agents_[i].resolved ||
        !SameHostAddress(agents_[i].address, source)) {
      continue;
    }
    if ((config_.agents[i].options.version == 3) != version3) continue;
    const IncomingFault fault = securities_[i]->Check(received, notification, answer_, now);
    if (!answer_.empty()) socket.SendDatagramTo(answer_, source);
    // A discovery or time synchronisation of an inform's sender: answered, nothing more.
    if (fault == IncomingFault::kAnswered) return;
    if (fault != IncomingFault::kNone) {
      furthest = std::max(furthest, fault);
      continue;
    }
    if (!believed && notification.pdu_type == PduInformRequest) {
      // Answered before anything else, so that the sender stops repeating it.
      socket.SendDatagramTo(securities_[i]->Response(notification, now), source);
      if (SeenInform(source, notification.request_id)) {
        const std::string line = InformRepeatedLine(AddressText(source), notification.request_id);
        d_printf("%s", line.c_str(), 0, 0, 0, 0);
        return;
      }
    }
    believed = true;
    ++accepted_;
    handler(i, notification);
  }
  if (!believed) Drop(source, DropOf(furthest));
}

void NotificationReceiver::Drop(const SocketAddress& source, NotificationDrop reason) {
  const Clock::time_point now = Clock::now();
  for (LoggedDrop& logged : logged_drops_) {
    if (logged.reason == reason && SameHostAddress(logged.source, source)) {
      if (now - logged.at < kDropLogInterval) return;
      logged.at = now;
      const std::string line = NotificationDroppedLine(AddressText(source), reason);
      d_printf("%s", line.c_str(), 0, 0, 0, 0);
      return;
    }
  }
  if (logged_drops_.size() >= kMaxLoggedDrops) {
    std::erase_if(logged_drops_,
                  [&](const LoggedDrop& logged) { return now - logged.at >= kDropLogInterval; });
    // Still full: every entry was logged within the hour. A new source is dropped without a
    // line rather than the table grown or an entry forgotten early.
    if (logged_drops_.size() >= kMaxLoggedDrops) return;
  }
  logged_drops_.push_back({source, reason, now});
  const std::string line = NotificationDroppedLine(AddressText(source), reason);
  d_printf("%s", line.c_str(), 0, 0, 0, 0);
}

bool NotificationReceiver::SeenInform(const SocketAddress& source, std::int32_t request_id) {
  const Clock::time_point now = Clock::now();
  for (const RecentInform& recent : recent_informs_) {
    if (recent.request_id == request_id && now - recent.at < kInformMemory &&
        SameHostAddress(recent.source, source)) {
      return true;
    }
  }
  if (recent_informs_.size() >= kMaxRecentInforms) {
    std::erase_if(recent_informs_,
                  [&](const RecentInform& recent) { return now - recent.at >= kInformMemory; });
    // Still full: the oldest goes; a sender repeats within seconds, not after thousands.
    if (recent_informs_.size() >= kMaxRecentInforms) {
      recent_informs_.erase(recent_informs_.begin());
    }
  }
  recent_informs_.push_back({source, request_id, now});
  return false;
}

}  // namespace zelsnmp
