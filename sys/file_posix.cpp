#include "sys/file.h"

#include <unistd.h>

#include "sys/file_appender.h"

namespace zelsnmp {

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool AppendToFile(const std::string& path, std::string_view bytes) {
  // The appender's one write, with a short write cut back, and the file closed again.
  return FileAppender(path).Append(bytes);
}

std::string PathInCurrentDirectory(std::string_view file_name) {
  return "./" + std::string(file_name);
}

std::string_view ProgramPathSeparators() { return "\\:/"; }

}  // namespace zelsnmp
