// Test support: datagrams a hostile sender on the network makes, built with the system's own
// BER codec and message. Shared by the exchange tests, the hostile-agent suite and the fuzz
// seeds.

#ifndef ZELSNMP_TESTING_HOSTILE_DATAGRAMS_H_
#define ZELSNMP_TESTING_HOSTILE_DATAGRAMS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp::testing_support {

// A v2c message of PDU type `pdu_type` carrying `id` and one binding `oid` = INTEGER `value`.
inline std::string IntegerMessage(std::int32_t pdu_type, std::int32_t id, const std::string& oid,
                                  std::int32_t value, const std::string& community = "public") {
  TSNMPRec message;
  message.Version = kSnmpVersion2c;
  message.Community = community;
  message.PDUType = pdu_type;
  message.ID = id;
  message.AddBinding(oid, std::to_string(value), TagInteger);
  return message.EncodeMessage();
}

// A v2c Response carrying `id` and one binding `oid` = INTEGER `value`.
inline std::string IntegerResponse(std::int32_t id, const std::string& oid, std::int32_t value,
                                   const std::string& community = "public") {
  return IntegerMessage(PduResponse, id, oid, value, community);
}

// A v2c Response carrying `id` whose binding list is SEQUENCEs nested as deep as `size` bytes
// allow (about one level per four bytes) around one INTEGER; the whole datagram is at most
// `size` bytes.
inline std::string NestedSequences(std::size_t size, std::int32_t id) {
  auto wrap = [id](const std::string& list) {
    std::string pdu = BuildBerObject(EncodeBerInteger(id), TagInteger) +
                      BuildBerObject(EncodeBerInteger(0), TagInteger) +
                      BuildBerObject(EncodeBerInteger(0), TagInteger) + list;
    return BuildBerObject(BuildBerObject(EncodeBerInteger(kSnmpVersion2c), TagInteger) +
                              BuildBerObject("public", TagOctetString) +
                              BuildBerObject(pdu, PduResponse),
                          TagSequence);
  };
  const std::string value = BuildBerObject(EncodeBerInteger(42), TagInteger);
  // The SEQUENCE headers from the innermost out, each sized for what it wraps.
  std::vector<std::string> headers;
  std::size_t length = value.size();
  constexpr std::size_t kHeaderRoom = 48;  // message, PDU and list headers around the nest
  for (;;) {
    std::string header(1, static_cast<char>(TagSequence));
    header += EncodeBerLength(length);
    if (length + header.size() + kHeaderRoom > size) break;
    length += header.size();
    headers.push_back(std::move(header));
  }
  for (;;) {
    std::string nest;
    nest.reserve(length);
    for (auto header = headers.rbegin(); header != headers.rend(); ++header) nest += *header;
    nest += value;
    std::string datagram = wrap(BuildBerObject(nest, TagSequence));
    if (datagram.size() <= size || headers.empty()) return datagram;
    length -= headers.back().size();
    headers.pop_back();
  }
}

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_HOSTILE_DATAGRAMS_H_
