#include "tools/agentsim/snmprec.h"

#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>

#include "snmp/ber.h"

namespace zelsnmp::agentsim {
namespace {

constexpr char kFieldSeparator = '|';
constexpr char kHexSuffix = 'x';
constexpr std::size_t kIpAddressBytes = 4;

// Digits only, no sign, no leading zero (except "0" itself), value up to `limit`.
template <typename Number>
std::optional<Number> ParseCanonicalDecimal(std::string_view text, Number limit) {
  if (text.empty() || (text.size() > 1 && text.front() == '0')) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > limit) {
    return std::nullopt;
  }
  return value;
}

bool IsSignedInteger32(std::string_view text) {
  if (!text.empty() && text.front() == '-') {
    text.remove_prefix(1);
    // "-0" is not how anyone writes zero; refuse it like other odd forms.
    return text != "0" && ParseCanonicalDecimal<std::uint32_t>(text, 2147483648u).has_value();
  }
  return ParseCanonicalDecimal<std::uint32_t>(text, 2147483647u).has_value();
}

bool IsIpAddress(std::string_view text) {
  int parts = 0;
  for (;;) {
    std::size_t dot = text.find('.');
    if (!ParseCanonicalDecimal<unsigned>(text.substr(0, dot), 255u)) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return parts == 4;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> DecodeHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int high = HexDigitValue(text[i]);
    int low = HexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

// The dotted text of an IpAddress value: "a.b.c.d" as it is, or the four address bytes
// themselves, as recorders write it (a dotted address is at least seven characters long).
std::optional<std::string> IpAddressText(std::string_view value) {
  if (value.size() == kIpAddressBytes) return PrimitiveBerText(value, TagIpAddress);
  if (IsIpAddress(value)) return std::string(value);
  return std::nullopt;
}

// The value of one line, or an error text without the line number. With `tag_text` ending in
// "x" the value is pairs of hexadecimal digits, and the bytes they give are read as the value
// of the tag without the "x".
std::optional<SnmprecValue> ParseValue(std::string_view tag_text, std::string_view value,
                                       std::string& error) {
  std::string decoded;
  const bool hex = !tag_text.empty() && tag_text.back() == kHexSuffix;
  if (hex) {
    tag_text.remove_suffix(1);
    auto bytes = DecodeHex(value);
    if (!bytes) {
      error = "value of tag " + std::string(tag_text) + "x must be pairs of hexadecimal digits";
      return std::nullopt;
    }
    decoded = std::move(*bytes);
  }
  const std::string_view text = hex ? std::string_view(decoded) : value;
  auto tag = ParseCanonicalDecimal<int>(tag_text, 255);
  if (!tag) {
    error = "tag \"" + std::string(tag_text) + (hex ? "x" : "") +
            "\" is not a decimal tag, with or without x";
    return std::nullopt;
  }
  std::string result(text);
  bool valid = true;
  const char* expected = "";
  switch (*tag) {
    case TagInteger:
      valid = IsSignedInteger32(text);
      expected = "a whole number from -2147483648 to 2147483647";
      break;
    case TagOctetString:
    case TagOpaque:
      break;
    case TagNull:
    case TagNoSuchObject:
    case TagNoSuchInstance:
    case TagEndOfMibView:
      valid = text.empty();
      expected = "empty";
      break;
    case TagObjectId:
      valid = IsCanonicalOid(text);
      expected = "a dotted decimal OID";
      break;
    case TagIpAddress: {
      auto address = IpAddressText(text);
      valid = address.has_value();
      if (valid) result = std::move(*address);
      expected = "four decimal numbers 0..255 joined by dots, or four bytes";
      break;
    }
    case TagCounter32:
    case TagGauge32:
    case TagTimeTicks:
      valid = ParseCanonicalDecimal<std::uint64_t>(text, 4294967295u).has_value();
      expected = "a whole number from 0 to 4294967295";
      break;
    case TagCounter64:
      valid = ParseCanonicalDecimal<std::uint64_t>(text, std::numeric_limits<std::uint64_t>::max())
                  .has_value();
      expected = "a whole number from 0 to 18446744073709551615";
      break;
    default:
      error = "tag " + std::to_string(*tag) + " is not supported";
      return std::nullopt;
  }
  if (!valid) {
    error = "value \"" + std::string(value) + "\" of tag " + std::to_string(*tag) +
            (hex ? "x" : "") + " must be " + expected;
    return std::nullopt;
  }
  return SnmprecValue{std::move(result), *tag};
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Adds the binding of one line to `data`; the error text without the line number, empty when
// the line was taken.
std::string ParseLine(std::string_view line, SnmprecData& data) {
  std::size_t first = line.find(kFieldSeparator);
  std::size_t second =
      first == std::string_view::npos ? first : line.find(kFieldSeparator, first + 1);
  if (second == std::string_view::npos) return "expected OID|TAG|VALUE";
  std::string_view oid = line.substr(0, first);
  if (!IsCanonicalOid(oid)) {
    // Built by appending: GCC 12 warns falsely (-Wrestrict) about "..." + std::string.
    std::string message = "\"";
    message += oid;
    message += "\" is not a dotted decimal OID";
    return message;
  }
  std::string error;
  auto value =
      ParseValue(line.substr(first + 1, second - first - 1), line.substr(second + 1), error);
  if (!value) return error;
  if (!data.emplace(std::string(oid), std::move(*value)).second) {
    return "OID " + std::string(oid) + " appears twice";
  }
  return {};
}

}  // namespace

bool IsCanonicalOid(std::string_view text) {
  int arcs = 0;
  for (;;) {
    std::size_t dot = text.find('.');
    if (!ParseCanonicalDecimal<std::uint32_t>(text.substr(0, dot), 4294967295u)) return false;
    ++arcs;
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return arcs >= 2;
}

SnmprecParseResult ParseSnmprec(std::string_view text, bool lenient) {
  SnmprecParseResult result;
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsBlank(line) || line.front() == '#') continue;
    std::string error = ParseLine(line, result.data);
    if (error.empty()) continue;
    error = "line " + std::to_string(line_number) + ": " + error;
    if (!lenient) {
      result.data.clear();
      result.error = std::move(error);
      return result;
    }
    result.skipped.push_back(std::move(error));
  }
  return result;
}

SnmprecParseResult LoadSnmprecFile(const std::string& path, bool lenient) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {{}, "cannot read data file " + path, {}};
  std::ostringstream content;
  content << file.rdbuf();
  SnmprecParseResult result = ParseSnmprec(content.str(), lenient);
  if (!result.error.empty()) result.error = path + ": " + result.error;
  for (std::string& skipped : result.skipped) skipped = path + ": " + skipped;
  return result;
}

}  // namespace zelsnmp::agentsim
