// libFuzzer target: arbitrary bytes through DecodeNotification, with its promises checked: a
// notification it takes has a PDU type of its version, every binding an OID, and a Response
// that the poll's own decoder reads back with the same request ID and bindings; one
// Notification decoded into again and again gives what a fresh one gives.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_require.h"
#include "snmp/notification_message.h"
#include "snmp/snmp_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelsnmp;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  static Notification* reused = new Notification();
  Notification fresh;
  const NotificationFault fault = DecodeNotification(bytes, fresh);
  Require(DecodeNotification(bytes, *reused) == fault);
  if (fault != NotificationFault::kNone) return 0;
  Require(size <= kMaxNotificationBytes);
  Require(fresh.version == kSnmpVersion1 ? fresh.pdu_type == PduTrap
                                         : fresh.version == kSnmpVersion2c &&
                                               (fresh.pdu_type == PduTrapV2 ||
                                                fresh.pdu_type == PduInformRequest));
  Require(reused->bindings.size() == fresh.bindings.size());
  for (std::size_t i = 0; i < fresh.bindings.size(); ++i) {
    Require(!fresh.bindings[i].OidText.empty());
    Require(reused->bindings[i].OidText == fresh.bindings[i].OidText &&
            reused->bindings[i].ValueText == fresh.bindings[i].ValueText);
  }
  if (fresh.pdu_type == PduInformRequest) {
    TSNMPRec response;
    Require(response.DecodeMessage(EncodeInformResponse(fresh)));
    Require(response.PDUType == PduResponse && response.ID == fresh.request_id);
    Require(response.Community == fresh.community);
    Require(static_cast<std::size_t>(response.BindingCount()) == fresh.bindings.size());
  }
  return 0;
}
