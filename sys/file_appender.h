// FileAppender: a file kept open for appending, for writers that add many lines to one file.
//
// Append keeps the promise of AppendToFile (sys/file.h) without opening the file for every
// write: `bytes` go in with a single write in append mode, so that another reader or writer of
// the file never sees half of them, and a write cut short (a full disk) is undone, the file
// cut back to its earlier length. The file is opened (created when missing) on the first
// Append and stays open until the object is destroyed; it is opened again, and so created
// anew, when it was deleted meanwhile or an open failed. A file renamed meanwhile keeps
// receiving the lines.

#ifndef ZELSNMP_SYS_FILE_APPENDER_H_
#define ZELSNMP_SYS_FILE_APPENDER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace zelsnmp {

class FileAppender {
 public:
  explicit FileAppender(std::string path);
  ~FileAppender();
  FileAppender(const FileAppender&) = delete;
  FileAppender& operator=(const FileAppender&) = delete;

  const std::string& path() const { return path_; }

  // False on any failure (the file cannot be opened, the write fails or is cut short).
  bool Append(std::string_view bytes);

 private:
  bool Open();

  std::string path_;
  std::intptr_t handle_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_FILE_APPENDER_H_
