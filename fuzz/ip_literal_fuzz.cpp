// libFuzzer target: the IP literal tests against the platform's own address parser, and
// TakeToken's promises. A text the tests call IPv4 is one inet_pton reads once the spaces
// around its dots and leading zeros of its parts are gone; one they call IPv6 is one inet_pton
// reads once its zone is gone. Neither test may call a text both.

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/ip_literal.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsBlankFree(std::string_view text) { return text.find(' ') == std::string_view::npos; }

// "010 . 1.2. 3" -> "10.1.2.3": parts trimmed of spaces, leading zeros dropped.
std::string CanonicalQuad(std::string_view text) {
  std::string result;
  std::size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    std::size_t dot = text.find('.', start);
    std::string_view piece = text.substr(start, dot == std::string_view::npos ? text.npos
                                                                              : dot - start);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const bool v4 = zelsnmp::IsIPv4Literal(text);
  const bool v6 = zelsnmp::IsIPv6Literal(text);
  Require(!(v4 && v6));
  unsigned char address[16];
  if (v4) Require(inet_pton(AF_INET, CanonicalQuad(text).c_str(), address) == 1);
  if (v6) {
    Require(IsBlankFree(text));
    const std::string without_zone = text.substr(0, text.find('%'));
    Require(inet_pton(AF_INET6, without_zone.c_str(), address) == 1);
  }
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
