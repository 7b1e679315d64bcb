// ParseCharSet: the member list of a set conversion ("%[...]") of the formatted input scanner.
//
// The list is read from the format right after the "[":
//   - an optional "^" makes the set the complement of the listed bytes;
//   - a "]" or "-" coming first (after the "^") is a member by itself;
//   - then, up to the closing "]": a byte, a "-" and a further byte that is not "]" form an
//     inclusive range (empty when the first is above the last); a "-" before the closing "]"
//     is a member; any other byte is a member;
//   - the closing "]" must come before the end of the format (its first zero byte).
// The complement is taken over all 256 byte values; the zero byte is never a member, since
// it ends every text.

#ifndef ZELSNMP_POLLER_CHAR_SET_H_
#define ZELSNMP_POLLER_CHAR_SET_H_

#include <bitset>
#include <string_view>

namespace zelsnmp {

// Membership of the 256 byte values, indexed by the byte as unsigned char.
using CharSet = std::bitset<256>;

inline bool CharSetHas(const CharSet& set, char byte) {
  return set.test(static_cast<unsigned char>(byte));
}

// On success moves format behind the closing "]", fills set and gives true. A list without
// its closing "]" gives false and leaves format and set as they were.
bool ParseCharSet(std::string_view& format, CharSet& set);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_CHAR_SET_H_
