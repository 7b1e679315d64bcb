// FileAppender: a file kept open for appending, for writers that add many lines to one file.
//
// Append keeps the promise of AppendToFile (sys/file.h) without opening the file for every
// write: `bytes` go in with a single write in append mode, so that another reader or writer of
// the file never sees half of them, and a write cut short (a full disk) is undone, the file
// cut back to its earlier length. The file is opened (created when missing) on the first
// Append and stays open until the object is destroyed; it is opened again, and so created
// anew, when it was deleted meanwhile or an open failed. A file renamed meanwhile keeps
// receiving the lines. On Windows the file is opened for each Append and closed after it
// instead: a file held open there keeps its folder from being removed.

#ifndef ZELSNMP_SYS_FILE_APPENDER_H_
#define ZELSNMP_SYS_FILE_APPENDER_H_

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace zelsnmp {

class FileAppender {
 public:
  // The path keeps every character of its name on every platform (see sys/path.h).
  explicit FileAppender(std::filesystem::path path);
  ~FileAppender();
  FileAppender(const FileAppender&) = delete;
  FileAppender& operator=(const FileAppender&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // False on any failure (the file cannot be opened, the write fails or is cut short).
  bool Append(std::string_view bytes);

 private:
  bool Open();

  std::filesystem::path path_;
  std::intptr_t handle_;  // the open file (POSIX); Windows opens it for each Append
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_FILE_APPENDER_H_
