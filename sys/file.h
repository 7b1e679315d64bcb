// The few file-system facilities the task and the stand-in need beyond the standard library.
//
// Paths are in the platform's own encoding (UTF-8 on POSIX, the ANSI code page on Windows).

#ifndef ZELSNMP_SYS_FILE_H_
#define ZELSNMP_SYS_FILE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace zelsnmp {

// What reading a whole file came to.
enum class FileReadStatus {
  kRead,          // the bytes are the file's, as long as it was when opened
  kChanged,       // the bytes are all it held, but its length changed while it was read
  kMissing,       // no such file or folder on the path
  kNoPermission,  // the file or a folder on its path may not be read by this user
  kDirectory,
  kDevice,        // a character or block device (/dev/zero never ends)
  kPipe,          // a FIFO or a socket: no length, and a read may wait for ever
  kNotRegular,    // anything else that is no ordinary file
  kTooLarge,      // longer than the limit, when opened or while read
  kReadError,     // opened, but a read failed
};

struct FileReadResult {
  FileReadStatus status = FileReadStatus::kReadError;
  std::uint64_t length_at_open = 0;  // as the file system gave it when opened
  std::uint64_t bytes_read = 0;
  std::string error_text;            // the platform's words, for kReadError and odd failures
};

// Reads the ordinary file at `path` whole into `bytes` (replacing what it held), never more
// than `max_bytes`: a longer file is refused before it is read, and one that grows past the
// limit while read stops there (kTooLarge, `bytes` empty). Opening never waits: a FIFO is
// refused without waiting for a writer. Everything but kRead and kChanged leaves `bytes` empty.
// Running out of memory throws std::bad_alloc.
FileReadResult ReadWholeFile(const std::string& path, std::uint64_t max_bytes,
                             std::string& bytes);

// Deletes the file; false when it could not be deleted (missing, a directory, no right).
bool RemoveFile(const std::string& path);

// Appends `bytes` to the file, creating it when missing, with a single write in append mode,
// so that another reader or writer of the file never sees half of it. False on any failure; a
// write cut short (a full disk) is undone, the file cut back to its earlier length.
bool AppendToFile(const std::string& path, std::string_view bytes);

// The path of a file of that name in the current directory, written the platform's way
// ("./name" on POSIX, ".\name" on Windows).
std::string PathInCurrentDirectory(std::string_view file_name);

// The characters that end the directory part of a program path on this platform: the
// backslash and the drive colon everywhere, and "/" as well on POSIX.
std::string_view ProgramPathSeparators();

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_FILE_H_
