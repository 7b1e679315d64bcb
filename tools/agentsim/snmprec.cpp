#include "tools/agentsim/snmprec.h"

#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>

#include "snmp/ber.h"

namespace zelsnmp::agentsim {
namespace {

constexpr char kFieldSeparator = '|';
constexpr std::string_view kHexOctetStringTag = "4x";

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

// The value of one line, or an error text without the line number.
std::optional<SnmprecValue> ParseValue(std::string_view tag_text, std::string_view value,
                                       std::string& error) {
  if (tag_text == kHexOctetStringTag) {
    auto bytes = DecodeHex(value);
    if (!bytes) error = "value of tag 4x must be pairs of hexadecimal digits";
    return bytes ? std::optional(SnmprecValue{*bytes, TagOctetString}) : std::nullopt;
  }
  auto tag = ParseCanonicalDecimal<int>(tag_text, 255);
  if (!tag) {
    error = "tag \"" + std::string(tag_text) + "\" is not a decimal tag or 4x";
    return std::nullopt;
  }
  bool valid = true;
  const char* expected = "";
  switch (*tag) {
    case TagInteger:
      valid = IsSignedInteger32(value);
      expected = "a whole number from -2147483648 to 2147483647";
      break;
    case TagOctetString:
    case TagOpaque:
      break;
    case TagNull:
    case TagNoSuchObject:
    case TagNoSuchInstance:
    case TagEndOfMibView:
      valid = value.empty();
      expected = "empty";
      break;
    case TagObjectId:
      valid = IsCanonicalOid(value);
      expected = "a dotted decimal OID";
      break;
    case TagIpAddress:
      valid = IsIpAddress(value);
      expected = "four decimal numbers 0..255 joined by dots";
      break;
    case TagCounter32:
    case TagGauge32:
    case TagTimeTicks:
      valid = ParseCanonicalDecimal<std::uint64_t>(value, 4294967295u).has_value();
      expected = "a whole number from 0 to 4294967295";
      break;
    case TagCounter64:
      valid = ParseCanonicalDecimal<std::uint64_t>(value, std::numeric_limits<std::uint64_t>::max())
                  .has_value();
      expected = "a whole number from 0 to 18446744073709551615";
      break;
    default:
      error = "tag " + std::to_string(*tag) + " is not supported";
      return std::nullopt;
  }
  if (!valid) {
    error = "value \"" + std::string(value) + "\" of tag " + std::to_string(*tag) +
            " must be " + expected;
    return std::nullopt;
  }
  return SnmprecValue{std::string(value), *tag};
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
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

SnmprecParseResult ParseSnmprec(std::string_view text) {
  SnmprecParseResult result;
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsBlank(line) || line.front() == '#') continue;

    auto fail = [&](const std::string& message) {
      result.data.clear();
      result.error = "line " + std::to_string(line_number) + ": " + message;
      return result;
    };
    std::size_t first = line.find(kFieldSeparator);
    std::size_t second =
        first == std::string_view::npos ? first : line.find(kFieldSeparator, first + 1);
    if (second == std::string_view::npos) return fail("expected OID|TAG|VALUE");
    std::string_view oid = line.substr(0, first);
    if (!IsCanonicalOid(oid)) {
      // Built by appending: GCC 12 warns falsely (-Wrestrict) about "..." + std::string.
      std::string message = "\"";
      message += oid;
      message += "\" is not a dotted decimal OID";
      return fail(message);
    }
    std::string error;
    auto value = ParseValue(line.substr(first + 1, second - first - 1), line.substr(second + 1),
                            error);
    if (!value) return fail(error);
    if (!result.data.emplace(std::string(oid), std::move(*value)).second) {
      return fail("OID " + std::string(oid) + " appears twice");
    }
  }
  return result;
}

SnmprecParseResult LoadSnmprecFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {{}, "cannot read data file " + path};
  std::ostringstream content;
  content << file.rdbuf();
  SnmprecParseResult result = ParseSnmprec(content.str());
  if (!result.error.empty()) result.error = path + ": " + result.error;
  return result;
}

}  // namespace zelsnmp::agentsim
