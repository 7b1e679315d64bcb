// Test support: a fresh directory under the system's temporary directory for tests that work
// with real files, removed with everything in it when the object goes; and whole-file reads
// and writes, byte for byte.

#ifndef ZELSNMP_TESTING_TEMP_DIRECTORY_H_
#define ZELSNMP_TESTING_TEMP_DIRECTORY_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace zelsnmp::testing_support {

class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string PathOf(std::string_view file_name) const { return (path_ / file_name).string(); }
  // Writes `contents` to `file_name` in the directory; gives the file's full path.
  std::string Write(std::string_view file_name, std::string_view contents) const;

 private:
  std::filesystem::path path_;
};

// Creates or replaces the file; throws when it cannot be written.
void WriteFile(const std::filesystem::path& path, std::string_view contents);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_TEMP_DIRECTORY_H_
