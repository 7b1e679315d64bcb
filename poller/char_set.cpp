#include "poller/char_set.h"

#include "util/text_end.h"

namespace zelsnmp {

bool ParseCharSet(std::string_view& format, CharSet& set) {
  std::string_view rest = TextUpToZero(format);
  CharSet members;

  const bool complement = !rest.empty() && rest.front() == '^';
  if (complement) rest.remove_prefix(1);

  if (!rest.empty() && (rest.front() == ']' || rest.front() == '-')) {
    members.set(static_cast<unsigned char>(rest.front()));
    rest.remove_prefix(1);
  }

  while (!rest.empty() && rest.front() != ']') {
    const auto first = static_cast<unsigned char>(rest[0]);
    if (rest.size() >= 3 && rest[1] == '-' && rest[2] != ']') {
      const auto last = static_cast<unsigned char>(rest[2]);
      for (unsigned byte = first; byte <= last; ++byte) members.set(byte);
      rest.remove_prefix(3);
    } else {
      members.set(first);
      rest.remove_prefix(1);
    }
  }
  if (rest.empty()) return false;
  rest.remove_prefix(1);  // the closing "]"

  if (complement) members.flip();
  members.reset(0);
  set = members;
  format = rest;
  return true;
}

}  // namespace zelsnmp
