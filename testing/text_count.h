// Test helper: how often a text occurs in a log or an output, the common check of the tests
// that read the task's and the peers' logs.

#ifndef ZELSNMP_TESTING_TEXT_COUNT_H_
#define ZELSNMP_TESTING_TEXT_COUNT_H_

#include <cstddef>
#include <string>

namespace zelsnmp::testing_support {

// Occurrences of `part` in `text`, overlapping ones included.
inline std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_TEXT_COUNT_H_
