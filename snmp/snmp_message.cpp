#include "snmp/snmp_message.h"

#include <cstring>
#include <iterator>
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

void AppendIpAddressContent(std::string& out, std::string_view text) {
  for (int i = 0; i < kIpAddressByteCount; ++i) {
    std::size_t dot = text.find('.');
    std::string_view part = text.substr(0, dot);
    text = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    out += static_cast<char>(ParseIntDefault(TrimSpaces(part), 0) & 0xFF);
  }
}

// Appends the content octets of the binding's value.
void AppendValueContent(std::string& out, const TSNMPMib& binding) {
  switch (binding.ValueTag) {
    case TagInteger:
      AppendBerInteger(out, ParseIntDefault(binding.ValueText, 0));
      return;
    case TagNull:
      return;
    case TagObjectId:
      AppendOidContent(out, binding.ValueText);
      return;
    case TagIpAddress:
      AppendIpAddressContent(out, binding.ValueText);
      return;
    case TagCounter32:
    case TagGauge32:
    case TagTimeTicks:
      AppendBerUnsigned64(out,
                          static_cast<std::uint32_t>(CounterValue(binding.ValueText, UINT32_MAX)));
      return;
    case TagCounter64:
      AppendBerUnsigned64(out, CounterValue(binding.ValueText, UINT64_MAX));
      return;
    default:
      out += binding.ValueText;
      return;
  }
}

// Tag and one-byte length.
constexpr std::size_t kShortHeaderSize = 2;

// Writes `length` into the one-byte placeholder at `at`.
void PatchLength(std::string& out, std::size_t at, std::size_t length) {
  if (length < 0x80) [[likely]] {
    out[at] = static_cast<char>(length);
  } else {
    out.replace(at, 1, EncodeBerLength(length));
  }
}

std::size_t ItemSize(std::size_t content_length) {
  return 1 + BerLengthSize(content_length) + content_length;
}

// The content octets of an INTEGER, held in place.
class IntegerContent {
 public:
  explicit IntegerContent(std::int32_t value)
      : size_(static_cast<std::size_t>(WriteBerInteger(bytes_, value) - bytes_)) {}
  std::string_view View() const { return {bytes_, size_}; }

 private:
  char bytes_[kMaxBerIntegerBytes] = {};
  std::size_t size_;
};

// Writers into a buffer sized in advance; each returns the end of what it wrote.
char* WriteHeader(char* out, int tag, std::size_t length) {
  *out++ = static_cast<char>(tag & 0xFF);
  return WriteBerLength(out, length);
}

char* WriteItem(char* out, int tag, std::string_view content) {
  out = WriteHeader(out, tag, content.size());
  if (!content.empty()) std::memcpy(out, content.data(), content.size());
  return out + content.size();
}

// The PDU's header items and the length of its content, worked out before anything is
// written.
struct PduLayout {
  PduLayout(std::int32_t id_value, std::int32_t error_status_value,
            std::int32_t error_index_value, std::string_view bindings)
      : id(id_value),
        error_status(error_status_value),
        error_index(error_index_value),
        length(ItemSize(id.View().size()) + ItemSize(error_status.View().size()) +
               ItemSize(error_index.View().size()) + ItemSize(bindings.size())) {}
  IntegerContent id;
  IntegerContent error_status;
  IntegerContent error_index;
  std::size_t length;
};

inline char* WritePdu(char* out, int pdu_type, const PduLayout& pdu, std::string_view bindings) {
  out = WriteHeader(out, pdu_type, pdu.length);
  out = WriteItem(out, TagInteger, pdu.id.View());
  out = WriteItem(out, TagInteger, pdu.error_status.View());
  out = WriteItem(out, TagInteger, pdu.error_index.View());
  return WriteItem(out, TagSequence, bindings);
}

// The value of a header item as ParseIntDefault reads the text ReadBerItem gives for it.
// An INTEGER's text is its own decimal, so it is read without the text.
std::int32_t HeaderItemValue(std::string_view bytes, std::size_t& position) {
  int tag = 0;
  std::string_view content;
  if (!ReadBerContent(bytes, position, tag, content)) return 0;
  if (tag == TagInteger || tag == TagBoolean || tag == TagEnumerated) {
    std::uint32_t value = 0;
    for (char c : content) value = (value << 8) | static_cast<unsigned char>(c);
    if (!content.empty() && content.size() < 4 && static_cast<unsigned char>(content[0]) >= 0x80) {
      value |= ~std::uint32_t{0} << (8 * content.size());
    }
    return static_cast<std::int32_t>(value);
  }
  if ((tag & kConstructedTagBit) != 0) return ParseIntDefault(content, 0);
  return ParseIntDefault(PrimitiveBerText(content, tag), 0);
}

std::int32_t NextRequestId(std::int32_t id) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(id) + 1u);
}

// Reads one item without rendering it: over a primitive item, into a constructed one.
void StepOver(std::string_view bytes, std::size_t& position, int& tag) {
  std::string_view content;
  ReadBerContent(bytes, position, tag, content);
}

// The text of the OID or value item of a binding, as ReadBerItem renders it, written into
// `text`, except that a constructed item (which no agent sends there) gives empty text: it is
// stepped into like any other, but a copy of its content per nesting level would make a
// datagram of nested SEQUENCEs cost memory in the square of its size.
void ReadBindingItemText(std::string_view bytes, std::size_t& position, int& tag,
                         std::string& text) {
  std::string_view content;
  if (!ReadBerContent(bytes, position, tag, content)) return;
  if ((tag & kConstructedTagBit) != 0) return;
  AppendPrimitiveBerText(text, content, tag);
}

// The number of binding SEQUENCEs laid end to end from `position` up to `end`: room to
// reserve for the bindings, found without reading them.
std::size_t CountBindings(std::string_view bytes, std::size_t position, std::size_t end) {
  std::size_t count = 0;
  int tag = 0;
  std::string_view content;
  while (position + 1 < end && ReadBerContent(bytes, position, tag, content)) {
    ++count;
    position = static_cast<std::size_t>(content.data() - bytes.data()) + content.size();
  }
  return count;
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
  binding_count_ = 0;
  encoded_bindings_current_ = false;
  encoded_bindings_.clear();
  if (bindings_.capacity() > kKeptBindingCount) {
    std::vector<TSNMPMib>().swap(bindings_);
  } else {
    for (TSNMPMib& binding : bindings_) {
      if (binding.OidText.capacity() > kKeptTextCapacity) std::string().swap(binding.OidText);
      if (binding.ValueText.capacity() > kKeptTextCapacity) std::string().swap(binding.ValueText);
    }
  }
  if (encoded_bindings_.capacity() > kKeptEncodingCapacity) std::string().swap(encoded_bindings_);
}

TSNMPMib& TSNMPRec::SpareBinding() {
  if (binding_count_ == bindings_.size()) bindings_.emplace_back();
  return bindings_[binding_count_];
}

void TSNMPRec::CommitBinding() {
  ++binding_count_;
  encoded_bindings_current_ = false;
}

void TSNMPRec::AddBinding(std::string_view oid_text, std::string_view value_text,
                          std::int32_t value_tag) {
  TSNMPMib& binding = SpareBinding();
  binding.OidText.assign(oid_text);
  binding.ValueText.assign(value_text);
  binding.ValueTag = value_tag;
  CommitBinding();
}

std::int32_t TSNMPRec::BindingCount() const {
  return static_cast<std::int32_t>(binding_count_);
}

std::string TSNMPRec::BindingValue(std::string_view oid_text) const {
  for (const TSNMPMib& binding : Bindings()) {
    if (binding.OidText == oid_text) return binding.ValueText;
  }
  return {};
}

const std::string& TSNMPRec::EncodedBindings() {
  if (encoded_bindings_current_) return encoded_bindings_;
  // Each item is written in place with a one-byte length placeholder, patched behind it.
  std::string& bindings = encoded_bindings_;
  bindings.clear();
  bindings.reserve(binding_count_ * 24);
  for (const TSNMPMib& binding : Bindings()) {
    const std::size_t start = bindings.size();
    constexpr char kBindingHeaders[] = {static_cast<char>(TagSequence), 0,
                                        static_cast<char>(TagObjectId), 0};
    bindings.append(kBindingHeaders, sizeof kBindingHeaders);
    AppendOidContent(bindings, binding.OidText);
    const std::size_t oid_length = bindings.size() - start - kShortHeaderSize * 2;
    const std::size_t value_length_at = bindings.size() + 1;
    const char value_header[] = {static_cast<char>(binding.ValueTag & 0xFF), 0};
    bindings.append(value_header, sizeof value_header);
    AppendValueContent(bindings, binding);
    const std::size_t value_length = bindings.size() - value_length_at - 1;
    // The one-byte lengths written in advance are patched, latest first; a length of 128 or
    // more takes its long form in place of the placeholder.
    PatchLength(bindings, value_length_at, value_length);
    PatchLength(bindings, start + kShortHeaderSize + 1, oid_length);
    PatchLength(bindings, start + 1, bindings.size() - start - kShortHeaderSize);
  }
  encoded_bindings_current_ = true;
  return encoded_bindings_;
}

std::string TSNMPRec::EncodeMessage() {
  // The bindings first; then the headers, whose lengths follow from the bindings', written
  // into one buffer of the exact size with the bindings copied once behind them.
  const std::string& bindings = EncodedBindings();
  const IntegerContent version(Version);
  const PduLayout pdu(ID, ErrorStatus, ErrorIndex, bindings);
  const std::size_t message_length =
      ItemSize(version.View().size()) + ItemSize(Community.size()) + ItemSize(pdu.length);

  std::string message(ItemSize(message_length), '\0');
  char* out = message.data();
  out = WriteHeader(out, TagSequence, message_length);
  out = WriteItem(out, TagInteger, version.View());
  out = WriteItem(out, TagOctetString, Community);
  WritePdu(out, PDUType, pdu, bindings);

  ID = NextRequestId(ID);
  return message;
}

std::string TSNMPRec::EncodePdu() {
  const std::string& bindings = EncodedBindings();
  const PduLayout pdu(ID, ErrorStatus, ErrorIndex, bindings);
  std::string bytes(ItemSize(pdu.length), '\0');
  WritePdu(bytes.data(), PDUType, pdu, bindings);
  ID = NextRequestId(ID);
  return bytes;
}

bool TSNMPRec::DecodeMessage(std::string_view bytes) {
  return Decode(bytes, false, true);
}

bool TSNMPRec::DecodeHeader(std::string_view bytes) {
  return Decode(bytes, false, false);
}

bool TSNMPRec::DecodePdu(std::string_view bytes) {
  return Decode(bytes, true, true);
}

bool TSNMPRec::DecodePduHeader(std::string_view bytes) {
  return Decode(bytes, true, false);
}

// One body for the message and the PDU alone, so that the walk of the bindings is the same code
// for both and costs a message no call more than before.
bool TSNMPRec::Decode(std::string_view bytes, bool pdu_only, bool with_bindings) {
  ResetMessage();
  std::size_t position = 0;
  // The binding walk goes on while the position is below walk_end - 1.
  std::size_t walk_end = 0;
  int tag = 0;
  if (pdu_only) {
    std::string_view content;
    if (!ReadBerContent(bytes, position, tag, content) || (tag & kConstructedTagBit) == 0) {
      return false;
    }
    // Nothing behind the PDU item is read; the walk ends where fewer than two of its bytes
    // are left.
    walk_end = position + content.size();
    bytes = bytes.substr(0, walk_end);
    position = 0;
  } else {
    if (bytes.size() < 2 || (static_cast<unsigned char>(bytes[0]) & kConstructedTagBit) == 0) {
      return false;
    }
    position = 1;
    unsigned first_length_byte = static_cast<unsigned char>(bytes[1]);
    std::size_t length_byte_count =
        first_length_byte >= 0x80 ? 1 + (first_length_byte & 0x7F) : 1;
    if (bytes.size() - 1 < length_byte_count) return false;
    std::size_t outer_length = DecodeBerLength(bytes, position);
    // A datagram cut short is refused rather than read into bindings with lost values.
    if (bytes.size() - position < outer_length) return false;
    walk_end = outer_length;

    Version = HeaderItemValue(bytes, position);
    if (Version == kSnmpVersion3) {
      // The rest of a version-3 message is security data and possibly ciphertext; none of it
      // maps onto these fields, and reading it as a v1/v2c PDU would invent bindings.
      ID = 0;
      return true;
    }
    Community = ReadBerItem(bytes, position, tag);
  }

  StepOver(bytes, position, tag);  // steps into the PDU
  PDUType = tag;
  if (PDUType == PduTrap) {
    for (int i = 0; i < kTrapHeaderItemCount; ++i) StepOver(bytes, position, tag);
    ID = 0;
  } else {
    ID = HeaderItemValue(bytes, position);
    ErrorStatus = HeaderItemValue(bytes, position);
    ErrorIndex = HeaderItemValue(bytes, position);
  }
  if (!with_bindings) return true;
  StepOver(bytes, position, tag);  // steps into the binding list
  bindings_.reserve(CountBindings(bytes, position, walk_end));

  // Every binding of a message that fits in a datagram starts before walk_end - 1. walk_end
  // is at most the end of `bytes`, so while the position is below walk_end - 1 two bytes or
  // more remain, each round consumes at least two and the walk ends. Texts are written into
  // kept storage where there is some.
  while (position + 1 < walk_end) {
    StepOver(bytes, position, tag);  // steps into the binding
    TSNMPMib& binding = SpareBinding();
    binding.OidText.clear();
    ReadBindingItemText(bytes, position, tag, binding.OidText);
    binding.ValueText.clear();
    ReadBindingItemText(bytes, position, tag, binding.ValueText);
    binding.ValueTag = tag;
    if (!binding.OidText.empty()) CommitBinding();
  }
  return true;
}

std::string_view ErrorStatusName(std::int32_t error_status) {
  static constexpr std::string_view kNames[] = {
      "noError",
      "tooBig",
      "noSuchName",
      "badValue",
      "readOnly",
      "genErr",
      "noAccess",
      "wrongType",
      "wrongLength",
      "wrongEncoding",
      "wrongValue",
      "noCreation",
      "inconsistentValue",
      "resourceUnavailable",
      "commitFailed",
      "undoFailed",
      "authorizationError",
      "notWritable",
      "inconsistentName",
  };
  if (error_status < 0 || error_status >= static_cast<std::int32_t>(std::size(kNames))) return {};
  return kNames[error_status];
}

}  // namespace zelsnmp
