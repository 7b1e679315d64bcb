// The messages the benchmarks put through both codecs: GetRequests of NULL bindings and
// Responses of mixed value types, 1, 10 and 50 bindings, version 2c, community "public".
//
// Each message is described once, as OIDs and values, and filled into either library's own
// structures from that description; the benchmarks check once that both encode it to the
// same bytes.

#ifndef ZELSNMP_BENCH_BENCH_VECTORS_H_
#define ZELSNMP_BENCH_BENCH_VECTORS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp::bench {

inline constexpr std::int32_t kRequestId = 123456789;
inline constexpr const char* kCommunity = "public";

struct BindingSpec {
  std::vector<std::uint32_t> oid;  // arcs
  std::string oid_text;            // the same, dotted
  int tag = TagNull;
  std::string text;  // value as our message carries it for sending
};

// Interface-table OIDs 1.3.6.1.2.1.2.2.1.<column>.<row>: realistic lengths, one long arc.
inline BindingSpec RequestBinding(int index) {
  BindingSpec spec;
  spec.oid = {1, 3, 6, 1, 2, 1, 2, 2, 1, static_cast<std::uint32_t>(10 + index % 12),
              static_cast<std::uint32_t>(1 + index * 37)};
  for (std::size_t i = 0; i < spec.oid.size(); ++i) {
    if (i > 0) spec.oid_text += '.';
    spec.oid_text += std::to_string(spec.oid[i]);
  }
  return spec;
}

// The Response values cycle through the types an agent answers with.
inline BindingSpec ResponseBinding(int index) {
  BindingSpec spec = RequestBinding(index);
  switch (index % 9) {
    case 0: spec.tag = TagInteger; spec.text = std::to_string(1000 * index + 7); break;
    case 1: spec.tag = TagOctetString; spec.text = "GigabitEthernet0/" + std::to_string(index); break;
    case 2: spec.tag = TagObjectId; spec.text = "1.3.6.1.4.1.9.1.1208"; break;
    case 3: spec.tag = TagIpAddress; spec.text = "192.168.17." + std::to_string(index % 250); break;
    case 4: spec.tag = TagCounter32; spec.text = std::to_string(4000000000u - index); break;
    case 5: spec.tag = TagGauge32; spec.text = "1000000000"; break;
    case 6: spec.tag = TagTimeTicks; spec.text = std::to_string(123456789 + index); break;
    case 7: spec.tag = TagCounter64; spec.text = "18000000000000000000"; break;
    default: spec.tag = TagNoSuchObject; spec.text = ""; break;
  }
  return spec;
}

inline std::vector<BindingSpec> RequestBindings(int count) {
  std::vector<BindingSpec> specs;
  for (int i = 0; i < count; ++i) specs.push_back(RequestBinding(i));
  return specs;
}

inline std::vector<BindingSpec> ResponseBindings(int count) {
  std::vector<BindingSpec> specs;
  for (int i = 0; i < count; ++i) specs.push_back(ResponseBinding(i));
  return specs;
}

inline void FillOurs(TSNMPRec& message, int pdu_type, const std::vector<BindingSpec>& specs) {
  message.ResetMessage();
  message.Version = kSnmpVersion2c;
  message.Community = kCommunity;
  message.PDUType = pdu_type;
  for (const BindingSpec& spec : specs) message.AddBinding(spec.oid_text, spec.text, spec.tag);
}

// Our encoding of the message with request ID kRequestId.
inline std::string OurBytes(int pdu_type, const std::vector<BindingSpec>& specs) {
  TSNMPRec message;
  FillOurs(message, pdu_type, specs);
  message.ID = kRequestId;
  return message.EncodeMessage();
}

}  // namespace zelsnmp::bench

#endif  // ZELSNMP_BENCH_BENCH_VECTORS_H_
