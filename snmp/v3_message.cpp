#include "snmp/v3_message.h"

#include <cstring>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp {
namespace {

// Lengths of more length bytes than this do not occur in a datagram.
constexpr std::size_t kMaxLengthBytes = 4;
constexpr std::size_t kMaxNonNegativeIntegerBytes = 4;
constexpr std::size_t kFlagsBytes = 1;

void AppendItem(std::string& out, int tag, std::string_view content) {
  out += static_cast<char>(tag);
  AppendBerLength(out, content.size());
  out.append(content);
}

void AppendInteger(std::string& out, std::int32_t value) {
  out += static_cast<char>(TagInteger);
  char content[kMaxBerIntegerBytes];
  const std::size_t size = static_cast<std::size_t>(WriteBerInteger(content, value) - content);
  AppendBerLength(out, size);
  out.append(content, size);
}

// A strict reader of the items of one constructed item, from `position` up to `end`.
class ItemReader {
 public:
  ItemReader(std::string_view bytes, std::size_t position, std::size_t end)
      : bytes_(bytes), position_(position), end_(end) {}

  // The next item: its tag, its content's offset and length. Definite lengths of at most four
  // bytes only, and the content must end within this reader's range.
  bool NextItem(int& tag, std::size_t& offset, std::size_t& length) {
    if (end_ - position_ < 2) return false;
    tag = static_cast<unsigned char>(bytes_[position_]);
    std::size_t position = position_ + 1;
    const unsigned first = static_cast<unsigned char>(bytes_[position++]);
    std::size_t value = first;
    if (first >= 0x80) {
      const std::size_t count = first & 0x7F;
      if (count == 0 || count > kMaxLengthBytes || end_ - position < count) return false;
      value = 0;
      for (std::size_t i = 0; i < count; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes_[position++]);
      }
    }
    if (value > end_ - position) return false;
    offset = position;
    length = value;
    position_ = position + value;
    return true;
  }

  // The next item, which must have `tag`.
  bool Next(int tag, std::size_t& offset, std::size_t& length) {
    int found = 0;
    return NextItem(found, offset, length) && found == tag;
  }

  bool NextString(std::string& out) {
    std::size_t offset = 0;
    std::size_t length = 0;
    if (!Next(TagOctetString, offset, length)) return false;
    out.assign(bytes_.substr(offset, length));
    return true;
  }

  // An INTEGER from 0 to 2147483647.
  bool NextNonNegative(std::int32_t& out) {
    std::size_t offset = 0;
    std::size_t length = 0;
    if (!Next(TagInteger, offset, length)) return false;
    if (length == 0 || length > kMaxNonNegativeIntegerBytes) return false;
    if ((static_cast<unsigned char>(bytes_[offset]) & 0x80) != 0) return false;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < length; ++i) {
      value = (value << 8) | static_cast<unsigned char>(bytes_[offset + i]);
    }
    out = static_cast<std::int32_t>(value);
    return true;
  }

  bool AtEnd() const { return position_ == end_; }
  std::size_t position() const { return position_; }

 private:
  std::string_view bytes_;
  std::size_t position_;
  std::size_t end_;
};

bool DecodeGlobalData(ItemReader& message, std::string_view bytes, V3Header& header) {
  std::size_t offset = 0;
  std::size_t length = 0;
  if (!message.Next(TagSequence, offset, length)) return false;
  ItemReader global(bytes, offset, offset + length);
  std::string flags;
  if (!global.NextNonNegative(header.message_id) || !global.NextNonNegative(header.max_size) ||
      !global.NextString(flags) || !global.NextNonNegative(header.security_model) ||
      !global.AtEnd()) {
    return false;
  }
  if (header.max_size < kV3MinMessageSizeBytes || flags.size() != kFlagsBytes) return false;
  // The other five bits are reserved; they are kept as received, since the digest covers them.
  header.flags = static_cast<std::uint8_t>(flags[0]);
  // Privacy is only ever used together with authentication.
  if ((header.flags & kV3FlagPriv) != 0 && (header.flags & kV3FlagAuth) == 0) return false;
  return header.security_model == kUserSecurityModel;
}

bool DecodeSecurityParameters(ItemReader& message, std::string_view bytes,
                              DecodedV3Message& decoded) {
  std::size_t offset = 0;
  std::size_t length = 0;
  if (!message.Next(TagOctetString, offset, length)) return false;
  ItemReader wrapper(bytes, offset, offset + length);
  if (!wrapper.Next(TagSequence, offset, length) || !wrapper.AtEnd()) return false;
  ItemReader usm(bytes, offset, offset + length);
  UsmSecurityParameters& security = decoded.security;
  std::size_t auth_length = 0;
  if (!usm.NextString(security.engine_id) || !usm.NextNonNegative(security.engine_boots) ||
      !usm.NextNonNegative(security.engine_time) || !usm.NextString(security.user_name) ||
      !usm.Next(TagOctetString, decoded.auth_parameters_offset, auth_length) ||
      !usm.NextString(security.privacy_parameters) || !usm.AtEnd()) {
    return false;
  }
  security.auth_parameters.assign(bytes.substr(decoded.auth_parameters_offset, auth_length));
  return security.engine_id.size() <= kV3MaxEngineIdBytes &&
         security.user_name.size() <= kV3MaxUserNameBytes;
}

}  // namespace

std::uint8_t RequestFlags(SecurityLevel level) {
  switch (level) {
    case SecurityLevel::kNoAuthNoPriv:
      return kV3FlagReportable;
    case SecurityLevel::kAuthNoPriv:
      return kV3FlagReportable | kV3FlagAuth;
    case SecurityLevel::kAuthPriv:
      return kV3FlagReportable | kV3FlagAuth | kV3FlagPriv;
  }
  return kV3FlagReportable;
}

SecurityLevel SecurityLevelOf(std::uint8_t flags) {
  if ((flags & kV3FlagAuth) == 0) return SecurityLevel::kNoAuthNoPriv;
  return (flags & kV3FlagPriv) != 0 ? SecurityLevel::kAuthPriv : SecurityLevel::kAuthNoPriv;
}

std::string_view SecurityLevelName(SecurityLevel level) {
  switch (level) {
    case SecurityLevel::kNoAuthNoPriv:
      return "noAuthNoPriv";
    case SecurityLevel::kAuthNoPriv:
      return "authNoPriv";
    case SecurityLevel::kAuthPriv:
      return "authPriv";
  }
  return "";
}

AnswerFit FitOfAnswer(const V3Header& answer, std::int32_t message_id, SecurityLevel level) {
  if (answer.message_id != message_id) return AnswerFit::kNotAnAnswer;
  const SecurityLevel answer_level = SecurityLevelOf(answer.flags);
  if (answer_level == level) return AnswerFit::kSameLevel;
  return answer_level < level ? AnswerFit::kLowerLevel : AnswerFit::kNotAnAnswer;
}

std::string EncodeScopedPdu(const ScopedPdu& scoped) {
  std::string content;
  content.reserve(scoped.context_engine_id.size() + scoped.context_name.size() +
                  scoped.pdu.size() + 2 * (1 + kMaxBerLengthBytes));
  AppendItem(content, TagOctetString, scoped.context_engine_id);
  AppendItem(content, TagOctetString, scoped.context_name);
  content += scoped.pdu;
  std::string item;
  AppendItem(item, TagSequence, content);
  return item;
}

bool DecodeScopedPdu(std::string_view bytes, ScopedPdu& scoped) {
  ItemReader outer(bytes, 0, bytes.size());
  std::size_t offset = 0;
  std::size_t length = 0;
  if (!outer.Next(TagSequence, offset, length)) return false;
  const std::size_t end = offset + length;
  ItemReader parts(bytes, offset, end);
  if (!parts.NextString(scoped.context_engine_id) || !parts.NextString(scoped.context_name)) {
    return false;
  }
  // The PDU: one constructed item of any tag, filling the rest of the scoped PDU.
  const std::size_t pdu_start = parts.position();
  int tag = 0;
  if (!parts.NextItem(tag, offset, length) || (tag & kConstructedTagBit) == 0 || !parts.AtEnd()) {
    return false;
  }
  scoped.pdu.assign(bytes.substr(pdu_start, end - pdu_start));
  return true;
}

EncodedV3Message EncodeV3Message(const V3Header& header, const UsmSecurityParameters& security,
                                 std::size_t auth_parameters_length, std::string_view data) {
  std::string usm;
  AppendItem(usm, TagOctetString, security.engine_id);
  AppendInteger(usm, security.engine_boots);
  AppendInteger(usm, security.engine_time);
  AppendItem(usm, TagOctetString, security.user_name);
  usm += static_cast<char>(TagOctetString);
  AppendBerLength(usm, auth_parameters_length);
  const std::size_t auth_in_usm = usm.size();
  usm.append(auth_parameters_length, '\0');
  AppendItem(usm, TagOctetString, security.privacy_parameters);

  std::string global;
  AppendInteger(global, header.message_id);
  AppendInteger(global, header.max_size);
  AppendItem(global, TagOctetString, std::string_view(reinterpret_cast<const char*>(&header.flags),
                                                      kFlagsBytes));
  AppendInteger(global, header.security_model);

  // msgVersion, msgGlobalData and the two headers around the USM parameters, which come before
  // the authentication parameters.
  std::string content;
  AppendInteger(content, kSnmpVersion3);
  AppendItem(content, TagSequence, global);
  const std::size_t usm_item_size = 1 + BerLengthSize(usm.size()) + usm.size();
  content += static_cast<char>(TagOctetString);
  AppendBerLength(content, usm_item_size);
  content += static_cast<char>(TagSequence);
  AppendBerLength(content, usm.size());
  const std::size_t auth_in_content = content.size() + auth_in_usm;
  content += usm;
  if ((header.flags & kV3FlagPriv) != 0) {
    AppendItem(content, TagOctetString, data);
  } else {
    content.append(data);
  }

  EncodedV3Message message;
  message.bytes.reserve(1 + kMaxBerLengthBytes + content.size());
  message.bytes += static_cast<char>(TagSequence);
  AppendBerLength(message.bytes, content.size());
  message.auth_parameters_offset = message.bytes.size() + auth_in_content;
  message.auth_parameters_length = auth_parameters_length;
  message.bytes += content;
  return message;
}

bool PlaceAuthenticationCode(EncodedV3Message& message, std::string_view code) {
  if (code.size() != message.auth_parameters_length) return false;
  message.bytes.replace(message.auth_parameters_offset, code.size(), code);
  return true;
}

bool DecodeV3Message(std::string_view bytes, DecodedV3Message& message) {
  ItemReader whole(bytes, 0, bytes.size());
  std::size_t offset = 0;
  std::size_t length = 0;
  if (!whole.Next(TagSequence, offset, length) || !whole.AtEnd()) return false;
  ItemReader items(bytes, offset, offset + length);
  std::int32_t version = 0;
  if (!items.NextNonNegative(version) || version != kSnmpVersion3) return false;
  if (!DecodeGlobalData(items, bytes, message.header)) return false;
  if (!DecodeSecurityParameters(items, bytes, message)) return false;
  if ((message.header.flags & kV3FlagPriv) != 0) {
    if (!items.Next(TagOctetString, offset, length)) return false;
    message.data.assign(bytes.substr(offset, length));
  } else {
    const std::size_t start = items.position();
    if (!items.Next(TagSequence, offset, length)) return false;
    message.data.assign(bytes.substr(start, offset + length - start));
  }
  return items.AtEnd();
}

std::string WithZeroedAuthParameters(std::string_view bytes, const DecodedV3Message& message) {
  std::string copy(bytes);
  const std::size_t length = message.security.auth_parameters.size();
  if (message.auth_parameters_offset <= copy.size() &&
      length <= copy.size() - message.auth_parameters_offset) {
    std::memset(copy.data() + message.auth_parameters_offset, 0, length);
  }
  return copy;
}

}  // namespace zelsnmp
