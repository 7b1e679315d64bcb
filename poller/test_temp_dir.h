// TestTempDir: a fresh directory under the system's temporary directory for tests that work
// with real files; it and everything in it go when the object does.

#ifndef ZELSNMP_POLLER_TEST_TEMP_DIR_H_
#define ZELSNMP_POLLER_TEST_TEMP_DIR_H_

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace zelsnmp {

class TestTempDir {
 public:
  TestTempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const auto candidate = std::filesystem::temp_directory_path() /
                             ("zelsnmp_test_" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) {
        path_ = candidate;
        return;
      }
    }
    throw std::runtime_error("cannot create a temporary directory");
  }
  ~TestTempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TestTempDir(const TestTempDir&) = delete;
  TestTempDir& operator=(const TestTempDir&) = delete;

  std::string PathOf(std::string_view file_name) const { return (path_ / file_name).string(); }

  // Writes `contents` byte for byte to `file_name` and gives the file's full path.
  std::string Write(std::string_view file_name, std::string_view contents) const {
    const std::string file_path = PathOf(file_name);
    std::ofstream file(file_path, std::ios::binary | std::ios::trunc);
    file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!file) throw std::runtime_error("cannot write " + file_path);
    return file_path;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_TEST_TEMP_DIR_H_
