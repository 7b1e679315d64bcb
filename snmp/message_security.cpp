#include "snmp/message_security.h"

#include "snmp/v3_message.h"

namespace zelsnmp {

bool ReadStepMark(std::string_view datagram, StepMark& mark) {
  TSNMPRec header;
  if (!header.DecodeHeader(datagram)) return false;
  if (header.Version == kSnmpVersion3) {
    DecodedV3Message message;
    if (!DecodeV3Message(datagram, message)) return false;
    mark = {MessageModel::kUserBased, message.header.message_id};
    return true;
  }
  if (header.PDUType != PduResponse) return false;
  mark = {MessageModel::kCommunity, header.ID};
  return true;
}

}  // namespace zelsnmp
