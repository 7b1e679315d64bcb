// The running process as the platform knows it: its id, its own program file and command line,
// and the name of the computer it runs on.
//
// Texts come back in the task's code page (Windows-1251), as every text that crosses the host
// interface must be: on POSIX the command line and file paths are UTF-8 and are converted; on
// Windows they come in the ANSI code page (1251 on the complex's machines) and are passed on.

#ifndef ZELSNMP_SYS_PROCESS_H_
#define ZELSNMP_SYS_PROCESS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelsnmp {

// The id of the current process, as the platform's signed 32-bit value.
std::int32_t CurrentProcessId();

// Element 0 is the program's own full path (argv[0] itself when the platform cannot tell it),
// elements 1 to argc-1 the command-line arguments, all in Windows-1251.
std::vector<std::string> CommandLineArguments(int argc, const char* const* argv);

// This computer's network name; empty when the platform cannot tell it.
std::string LocalHostName();

// Writes `bytes` to the process's standard error. A console or pipe that is gone (its reader
// ended) makes the write fail quietly: echoing a log line must never end the task.
void WriteToStandardError(std::string_view bytes);

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_PROCESS_H_
