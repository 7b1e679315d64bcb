#include "snmp/community_security.h"

namespace zelsnmp {

CommunitySecurity& CommunitySecurity::Shared() {
  static CommunitySecurity shared;
  return shared;
}

bool CommunitySecurity::BeginRequest(TSNMPRec& query, SecuredRequest& request,
                                     Clock::time_point) {
  request.request_id = query.ID;
  request.step_id = query.ID;
  request.datagram = query.EncodeMessage();
  return true;
}

SecuredStep CommunitySecurity::TakeDatagram(SecuredRequest& request, std::string_view bytes,
                                            TSNMPRec& reply, Clock::time_point) {
  // The header first: nothing is spent on the bindings of a datagram that is not the answer.
  // Anything else (an answer that came after an earlier request had timed out, a repeated
  // answer, a forgery that guessed wrong, the request itself echoed back, bytes that are no
  // message) would write another request's values into this one's points.
  if (reply.DecodeHeader(bytes) && reply.PDUType == PduResponse &&
      reply.ID == request.request_id && reply.DecodeMessage(bytes)) {
    return SecuredStep::kAnswered;
  }
  return SecuredStep::kDrop;
}

IncomingFault CommunityNotificationSecurity::Check(const ReceivedNotification& received,
                                       Notification& notification, std::string& answer,
                                       Clock::time_point) {
  answer.clear();
  if (received.v3 != nullptr) return IncomingFault::kWrongCommunity;
  return notification.community == community_ ? IncomingFault::kNone
                                              : IncomingFault::kWrongCommunity;
}

std::string CommunityNotificationSecurity::Response(const Notification& inform, Clock::time_point) {
  return EncodeInformResponse(inform);
}

}  // namespace zelsnmp
