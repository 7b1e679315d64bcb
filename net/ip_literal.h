// IP literal tests: whether a host text is written as an IPv4 or an IPv6 address.
//
// The socket uses them to choose the address family of a new socket before anything is
// resolved. They only classify a text; turning it into an address is BuildSocketAddress's
// work (net/socket_api.h). Both are pure functions of their text and never fail.

#ifndef ZELSNMP_NET_IP_LITERAL_H_
#define ZELSNMP_NET_IP_LITERAL_H_

#include <string>
#include <string_view>

namespace zelsnmp {

// Cuts the text before the first `delimiter` (all of `text` when there is none) and returns
// it; `text` becomes what follows that delimiter (empty when there is none). Both lose
// leading and trailing spaces (0x20 only).
std::string TakeToken(std::string& text, char delimiter);

// True for a dotted quad of four decimal parts 0..255. Leading zeros are accepted ("010"),
// and so are spaces around the dots.
bool IsIPv4Literal(std::string_view text);

// True for an IPv6 address in colon-hex form: at most eight groups of 0..FFFF, at most one
// "::" run, optionally a hexadecimal zone ("%1a") after the last group. Forms with an
// embedded dotted IPv4 address and zones given by interface name are not accepted.
bool IsIPv6Literal(std::string_view text);

// An IPv6 literal written in brackets ("[2001:db8::7]", as in a URL) without them; any other
// text as it is.
std::string_view WithoutIPv6Brackets(std::string_view host);

}  // namespace zelsnmp

#endif  // ZELSNMP_NET_IP_LITERAL_H_
