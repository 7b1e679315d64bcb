// CommunitySecurity: the messages of SNMPv1 and v2c requests, secured by nothing but the
// community the query carries. A request is one step: the query encoded as it is (its version,
// community, PDU type, request ID and bindings), sent again as the same bytes on every try.
// A datagram answers it only when it decodes as a Response PDU carrying the request's ID;
// anything else is dropped with only its headers read. No step follows a time-out.
//
// It keeps nothing between calls, so one object serves every request of every agent
// (Shared()).

#ifndef ZELSNMP_SNMP_COMMUNITY_SECURITY_H_
#define ZELSNMP_SNMP_COMMUNITY_SECURITY_H_

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

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_COMMUNITY_SECURITY_H_
