#include "sys/path.h"

#include <cstdlib>

#include "sys/file.h"

namespace zelsnmp {

std::filesystem::path PathFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
}

bool AppendToPath(const std::filesystem::path& path, std::string_view bytes) {
  return AppendToFile(path.native(), bytes);
}

}  // namespace zelsnmp
