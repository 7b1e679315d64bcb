#include "net/ip_literal.h"

#include "net/text_util.h"

namespace zelsnmp {
namespace {

constexpr unsigned kMaxOctet = 255;
constexpr unsigned kMaxGroup = 0xFFFF;
constexpr int kMaxIPv6Groups = 8;

// Reads digits of `base` (already checked) and stops counting once past `limit`, so that a
// long run of digits cannot overflow.
bool DigitsWithin(std::string_view digits, unsigned base, unsigned limit) {
  unsigned value = 0;
  for (char c : digits) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    value = value * base + digit;
    if (value > limit) return false;
  }
  return true;
}

bool IsOctetText(std::string_view text) {
  return IsDecimalDigits(text) && DigitsWithin(text, 10, kMaxOctet);
}

bool IsGroupText(std::string_view text) {
  return IsHexDigits(text) && DigitsWithin(text, 16, kMaxGroup);
}

// The last group may carry a zone after "%", itself hexadecimal 0..FFFF.
bool IsLastGroupText(std::string_view text) {
  std::size_t percent = text.find('%');
  if (percent == std::string_view::npos) return IsGroupText(text);
  return IsGroupText(text.substr(0, percent)) && IsGroupText(text.substr(percent + 1));
}

}  // namespace

std::string TakeToken(std::string& text, char delimiter) {
  std::size_t at = text.find(delimiter);
  std::string token;
  std::string rest;
  if (at == std::string::npos) {
    token = TrimSpaces(text);
  } else {
    token = TrimSpaces(std::string_view(text).substr(0, at));
    rest = TrimSpaces(std::string_view(text).substr(at + 1));
  }
  text = std::move(rest);
  return token;
}

bool IsIPv4Literal(std::string_view text) {
  std::string rest(text);
  std::string first = TakeToken(rest, '.');
  std::string second = TakeToken(rest, '.');
  std::string third = TakeToken(rest, '.');
  return IsOctetText(first) && IsOctetText(second) && IsOctetText(third) && IsOctetText(rest);
}

bool IsIPv6Literal(std::string_view text) {
  if (text == "::") return true;
  if (text.empty()) return false;
  std::string rest(text);
  int tokens = 0;
  int inner_empty_tokens = 0;
  std::string token;
  do {
    token = TakeToken(rest, ':');
    ++tokens;
    if (token.empty()) {
      if (tokens > 1 && ++inner_empty_tokens >= 2) return false;
      continue;
    }
    if (tokens > kMaxIPv6Groups) return false;
    bool last = rest.empty();
    if (!(last ? IsLastGroupText(token) : IsGroupText(token))) return false;
  } while (!rest.empty());
  return !token.empty() && tokens > 1;
}

std::string_view WithoutIPv6Brackets(std::string_view host) {
  if (host.size() < 2 || host.front() != '[' || host.back() != ']') return host;
  const std::string_view inside = host.substr(1, host.size() - 2);
  return IsIPv6Literal(inside) ? inside : host;
}

}  // namespace zelsnmp
