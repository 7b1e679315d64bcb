// The codec's share of one version-3 poll of 20 bindings at authPriv: building the request
// around an already encrypted scoped PDU with the digest written in place, and taking the
// answer apart up to its bindings. The cryptography itself is not in these numbers.

#include <string>

#include <benchmark/benchmark.h>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"
#include "snmp/v3_message.h"

namespace zelsnmp {
namespace {

constexpr int kBindingCount = 20;
constexpr std::size_t kDigestBytes = 12;
const std::string kEngineId = "\x80\x00\x1f\x88\x80" "0123456789ab";

TSNMPRec MakeMessage(int pdu_type) {
  TSNMPRec message;
  message.PDUType = pdu_type;
  for (int i = 1; i <= kBindingCount; ++i) {
    const std::string oid = "1.3.6.1.2.1.2.2.1.10." + std::to_string(i);
    if (pdu_type == PduResponse) {
      message.AddBinding(oid, std::to_string(4000000000u - i), TagCounter32);
    } else {
      message.AddBinding(oid, "", TagNull);
    }
  }
  return message;
}

const UsmSecurityParameters kSecurity{kEngineId, 3, 86400, "operator", "", "saltsalt"};

void BM_EncodeV3Request(benchmark::State& state) {
  TSNMPRec request = MakeMessage(PduGetRequest);
  const V3Header header{1, kV3MaxMessageSizeBytes, RequestFlags(SecurityLevel::kAuthPriv),
                        kUserSecurityModel};
  const std::string digest(kDigestBytes, '\x5C');
  for (auto _ : state) {
    // Encryption keeps the length up to a block; the plaintext stands in for the ciphertext.
    const std::string scoped = EncodeScopedPdu({kEngineId, "", request.EncodePdu()});
    EncodedV3Message message = EncodeV3Message(header, kSecurity, kDigestBytes, scoped);
    PlaceAuthenticationCode(message, digest);
    benchmark::DoNotOptimize(message.bytes);
  }
}
BENCHMARK(BM_EncodeV3Request);

void BM_DecodeV3Response(benchmark::State& state) {
  const V3Header header{1, kV3MaxMessageSizeBytes, kV3FlagAuth, kUserSecurityModel};
  const std::string bytes =
      EncodeV3Message(header, kSecurity, kDigestBytes,
                      EncodeScopedPdu({kEngineId, "", MakeMessage(PduResponse).EncodePdu()}))
          .bytes;
  DecodedV3Message message;
  ScopedPdu scoped;
  TSNMPRec reply;
  for (auto _ : state) {
    DecodeV3Message(bytes, message);
    benchmark::DoNotOptimize(WithZeroedAuthParameters(bytes, message));
    DecodeScopedPdu(message.data, scoped);
    benchmark::DoNotOptimize(reply.DecodePdu(scoped.pdu));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeV3Response);

}  // namespace
}  // namespace zelsnmp
