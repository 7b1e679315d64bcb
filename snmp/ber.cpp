#include "snmp/ber.h"

#include "util/parse_int.h"

namespace zelsnmp {
namespace {

constexpr unsigned kLongFormBit = 0x80;
constexpr unsigned kContinuationBit = 0x80;
constexpr std::uint32_t kFirstArcFactor = 40;
constexpr std::uint32_t kFirstSubIdOfArcTwo = 80;

unsigned ByteAt(std::string_view buffer, std::size_t position) {
  return static_cast<unsigned char>(buffer[position]);
}

// Big-endian bytes of `value` without leading zero bytes, at least one; with a 0x00 in front
// when the first byte has bit 7 set, so that the content reads back as a non-negative number.
std::string UnsignedContent(std::uint64_t value) {
  std::string bytes;
  do {
    bytes.insert(bytes.begin(), static_cast<char>(value & 0xFF));
    value >>= 8;
  } while (value != 0);
  if (ByteAt(bytes, 0) >= 0x80) bytes.insert(bytes.begin(), '\0');
  return bytes;
}

// Reads the length octets at `position`; false when they run past the end of the buffer (the
// position then stands at the end).
bool ReadLength(std::string_view buffer, std::size_t& position, std::uint32_t& length) {
  length = 0;
  if (position >= buffer.size()) return false;
  unsigned first = ByteAt(buffer, position++);
  if (first < kLongFormBit) {
    length = first;
    return true;
  }
  std::size_t count = first & 0x7F;
  for (std::size_t i = 0; i < count; ++i) {
    if (position >= buffer.size()) return false;
    length = (length << 8) | ByteAt(buffer, position++);
  }
  return true;
}

std::uint64_t ContentAsUnsigned(std::string_view content) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < content.size(); ++i) value = (value << 8) | ByteAt(content, i);
  return value;
}

std::int32_t ContentAsSigned32(std::string_view content) {
  std::uint32_t value = static_cast<std::uint32_t>(ContentAsUnsigned(content));
  // Sign-extend a content shorter than four bytes; with four or more the low 32 bits count.
  if (!content.empty() && content.size() < 4 && ByteAt(content, 0) >= 0x80) {
    value |= ~std::uint32_t{0} << (8 * content.size());
  }
  return static_cast<std::int32_t>(value);
}

std::string DottedBytes(std::string_view content) {
  std::string text;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (i > 0) text += '.';
    text += std::to_string(ByteAt(content, i));
  }
  return text;
}

std::string ArcText(std::uint32_t arc) {
  return std::to_string(static_cast<std::int32_t>(arc));
}

// One item at `position` with the rules of ReadBerItem; false (content empty) when fewer than
// two bytes are left or the item runs past the end of the buffer.
bool ReadItem(std::string_view buffer, std::size_t& position, int& value_tag,
              std::string_view& content) {
  value_tag = TagNull;
  if (position >= buffer.size() || buffer.size() - position < 2) return false;

  const int tag = static_cast<int>(ByteAt(buffer, position++));
  value_tag = tag;
  std::uint32_t length = 0;
  if (!ReadLength(buffer, position, length)) return false;
  if (length > buffer.size() - position) return false;
  content = buffer.substr(position, length);
  // A constructed item is stepped into: the position stays on its first content byte.
  if ((tag & kConstructedTagBit) == 0) position += length;
  return true;
}

}  // namespace

std::string EncodeSubId(std::uint32_t value) {
  std::string bytes(1, static_cast<char>(value & 0x7F));
  value >>= 7;
  while (value != 0) {
    bytes.insert(bytes.begin(), static_cast<char>((value & 0x7F) | kContinuationBit));
    value >>= 7;
  }
  return bytes;
}

std::uint32_t DecodeSubId(std::string_view buffer, std::size_t& position) {
  std::uint32_t value = 0;
  while (position < buffer.size()) {
    unsigned byte = ByteAt(buffer, position++);
    value = (value << 7) | (byte & 0x7F);
    if ((byte & kContinuationBit) == 0) break;
  }
  return value;
}

std::string EncodeBerLength(std::size_t length) {
  if (length < kLongFormBit) return std::string(1, static_cast<char>(length));
  std::string bytes;
  while (length != 0) {
    bytes.insert(bytes.begin(), static_cast<char>(length & 0xFF));
    length >>= 8;
  }
  bytes.insert(bytes.begin(), static_cast<char>(kLongFormBit + bytes.size()));
  return bytes;
}

std::uint32_t DecodeBerLength(std::string_view buffer, std::size_t& position) {
  std::uint32_t length = 0;
  ReadLength(buffer, position, length);
  return length;
}

std::string EncodeBerInteger(std::int32_t value) {
  if (value >= 0) return UnsignedContent(static_cast<std::uint64_t>(value));
  std::uint32_t pattern = static_cast<std::uint32_t>(value);
  std::string bytes(4, '\0');
  for (int i = 3; i >= 0; --i) {
    bytes[i] = static_cast<char>(pattern & 0xFF);
    pattern >>= 8;
  }
  return bytes;
}

std::string EncodeBerUnsigned(std::uint32_t value) {
  return UnsignedContent(value);
}

std::string EncodeBerUnsigned64(std::uint64_t value) {
  return UnsignedContent(value);
}

std::string BuildBerObject(std::string_view content, int tag) {
  std::string object(1, static_cast<char>(tag & 0xFF));
  object += EncodeBerLength(content.size());
  object += content;
  return object;
}

std::int32_t TakeOidArc(std::string& text) {
  std::size_t dot = text.find('.');
  std::string arc_text;
  if (dot == std::string::npos) {
    arc_text.swap(text);
  } else {
    arc_text = text.substr(0, dot);
    text.erase(0, dot + 1);
  }
  return ParseIntDefault(arc_text, 0);
}

std::string OidTextToBer(std::string_view text) {
  std::string rest(text);
  // Arcs are taken as their 32-bit patterns so that out-of-range sums wrap instead of
  // overflowing.
  std::uint32_t first = static_cast<std::uint32_t>(TakeOidArc(rest));
  std::uint32_t second = static_cast<std::uint32_t>(TakeOidArc(rest));
  std::string bytes = EncodeSubId(first * kFirstArcFactor + second);
  while (!rest.empty()) bytes += EncodeSubId(static_cast<std::uint32_t>(TakeOidArc(rest)));
  return bytes;
}

std::string BerToOidText(std::string_view content) {
  std::string text;
  std::size_t position = 0;
  bool first = true;
  while (position < content.size()) {
    std::size_t start = position;
    std::uint32_t value = DecodeSubId(content, position);
    if (first) {
      first = false;
      bool one_byte = position - start == 1;
      if (one_byte || value < kFirstSubIdOfArcTwo) {
        text = ArcText(value / kFirstArcFactor);
        value %= kFirstArcFactor;
      } else {
        text = ArcText(2);
        value -= kFirstSubIdOfArcTwo;
      }
    }
    text += '.';
    text += ArcText(value);
  }
  return text;
}

bool ReadBerContent(std::string_view buffer, std::size_t& position, int& value_tag,
                    std::string_view& content) {
  content = {};
  return ReadItem(buffer, position, value_tag, content);
}

std::string PrimitiveBerText(std::string_view content, int tag) {
  switch (tag) {
    case TagBoolean:
    case TagInteger:
    case TagEnumerated:
      return std::to_string(ContentAsSigned32(content));
    case TagCounter32:
    case TagGauge32:
    case TagTimeTicks:
      return std::to_string(static_cast<std::uint32_t>(ContentAsUnsigned(content)));
    case TagCounter64:
      return std::to_string(ContentAsUnsigned(content));
    case TagNull:
      return {};
    case TagObjectId:
      return BerToOidText(content);
    case TagIpAddress:
      return DottedBytes(content);
    default:
      return std::string(content);
  }
}

std::string ReadBerItem(std::string_view buffer, std::size_t& position, int& value_tag) {
  std::string_view content;
  if (!ReadItem(buffer, position, value_tag, content)) return {};
  if ((value_tag & kConstructedTagBit) != 0) return std::string(content);
  return PrimitiveBerText(content, value_tag);
}

}  // namespace zelsnmp
