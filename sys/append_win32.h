// The one whole-line append of the Windows file code, shared by AppendToFile (sys/file.h) and
// FileAppender (sys/file_appender.h), which open their files by different kinds of path.
// Included by sys/*_win32.cpp only.

#ifndef ZELSNMP_SYS_APPEND_WIN32_H_
#define ZELSNMP_SYS_APPEND_WIN32_H_

#include <string_view>

namespace zelsnmp {

// Writes `bytes` at the end of the open file `file` (a HANDLE opened with GENERIC_WRITE) in one
// piece, as an append-mode write does; a write cut short (a full disk) is undone, the file cut
// back to its earlier length. False on any failure. The handle stays open.
bool AppendToOpenFile(void* file, std::string_view bytes);

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_APPEND_WIN32_H_
