#include "snmp/ber.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>

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

// Appends the big-endian bytes of `value` without leading zero bytes, at least one; with a
// 0x00 in front when the first byte has bit 7 set, so that the content reads back as a
// non-negative number.
void AppendUnsignedContent(std::string& out, std::uint64_t value) {
  int count = 1;
  while (count < 8 && (value >> (8 * count)) != 0) ++count;
  if (((value >> (8 * (count - 1))) & 0x80) != 0) out += '\0';
  for (int i = count - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

constexpr std::size_t kMaxSubIdBytes = 5;
// "-2147483648"
constexpr std::size_t kMaxArcChars = 11;

// Writes the base-128 digits of `value` at `out` and returns the end of what it wrote.
char* WriteSubId(char* out, std::uint32_t value) {
  if (value < kContinuationBit) {
    *out = static_cast<char>(value);
    return out + 1;
  }
  int count = 2;
  while (count < 5 && (value >> (7 * count)) != 0) ++count;
  for (int shift = 7 * (count - 1); shift > 0; shift -= 7) {
    *out++ = static_cast<char>(((value >> shift) & 0x7F) | kContinuationBit);
  }
  *out++ = static_cast<char>(value & 0x7F);
  return out;
}

// Decimal digits of `value` appended to `out` (a leading "-" for negative values).
void AppendDecimal(std::string& out, std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void AppendDecimalUnsigned(std::string& out, std::uint64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// An OID arc as ParseIntDefault reads it with default 0; arcs of one to nine decimal digits,
// which every OID written out in the usual way has, are read here directly.
std::uint32_t ArcValue(std::string_view arc_text) {
  if (!arc_text.empty() && arc_text.size() <= 9) {
    std::uint32_t value = 0;
    for (char c : arc_text) {
      if (c < '0' || c > '9') return static_cast<std::uint32_t>(ParseIntDefault(arc_text, 0));
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
  }
  return static_cast<std::uint32_t>(ParseIntDefault(arc_text, 0));
}

// The leading arc of `text` as TakeOidArc takes it, without copying the text.
std::uint32_t TakeArc(std::string_view& text) {
  const std::size_t dot = text.find('.');
  const std::string_view arc_text = text.substr(0, dot);
  text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  return ArcValue(arc_text);
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

void AppendDottedBytes(std::string& out, std::string_view content) {
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (i > 0) out += '.';
    AppendDecimal(out, ByteAt(content, i));
  }
}

// An Opaque value that wraps an IEEE 754 number carries a tag of its own, two bytes long, and
// a length: 0x9F 0x78 0x04 and four bytes for a float, 0x9F 0x79 0x08 and eight for a double.
constexpr unsigned char kOpaqueFloatHeader[] = {0x9F, 0x78, 0x04};
constexpr unsigned char kOpaqueDoubleHeader[] = {0x9F, 0x79, 0x08};
constexpr std::size_t kOpaqueHeaderBytes = 3;
constexpr std::size_t kFloatBytes = 4;
constexpr std::size_t kDoubleBytes = 8;
// From here on, fixed notation would print digits the number does not hold.
constexpr double kFixedNotationLimit = 1e15;
// The longest shortest text in fixed notation: a tiny double, "-0." with 323 zeros and 17
// significant digits.
constexpr std::size_t kMaxFloatTextChars = 400;

bool HasHeader(std::string_view content, const unsigned char (&header)[kOpaqueHeaderBytes],
               std::size_t value_bytes) {
  if (content.size() != kOpaqueHeaderBytes + value_bytes) return false;
  for (std::size_t i = 0; i < kOpaqueHeaderBytes; ++i) {
    if (ByteAt(content, i) != header[i]) return false;
  }
  return true;
}

// The shortest decimal text that reads back to the same `value` of its own width, with "." as
// the point whatever the locale: fixed notation below 1e15 in magnitude, scientific notation
// ("1e+15") from there on. NaN and the infinities give "nan", "inf" and "-inf", which no number
// conversion of the task accepts, so that they never stand for a value.
template <typename Number>
void AppendFloatText(std::string& out, Number value) {
  if (std::isnan(value)) {
    out += "nan";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
    return;
  }
  const std::chars_format format = std::fabs(static_cast<double>(value)) < kFixedNotationLimit
                                       ? std::chars_format::fixed
                                       : std::chars_format::scientific;
  char text[kMaxFloatTextChars];
  const auto result = std::to_chars(text, text + sizeof text, value, format);
  out.append(text, result.ptr);
}

// Opaque content: a wrapped float or double as its decimal text, anything else as it is.
void AppendOpaqueText(std::string& out, std::string_view content) {
  const std::string_view bytes = content.substr(std::min(content.size(), kOpaqueHeaderBytes));
  if (HasHeader(content, kOpaqueFloatHeader, kFloatBytes)) {
    const auto bits = static_cast<std::uint32_t>(ContentAsUnsigned(bytes));
    AppendFloatText(out, std::bit_cast<float>(bits));
  } else if (HasHeader(content, kOpaqueDoubleHeader, kDoubleBytes)) {
    AppendFloatText(out, std::bit_cast<double>(ContentAsUnsigned(bytes)));
  } else {
    out += content;
  }
}

}  // namespace

void AppendSubId(std::string& out, std::uint32_t value) {
  char bytes[kMaxSubIdBytes];
  out.append(bytes, static_cast<std::size_t>(WriteSubId(bytes, value) - bytes));
}

std::string EncodeSubId(std::uint32_t value) {
  std::string bytes;
  AppendSubId(bytes, value);
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

std::size_t BerLengthSize(std::size_t length) {
  std::size_t size = 1;
  if (length >= kLongFormBit) {
    while (length != 0) {
      ++size;
      length >>= 8;
    }
  }
  return size;
}

void AppendBerLength(std::string& out, std::size_t length) {
  char bytes[kMaxBerLengthBytes];
  out.append(bytes, static_cast<std::size_t>(WriteBerLength(bytes, length) - bytes));
}

std::string EncodeBerLength(std::size_t length) {
  std::string bytes;
  AppendBerLength(bytes, length);
  return bytes;
}

std::uint32_t DecodeBerLength(std::string_view buffer, std::size_t& position) {
  std::uint32_t length = 0;
  ReadBerLength(buffer, position, length);
  return length;
}

void AppendBerInteger(std::string& out, std::int32_t value) {
  char bytes[kMaxBerIntegerBytes];
  out.append(bytes, static_cast<std::size_t>(WriteBerInteger(bytes, value) - bytes));
}

void AppendBerUnsigned64(std::string& out, std::uint64_t value) {
  AppendUnsignedContent(out, value);
}

std::string EncodeBerInteger(std::int32_t value) {
  std::string bytes;
  AppendBerInteger(bytes, value);
  return bytes;
}

std::string EncodeBerUnsigned(std::uint32_t value) {
  std::string bytes;
  AppendUnsignedContent(bytes, value);
  return bytes;
}

std::string EncodeBerUnsigned64(std::uint64_t value) {
  std::string bytes;
  AppendUnsignedContent(bytes, value);
  return bytes;
}

std::string BuildBerObject(std::string_view content, int tag) {
  std::string object;
  object.reserve(1 + BerLengthSize(content.size()) + content.size());
  object += static_cast<char>(tag & 0xFF);
  AppendBerLength(object, content.size());
  object += content;
  return object;
}

std::int32_t TakeOidArc(std::string& text) {
  std::string_view rest = text;
  const std::int32_t arc = static_cast<std::int32_t>(TakeArc(rest));
  text.erase(0, text.size() - rest.size());
  return arc;
}

namespace {

// The arc at `p` up to its dot, as ArcValue reads it; `p` ends behind the dot.
std::uint32_t NextArc(const char*& p, const char* end) {
  const char* const start = p;
  std::uint32_t value = 0;
  for (; p != end; ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit > 9) break;
    value = value * 10 + digit;
  }
  const auto length = static_cast<std::size_t>(p - start);
  if ((p == end || *p == '.') && length > 0 && length <= 9) {
    if (p != end) ++p;
    return value;
  }
  // Anything else (more digits, signs, blanks, letters) reads as ParseIntDefault reads it.
  while (p != end && *p != '.') ++p;
  const std::string_view arc_text(start, static_cast<std::size_t>(p - start));
  if (p != end) ++p;
  return ArcValue(arc_text);
}

// Writes the content octets of the OID text at `out`, which has room for kMaxSubIdBytes per
// character and two more; returns the end of what it wrote. Arcs are taken as their 32-bit
// patterns so that out-of-range sums wrap instead of overflowing.
char* WriteOidContent(char* out, std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const std::uint32_t first = NextArc(p, end);
  const std::uint32_t second = NextArc(p, end);
  out = WriteSubId(out, first * kFirstArcFactor + second);
  while (p != end) out = WriteSubId(out, NextArc(p, end));
  return out;
}

constexpr std::size_t kOidContentRoomOnStack = 64;

}  // namespace

void AppendOidContent(std::string& out, std::string_view text) {
  // Every arc gives at most five bytes, and there is at most one arc more than there are
  // characters. Usual OIDs are written on the stack and appended in one piece.
  if (text.size() <= kOidContentRoomOnStack) {
    char bytes[kMaxSubIdBytes * (kOidContentRoomOnStack + 2)];
    out.append(bytes, static_cast<std::size_t>(WriteOidContent(bytes, text) - bytes));
    return;
  }
  const std::size_t base = out.size();
  out.resize(base + kMaxSubIdBytes * (text.size() + 2));
  char* const begin = out.data() + base;
  out.resize(base + static_cast<std::size_t>(WriteOidContent(begin, text) - begin));
}

std::string OidTextToBer(std::string_view text) {
  std::string bytes;
  AppendOidContent(bytes, text);
  return bytes;
}

namespace {

// Writes the signed decimal of a 32-bit arc at `out`; returns the end.
char* WriteArc(char* out, std::uint32_t arc) {
  if (arc < 10) {
    *out = static_cast<char>('0' + arc);
    return out + 1;
  }
  return std::to_chars(out, out + kMaxArcChars, static_cast<std::int32_t>(arc)).ptr;
}

// Writes the dotted text of OID content at `out`, which has room for
// kMaxArcChars + 1 characters per content byte and one arc more.
char* WriteOidText(char* out, std::string_view content) {
  std::size_t position = 0;
  bool first = true;
  while (position < content.size()) {
    const std::size_t start = position;
    const unsigned byte = ByteAt(content, position);
    std::uint32_t value = byte;
    if (byte < kContinuationBit) {
      ++position;
    } else {
      value = DecodeSubId(content, position);
    }
    if (first) {
      first = false;
      const bool one_byte = position - start == 1;
      if (one_byte || value < kFirstSubIdOfArcTwo) {
        out = WriteArc(out, value / kFirstArcFactor);
        value %= kFirstArcFactor;
      } else {
        out = WriteArc(out, 2);
        value -= kFirstSubIdOfArcTwo;
      }
    }
    *out++ = '.';
    out = WriteArc(out, value);
  }
  return out;
}

constexpr std::size_t kOidTextRoomOnStack = 64;

}  // namespace

void AppendOidText(std::string& out, std::string_view content) {
  const std::size_t room = (kMaxArcChars + 1) * (content.size() + 1);
  if (content.size() <= kOidTextRoomOnStack) {
    char text[(kMaxArcChars + 1) * (kOidTextRoomOnStack + 1)];
    out.append(text, static_cast<std::size_t>(WriteOidText(text, content) - text));
    return;
  }
  const std::size_t base = out.size();
  out.resize(base + room);
  char* const begin = out.data() + base;
  out.resize(base + static_cast<std::size_t>(WriteOidText(begin, content) - begin));
}

std::string BerToOidText(std::string_view content) {
  std::string text;
  AppendOidText(text, content);
  return text;
}

void AppendPrimitiveBerText(std::string& out, std::string_view content, int tag) {
  switch (tag) {
    case TagBoolean:
    case TagInteger:
    case TagEnumerated:
      AppendDecimal(out, ContentAsSigned32(content));
      return;
    case TagCounter32:
    case TagGauge32:
    case TagTimeTicks:
      AppendDecimalUnsigned(out, static_cast<std::uint32_t>(ContentAsUnsigned(content)));
      return;
    case TagCounter64:
      AppendDecimalUnsigned(out, ContentAsUnsigned(content));
      return;
    case TagNull:
      return;
    case TagObjectId:
      AppendOidText(out, content);
      return;
    case TagIpAddress:
      AppendDottedBytes(out, content);
      return;
    case TagOpaque:
      AppendOpaqueText(out, content);
      return;
    default:
      out += content;
      return;
  }
}

std::string PrimitiveBerText(std::string_view content, int tag) {
  std::string text;
  AppendPrimitiveBerText(text, content, tag);
  return text;
}

std::string ReadBerItem(std::string_view buffer, std::size_t& position, int& value_tag) {
  std::string_view content;
  if (!ReadBerContent(buffer, position, value_tag, content)) return {};
  if ((value_tag & kConstructedTagBit) != 0) return std::string(content);
  return PrimitiveBerText(content, value_tag);
}

}  // namespace zelsnmp
