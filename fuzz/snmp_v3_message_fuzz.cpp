// libFuzzer target: arbitrary bytes through the version-3 decode path as a receiver walks it:
// header and security parameters, the scoped PDU, the PDU, and the discovery Report. Checks
// the decoders' promises: what decodes encodes again to the same bytes, the authentication
// parameters lie inside the message where the decoder says, and a scoped PDU read with
// padding behind it gives what it gives without.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_require.h"
#include "snmp/snmp_message.h"
#include "snmp/usm_discovery.h"
#include "snmp/v3_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelsnmp;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  DiscoveryReport report;
  DecodeDiscoveryReport(bytes, 0, report);

  // The input as a scoped PDU alone too: a decrypted one reaches the decoder that way.
  ScopedPdu alone;
  if (DecodeScopedPdu(bytes, alone)) {
    ScopedPdu padded;
    Require(DecodeScopedPdu(bytes + "\x08\x08", padded));
    Require(padded.pdu == alone.pdu && padded.context_name == alone.context_name);
  }

  DecodedV3Message message;
  if (!DecodeV3Message(bytes, message)) return 0;
  const std::size_t auth_length = message.security.auth_parameters.size();
  Require(message.auth_parameters_offset <= bytes.size() &&
          auth_length <= bytes.size() - message.auth_parameters_offset);
  Require(bytes.compare(message.auth_parameters_offset, auth_length,
                        message.security.auth_parameters) == 0);
  const std::string zeroed = WithZeroedAuthParameters(bytes, message);
  Require(zeroed.size() == bytes.size());

  // Lengths may have been written longer than needed; the encoding of the decoded fields is
  // the canonical one, and it decodes to the same fields.
  EncodedV3Message again =
      EncodeV3Message(message.header, message.security, auth_length, message.data);
  Require(PlaceAuthenticationCode(again, message.security.auth_parameters));
  DecodedV3Message second;
  Require(DecodeV3Message(again.bytes, second));
  Require(second.data == message.data && second.security.user_name == message.security.user_name &&
          second.security.engine_id == message.security.engine_id &&
          second.header.flags == message.header.flags &&
          second.header.message_id == message.header.message_id);

  if ((message.header.flags & kV3FlagPriv) != 0) return 0;
  // The message decoder takes the scoped PDU unread; its parts may still be malformed.
  ScopedPdu scoped;
  if (!DecodeScopedPdu(message.data, scoped)) return 0;
  TSNMPRec pdu;
  if (pdu.DecodePdu(scoped.pdu)) {
    for (const TSNMPMib& binding : pdu.Bindings()) Require(!binding.OidText.empty());
    TSNMPRec header;
    Require(header.DecodePduHeader(scoped.pdu));
    Require(header.ID == pdu.ID && header.PDUType == pdu.PDUType);
  }
  return 0;
}
