// CommunitySecurity: the messages of SNMPv1 and v2c requests, secured by nothing but the
// community the query carries. A request is one step: the query encoded as it is (its version,
// community, PDU type, request ID and bindings), sent again as the same bytes on every try.
// A datagram answers it only when it decodes as a Response PDU carrying the request's ID;
// anything else is dropped with only its headers read. No step follows a time-out.
//
// It keeps nothing between calls, so one object serves every request of every agent
// (Shared()).
//
// CommunityNotificationSecurity: a v1 or v2c section as a sender of notifications. The
// receiver has decoded the message already; it is the section's when its community equals the
// section's. An inform is answered with its Response in the same version and community.

#ifndef ZELSNMP_SNMP_COMMUNITY_SECURITY_H_
#define ZELSNMP_SNMP_COMMUNITY_SECURITY_H_

#include <string>
#include <utility>

#include "snmp/message_security.h"

namespace zelsnmp {

class CommunitySecurity final : public MessageSecurity {
 public:
  // The object the exchange and the window use for requests without a session.
  static CommunitySecurity& Shared();

  MessageModel model() const override { return MessageModel::kCommunity; }
  bool BeginRequest(TSNMPRec& query, SecuredRequest& request, Clock::time_point now) override;
  SecuredStep TakeDatagram(SecuredRequest& request, std::string_view bytes, TSNMPRec& reply,
                           Clock::time_point now) override;
  SecuredStep StepTimedOut(SecuredRequest&, Clock::time_point) override {
    return SecuredStep::kFailed;
  }
  void StepFailed(const SecuredRequest&) override {}
  void StepNotSent() override {}
};

class CommunityNotificationSecurity final : public IncomingSecurity {
 public:
  explicit CommunityNotificationSecurity(std::string community)
      : community_(std::move(community)) {}

  IncomingFault Check(const ReceivedNotification& received, Notification& notification,
                      std::string& answer, Clock::time_point now) override;
  std::string Response(const Notification& inform, Clock::time_point now) override;

 private:
  std::string community_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_COMMUNITY_SECURITY_H_
