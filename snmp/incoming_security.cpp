#include "snmp/incoming_security.h"

namespace zelsnmp {

IncomingFault CommunitySecurity::Check(const ReceivedNotification& received,
                                       Notification& notification, std::string& answer,
                                       Clock::time_point) {
  answer.clear();
  if (received.v3 != nullptr) return IncomingFault::kWrongCommunity;
  return notification.community == community_ ? IncomingFault::kNone
                                              : IncomingFault::kWrongCommunity;
}

std::string CommunitySecurity::Response(const Notification& inform, Clock::time_point) {
  return EncodeInformResponse(inform);
}

}  // namespace zelsnmp
