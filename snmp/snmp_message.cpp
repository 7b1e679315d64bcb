#include "snmp/snmp_message.h"

#include <optional>

#include "snmp/ber.h"
#include "util/parse_int.h"
#include "util/text_end.h"

namespace zelsnmp {
namespace {

constexpr int kIpAddressByteCount = 4;
// A v1 Trap PDU carries enterprise, agent address, generic trap, specific trap and time stamp
// where other PDUs carry request ID, error status and error index.
constexpr int kTrapHeaderItemCount = 5;

// An unsigned decimal up to `limit`: leading spaces, an optional "+", digits only. Counter
// values above the signed 32-bit range come back from the codec in this form and must encode
// to the same number.
std::optional<std::uint64_t> ParseUnsignedDecimal(std::string_view text, std::uint64_t limit) {
  text = TextUpToZero(text);
  std::size_t pos = text.find_first_not_of(' ');
  if (pos == std::string_view::npos) return std::nullopt;
  if (text[pos] == '+') ++pos;
  if (pos == text.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c < '0' || c > '9') return std::nullopt;
    unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

// Any other text converts as a signed whole number taken as its 32-bit pattern ("-1" and
// "$FFFFFFFF" both give 4294967295); text that does not convert gives 0.
std::uint64_t CounterValue(std::string_view text, std::uint64_t limit) {
  if (auto value = ParseUnsignedDecimal(text, limit)) return *value;
  return static_cast<std::uint32_t>(ParseIntDefault(text, 0));
}

std::string_view TrimSpaces(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string IpAddressContent(std::string_view text) {
  std::string bytes;
  for (int i = 0; i < kIpAddressByteCount; ++i) {
    std::size_t dot = text.find('.');
    std::string_view part = text.substr(0, dot);
    text = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    bytes += static_cast<char>(ParseIntDefault(TrimSpaces(part), 0) & 0xFF);
  }
  return bytes;
}

std::string ValueContent(const TSNMPMib& binding) {
  switch (binding.ValueTag) {
    case TagInteger:
      return EncodeBerInteger(ParseIntDefault(binding.ValueText, 0));
    case TagNull:
      return {};
    case TagObjectId:
      return OidTextToBer(binding.ValueText);
    case TagIpAddress:
      return IpAddressContent(binding.ValueText);
    case TagCounter32:
    case TagGauge32:
    case TagTimeTicks:
      return EncodeBerUnsigned(
          static_cast<std::uint32_t>(CounterValue(binding.ValueText, UINT32_MAX)));
    case TagCounter64:
      return EncodeBerUnsigned64(CounterValue(binding.ValueText, UINT64_MAX));
    default:
      return binding.ValueText;
  }
}

std::int32_t NextRequestId(std::int32_t id) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(id) + 1u);
}

// Reads one item without rendering it: over a primitive item, into a constructed one.
void StepOver(std::string_view bytes, std::size_t& position, int& tag) {
  std::string_view content;
  ReadBerContent(bytes, position, tag, content);
}

// The text of the OID or value item of a binding, as ReadBerItem renders it, except that a
// constructed item (which no agent sends there) gives empty text: it is stepped into like any
// other, but a copy of its content per nesting level would make a datagram of nested
// SEQUENCEs cost memory in the square of its size.
std::string BindingItemText(std::string_view bytes, std::size_t& position, int& tag) {
  std::string_view content;
  if (!ReadBerContent(bytes, position, tag, content)) return {};
  if ((tag & kConstructedTagBit) != 0) return {};
  return PrimitiveBerText(content, tag);
}

}  // namespace

TSNMPRec::TSNMPRec() {
  ResetMessage();
  ID = 1;
}

void TSNMPRec::ResetMessage() {
  Version = 0;
  PDUType = 0;
  ErrorStatus = 0;
  ErrorIndex = 0;
  Community = kDefaultCommunity;
  // Released, not only emptied: a reply of many bindings keeps no memory after it.
  std::vector<TSNMPMib>().swap(bindings_);
}

void TSNMPRec::AddBinding(std::string_view oid_text, std::string_view value_text,
                          std::int32_t value_tag) {
  bindings_.push_back(TSNMPMib{std::string(oid_text), std::string(value_text), value_tag});
}

std::int32_t TSNMPRec::BindingCount() const {
  return static_cast<std::int32_t>(bindings_.size());
}

std::string TSNMPRec::BindingValue(std::string_view oid_text) const {
  for (const TSNMPMib& binding : bindings_) {
    if (binding.OidText == oid_text) return binding.ValueText;
  }
  return {};
}

std::string TSNMPRec::EncodeMessage() {
  std::string binding_items;
  for (const TSNMPMib& binding : bindings_) {
    std::string oid_item = BuildBerObject(OidTextToBer(binding.OidText), TagObjectId);
    std::string value_item = BuildBerObject(ValueContent(binding), binding.ValueTag);
    binding_items += BuildBerObject(oid_item + value_item, TagSequence);
  }

  std::string pdu_content = BuildBerObject(EncodeBerInteger(ID), TagInteger);
  pdu_content += BuildBerObject(EncodeBerInteger(ErrorStatus), TagInteger);
  pdu_content += BuildBerObject(EncodeBerInteger(ErrorIndex), TagInteger);
  pdu_content += BuildBerObject(binding_items, TagSequence);

  std::string message_content = BuildBerObject(EncodeBerInteger(Version), TagInteger);
  message_content += BuildBerObject(Community, TagOctetString);
  message_content += BuildBerObject(pdu_content, PDUType);

  ID = NextRequestId(ID);
  return BuildBerObject(message_content, TagSequence);
}

bool TSNMPRec::DecodeMessage(std::string_view bytes) {
  return Decode(bytes, true);
}

bool TSNMPRec::DecodeHeader(std::string_view bytes) {
  return Decode(bytes, false);
}

bool TSNMPRec::Decode(std::string_view bytes, bool with_bindings) {
  ResetMessage();
  if (bytes.size() < 2 || (static_cast<unsigned char>(bytes[0]) & kConstructedTagBit) == 0) {
    return false;
  }
  std::size_t position = 1;
  unsigned first_length_byte = static_cast<unsigned char>(bytes[1]);
  std::size_t length_byte_count = first_length_byte >= 0x80 ? 1 + (first_length_byte & 0x7F) : 1;
  if (bytes.size() - 1 < length_byte_count) return false;
  std::size_t outer_length = DecodeBerLength(bytes, position);
  // A datagram cut short is refused rather than read into bindings with lost values.
  if (bytes.size() - position < outer_length) return false;

  int tag = 0;
  Version = ParseIntDefault(ReadBerItem(bytes, position, tag), 0);
  if (Version == kSnmpVersion3) {
    // The rest of a version-3 message is security data and possibly ciphertext; none of it
    // maps onto these fields, and reading it as a v1/v2c PDU would invent bindings.
    ID = 0;
    return true;
  }
  Community = ReadBerItem(bytes, position, tag);
  StepOver(bytes, position, tag);  // steps into the PDU
  PDUType = tag;
  if (PDUType == PduTrap) {
    for (int i = 0; i < kTrapHeaderItemCount; ++i) StepOver(bytes, position, tag);
    ID = 0;
  } else {
    ID = ParseIntDefault(ReadBerItem(bytes, position, tag), 0);
    ErrorStatus = ParseIntDefault(ReadBerItem(bytes, position, tag), 0);
    ErrorIndex = ParseIntDefault(ReadBerItem(bytes, position, tag), 0);
  }
  if (!with_bindings) return true;
  StepOver(bytes, position, tag);  // steps into the binding list

  // Every binding of a message that fits in a datagram starts before outer_length - 1, and
  // while the position is there at least three bytes remain, so each round consumes bytes and
  // the walk ends.
  while (position + 1 < outer_length) {
    StepOver(bytes, position, tag);  // steps into the binding
    std::string oid_text = BindingItemText(bytes, position, tag);
    std::string value_text = BindingItemText(bytes, position, tag);
    if (!oid_text.empty()) AddBinding(oid_text, value_text, tag);
  }
  return true;
}

}  // namespace zelsnmp
