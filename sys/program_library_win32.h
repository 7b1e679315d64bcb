// Libraries that lie beside the program's own file, loaded at run time (Windows only; included
// by the Windows binding of the cryptographic library).
//
// A library is loaded by its full path in the program's folder and never searched for: a file
// of the same name in the current directory (which the task writes to) or along PATH is never
// taken. Its own dependencies are looked for in its folder and the system folder only, where
// Windows can be told so; load a dependency beside the program first so that it is the one
// used. No error dialog is shown while loading. A loaded library stays loaded until the
// process ends.

#ifndef ZELSNMP_SYS_PROGRAM_LIBRARY_WIN32_H_
#define ZELSNMP_SYS_PROGRAM_LIBRARY_WIN32_H_

#include <cstdint>
#include <string_view>

namespace zelsnmp {

struct ProgramLibrary {
  void* handle = nullptr;     // the loaded library; null when it was not loaded
  bool file_missing = false;  // there is no such file beside the program
  std::uint32_t error = 0;    // the platform's error number of a failed load
};

// True when a file `file_name` lies beside the program.
bool FileBesideProgram(std::string_view file_name);

// Loads the library `file_name` (an ASCII file name) from the program's folder.
ProgramLibrary LoadLibraryBesideProgram(std::string_view file_name);

// The entry point `name` of a loaded library; null when it has none.
void* LibraryEntry(const ProgramLibrary& library, const char* name);

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_PROGRAM_LIBRARY_WIN32_H_
