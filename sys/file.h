// The few file-system facilities the task and the stand-in need beyond the standard library.
//
// Paths are in the platform's own encoding (UTF-8 on POSIX).

#ifndef ZELSNMP_SYS_FILE_H_
#define ZELSNMP_SYS_FILE_H_

#include <string>
#include <string_view>

namespace zelsnmp {

// Deletes the file; false when it could not be deleted (missing, a directory, no right).
bool RemoveFile(const std::string& path);

// Appends `bytes` to the file, creating it when missing, with a single write in append mode,
// so that another reader or writer of the file never sees half of it. False on any failure;
// a write cut short (a full disk) is undone, the file cut back to its earlier length.
bool AppendToFile(const std::string& path, std::string_view bytes);

// The path of a file of that name in the current directory, written the platform's way
// ("./name" on POSIX).
std::string PathInCurrentDirectory(std::string_view file_name);

// The characters that end the directory part of a program path on this platform: the
// backslash and the drive colon everywhere, and "/" as well on POSIX.
std::string_view ProgramPathSeparators();

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_FILE_H_
