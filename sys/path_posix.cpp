#include "sys/path.h"

#include <cstdlib>

namespace zelsnmp {

std::filesystem::path PathFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
}

}  // namespace zelsnmp
