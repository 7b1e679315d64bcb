// BER codec: the stateless routines that turn SNMP values into ASN.1 Basic Encoding Rules
// bytes and back.
//
// The SNMP message builds every element it sends with the encoders here and walks every
// message it receives with one decoder, ReadBerItem, which reads one tag-length-value item,
// advances the position and renders the item's value as text. Values travel through the rest
// of the system as that text, so the rendering rules below are a contract with the poll cycle.
//
// Only single-byte tags and definite lengths are handled; there is no schema, the caller knows
// which item comes next. Byte strings are std::string / std::string_view, one char per byte,
// zero bytes included. A position is the 0-based offset of the next unread byte.
//
// Promises: no routine throws or reports a status; every routine gives a defined result on
// any input. Decoders never read outside the buffer they are given and never move a position
// backwards. The routines keep no state and may run on any thread at once.

#ifndef ZELSNMP_SNMP_BER_H_
#define ZELSNMP_SNMP_BER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelsnmp {

// Tag bytes the system names. Bit 0x20 marks a constructed item.
constexpr int TagBoolean = 0x01;
constexpr int TagInteger = 0x02;
constexpr int TagOctetString = 0x04;
constexpr int TagNull = 0x05;
constexpr int TagObjectId = 0x06;
constexpr int TagEnumerated = 0x0A;
constexpr int TagSequence = 0x30;
constexpr int TagIpAddress = 0x40;
constexpr int TagCounter32 = 0x41;
constexpr int TagGauge32 = 0x42;
constexpr int TagTimeTicks = 0x43;
constexpr int TagOpaque = 0x44;
constexpr int TagCounter64 = 0x46;
// SNMPv2 exception values of a Response binding (empty content).
constexpr int TagNoSuchObject = 0x80;
constexpr int TagNoSuchInstance = 0x81;
constexpr int TagEndOfMibView = 0x82;

constexpr int kConstructedTagBit = 0x20;

// One OID sub-identifier in base 128, most significant digit first, bit 7 set on every byte
// but the last; at least one byte (0 gives 0x00, 128 gives 0x81 0x00). A negative arc reaches
// here as its 32-bit pattern and is written like any number up to 4294967295 (five bytes).
std::string EncodeSubId(std::uint32_t value);

// The sub-identifier at `position`; the position moves behind its last byte. Bits shifted out
// above bit 31 are lost. A sub-identifier cut short by the end of the buffer gives the value
// of the bytes that are there and leaves the position at the end. At or past the end: 0,
// position unchanged.
std::uint32_t DecodeSubId(std::string_view buffer, std::size_t& position);

// BER length octets: short form below 128, else 0x80 + n followed by the n bytes of the length
// without leading zero bytes (128 gives 0x81 0x80, 256 gives 0x82 0x01 0x00).
std::string EncodeBerLength(std::size_t length);

// The length at `position`; the position moves behind the length octets. With more than four
// length bytes only the last four count. The indefinite form 0x80 gives 0. Length bytes cut
// short by the end of the buffer give the value of the bytes that are there and leave the
// position at the end. At or past the end: 0, position unchanged.
std::uint32_t DecodeBerLength(std::string_view buffer, std::size_t& position);

// INTEGER content. Zero or above: the shortest big-endian form with a 0x00 in front when the
// first byte would have bit 7 set (128 gives 0x00 0x80). Negative: always the four bytes of the
// 32-bit two's complement form (-1 gives 0xFF 0xFF 0xFF 0xFF).
std::string EncodeBerInteger(std::int32_t value);

// Counter32 / Gauge32 / TimeTicks content: the value's big-endian bytes without leading zero
// bytes, at least one, with a 0x00 in front when the first byte has bit 7 set, so that every
// peer reads it as the unsigned number it is (200 gives 0x00 0xC8; 4294967295 gives
// 0x00 0xFF 0xFF 0xFF 0xFF).
std::string EncodeBerUnsigned(std::uint32_t value);

// Counter64 content by the same rule (up to nine bytes).
std::string EncodeBerUnsigned64(std::uint64_t value);

// Tag byte (the low 8 bits of `tag`), length octets, content.
std::string BuildBerObject(std::string_view content, int tag);

// Takes the leading arc off dotted OID text: the text up to the first "." (the whole text when
// there is none) converted with ParseIntDefault, default 0; the text loses the arc and its dot.
std::int32_t TakeOidArc(std::string& text);

// OBJECT IDENTIFIER content of dotted text: first arc × 40 + second arc, then every further
// arc; parts that do not convert count as 0, so any text gives bytes ("" gives 0x00; a
// trailing dot adds nothing; a leading dot makes the first arc 0).
std::string OidTextToBer(std::string_view text);

// Dotted text of OBJECT IDENTIFIER content; empty content gives empty text. A first
// sub-identifier of one byte splits as v div 40 . v mod 40; a longer one below 80 splits the
// same way, and one of 80 or more is arc 2 followed by v - 80 (so 2.48 and above come back as
// written). Every arc is printed as a signed 32-bit number.
std::string BerToOidText(std::string_view content);

// Reads one item at `position`, sets `value_tag` to its tag byte and returns its value as text:
//  - fewer than two bytes left: "", tag 0x05, position unchanged;
//  - length octets or content reaching past the end of the buffer: "", the tag read, position
//    behind the length octets (at most the end of the buffer);
//  - constructed tag (bit 0x20): a copy of the content; the position stays on the first content
//    byte, so the next call reads the first inner item;
//  - otherwise the position ends behind the content and the text is:
//    0x01 0x02 0x0A: two's complement, low 32 bits printed as signed decimal ("" -> "0");
//    0x41 0x42 0x43: unsigned, low 32 bits printed as unsigned decimal ("" -> "0");
//    0x46: unsigned, low 64 bits printed as unsigned decimal ("" -> "0");
//    0x05: ""; 0x06: BerToOidText; 0x40: every byte in decimal joined by ".";
//    0x44 wrapping a float (0x9F 0x78 0x04 and 4 bytes) or a double (0x9F 0x79 0x08 and 8
//    bytes): the shortest decimal that reads back to the same value of that width, "." as
//    the point, fixed notation below 1e15 in magnitude ("0.1", "-2.5", "123456") and
//    scientific from there on ("1e+15", "3.4028235e+38"); NaN, infinities: "nan", "inf",
//    "-inf", which no number conversion of the task accepts;
//    anything else (0x04, other 0x44, 0x80, ...): the content bytes as they are.
std::string ReadBerItem(std::string_view buffer, std::size_t& position, int& value_tag);

// ReadBerItem without the rendering: the same position and tag rules, with the item's content
// as a view into `buffer`. False (content empty) in the two cases where ReadBerItem gives
// empty text without reading any content: fewer than two bytes left, or an item running past
// the end. Costs nothing in proportion to the content, so walking into nested items stays
// linear in the buffer's size.
// Defined below: every item of every message passes through it.
bool ReadBerContent(std::string_view buffer, std::size_t& position, int& value_tag,
                    std::string_view& content);

// The length octets at `position` with the rules of DecodeBerLength, into `length`; false when
// they run past the end of the buffer (the position then stands at the end).
bool ReadBerLength(std::string_view buffer, std::size_t& position, std::uint32_t& length);

// The text ReadBerItem gives for a primitive item of tag `tag` with `content`.
std::string PrimitiveBerText(std::string_view content, int tag);

// The appending forms of the encoders and renderers above: the same bytes or text, added to
// the end of `out`, so that a whole message is written into one buffer without a string per
// item.
void AppendSubId(std::string& out, std::uint32_t value);
void AppendBerLength(std::string& out, std::size_t length);
// The number of length octets AppendBerLength writes for `length`.
std::size_t BerLengthSize(std::size_t length);
void AppendBerInteger(std::string& out, std::int32_t value);
void AppendBerUnsigned64(std::string& out, std::uint64_t value);
void AppendOidContent(std::string& out, std::string_view text);
void AppendOidText(std::string& out, std::string_view content);
void AppendPrimitiveBerText(std::string& out, std::string_view content, int tag);

// The writing forms, for buffers sized in advance: the same bytes written at `out`; each
// returns the end of what it wrote. Length octets take at most kMaxBerLengthBytes, INTEGER
// content at most kMaxBerIntegerBytes. Defined below: every message header is written with
// them.
constexpr std::size_t kMaxBerLengthBytes = 9;
constexpr std::size_t kMaxBerIntegerBytes = 4;
char* WriteBerLength(char* out, std::size_t length);
char* WriteBerInteger(char* out, std::int32_t value);

inline bool ReadBerLength(std::string_view buffer, std::size_t& position, std::uint32_t& length) {
  length = 0;
  if (position >= buffer.size()) return false;
  const unsigned first = static_cast<unsigned char>(buffer[position++]);
  if (first < 0x80) {
    length = first;
    return true;
  }
  const std::size_t count = first & 0x7F;
  for (std::size_t i = 0; i < count; ++i) {
    if (position >= buffer.size()) return false;
    length = (length << 8) | static_cast<unsigned char>(buffer[position++]);
  }
  return true;
}

inline bool ReadBerContent(std::string_view buffer, std::size_t& position, int& value_tag,
                           std::string_view& content) {
  content = {};
  value_tag = TagNull;
  if (position >= buffer.size() || buffer.size() - position < 2) return false;
  const int tag = static_cast<unsigned char>(buffer[position++]);
  value_tag = tag;
  std::uint32_t length = 0;
  if (!ReadBerLength(buffer, position, length)) return false;
  if (length > buffer.size() - position) return false;
  content = buffer.substr(position, length);
  // A constructed item is stepped into: the position stays on its first content byte.
  if ((tag & kConstructedTagBit) == 0) position += length;
  return true;
}

inline char* WriteBerLength(char* out, std::size_t length) {
  if (length < 0x80) {
    *out++ = static_cast<char>(length);
    return out;
  }
  const std::size_t count = BerLengthSize(length) - 1;
  *out++ = static_cast<char>(0x80 + count);
  for (std::size_t i = count; i > 0; --i) *out++ = static_cast<char>(length >> (8 * (i - 1)));
  return out;
}

inline char* WriteBerInteger(char* out, std::int32_t value) {
  // A negative value always takes all four bytes; any other the fewest that leave bit 7 of the
  // first byte clear.
  std::size_t size = 4;
  if (value >= 0) size = value < 0x80 ? 1 : value < 0x8000 ? 2 : value < 0x800000 ? 3 : 4;
  const auto pattern = static_cast<std::uint32_t>(value);
  for (std::size_t i = size; i > 0; --i) *out++ = static_cast<char>(pattern >> (8 * (i - 1)));
  return out;
}

}  // namespace zelsnmp

#endif  // ZELSNMP_SNMP_BER_H_
