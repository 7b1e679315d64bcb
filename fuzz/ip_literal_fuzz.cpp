// libFuzzer target: the IP literal tests, and TakeToken's promises. A text the IPv4 test
// accepts is one the platform's inet_pton reads once the spaces around its dots and the leading
// zeros of its parts are gone, and every text inet_pton reads is accepted. The IPv6 test is
// checked against a reference of its token rules (looser than inet_pton: ":1" and "1:2" count,
// "1::" does not). Neither test may call a text both.

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_require.h"
#include "net/ip_literal.h"

namespace {

// "010 . 1.2. 3" -> "10.1.2.3": parts trimmed of spaces, leading zeros dropped.
std::string CanonicalQuad(std::string_view text) {
  std::string result;
  std::size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    std::size_t dot = text.find('.', start);
    std::string_view piece =
        text.substr(start, dot == std::string_view::npos ? text.npos : dot - start);
    while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
    while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
    while (piece.size() > 1 && piece.front() == '0') piece.remove_prefix(1);
    if (part > 0) result += '.';
    result += piece;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return result;
}

bool IsHexGroup(std::string_view token) {
  if (token.empty()) return false;
  unsigned long value = 0;
  for (char c : token) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
    value = value * 16 + static_cast<unsigned long>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    if (value > 0xFFFF) return false;
  }
  return true;
}

// Tokens at ":" (empty ones too): at most one empty token after the first; no
// non-empty token from the ninth on; every non-empty token a group of 0..FFFF, the last one
// non-empty and allowed a "%" zone of 0..FFFF; more than one token. "::" alone counts.
bool ReferenceIPv6(std::string_view text) {
  if (text == "::") return true;
  std::vector<std::string_view> tokens;
  // Tokens are taken while text is left, and token and rest each lose their surrounding
  // spaces at every step, as TakeToken does: "1:" and "1: " give the one token "1".
  auto trim = [](std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return t;
  };
  std::string_view rest = text;
  do {
    const std::size_t colon = rest.find(':');
    tokens.push_back(trim(rest.substr(0, colon)));
    rest = colon == std::string_view::npos ? std::string_view() : trim(rest.substr(colon + 1));
  } while (!rest.empty());
  if (tokens.size() < 2) return false;
  int empty_after_first = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    std::string_view token = tokens[i];
    if (i + 1 == tokens.size()) {
      const std::size_t percent = token.find('%');
      if (percent != std::string_view::npos) {
        if (!IsHexGroup(token.substr(percent + 1))) return false;
        token = token.substr(0, percent);
      }
      if (token.empty()) return false;
    }
    if (token.empty()) {
      if (i > 0 && ++empty_after_first >= 2) return false;
      continue;
    }
    if (i >= 8 || !IsHexGroup(token)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const bool v4 = zelsnmp::IsIPv4Literal(text);
  const bool v6 = zelsnmp::IsIPv6Literal(text);
  Require(!(v4 && v6));
  unsigned char address[16];
  if (v4) Require(inet_pton(AF_INET, CanonicalQuad(text).c_str(), address) == 1);
  Require(v6 == ReferenceIPv6(text));
  // Whatever inet_pton reads as a plain IPv4 address is a literal too.
  if (text.find('\0') == std::string::npos && inet_pton(AF_INET, text.c_str(), address) == 1) {
    Require(v4);
  }

  std::string rest = text;
  const std::string token = zelsnmp::TakeToken(rest, ':');
  Require(token.size() + rest.size() <= text.size());
  Require(token.empty() || (token.front() != ' ' && token.back() != ' '));
  Require(rest.empty() || (rest.front() != ' ' && rest.back() != ' '));
  return 0;
}
