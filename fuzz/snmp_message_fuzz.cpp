// libFuzzer target: arbitrary bytes through DecodeMessage and a full ReadBerItem walk, with the
// codec's promises checked (position never backwards, never past the end, every walk ends), and
// one message decoded into again and again giving what a fresh one gives (the storage it keeps
// between uses never shows).

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_require.h"
#include "snmp/ber.h"
#include "snmp/snmp_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelsnmp;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  static TSNMPRec* reused = new TSNMPRec();
  TSNMPRec message;
  const bool decoded = message.DecodeMessage(bytes);
  Require(reused->DecodeMessage(bytes) == decoded);
  Require(reused->BindingCount() == message.BindingCount());
  for (int i = 0; i < message.BindingCount(); ++i) {
    const TSNMPMib& mine = message.Bindings()[i];
    const TSNMPMib& kept = reused->Bindings()[i];
    Require(kept.OidText == mine.OidText && kept.ValueText == mine.ValueText &&
            kept.ValueTag == mine.ValueTag);
  }
  if (decoded) {
    for (const TSNMPMib& binding : message.Bindings()) Require(!binding.OidText.empty());
    // Whatever was decoded encodes again and decodes to the same number of bindings.
    std::string again = message.EncodeMessage();
    Require(reused->EncodeMessage() == again);
    TSNMPRec copy;
    Require(copy.DecodeMessage(again));
  } else {
    Require(message.BindingCount() == 0 && message.Community == kDefaultCommunity);
  }

  std::size_t position = 0;
  while (position + 2 <= bytes.size()) {
    std::size_t before = position;
    int tag = 0;
    ReadBerItem(bytes, position, tag);
    Require(position >= before + 2 && position <= bytes.size());
    Require(tag >= 0 && tag <= 255);
  }
  std::size_t oid_position = 0;
  DecodeSubId(bytes, oid_position);
  Require(oid_position <= bytes.size());
  BerToOidText(bytes);
  return 0;
}
