// File-system paths that keep every character of their text.
//
// A std::filesystem::path built from narrow bytes means different things per platform: on POSIX
// the bytes are the name, on Windows the library widens them one by one, so any character
// outside ASCII is lost. Paths that carry names of people's choosing (a site, a TM server, a
// configuration file) are therefore built from Unicode text, and the files below them are
// reached through the path itself (sys/file_appender.h), never through its narrow string.

#ifndef ZELSNMP_SYS_PATH_H_
#define ZELSNMP_SYS_PATH_H_

#include <filesystem>

namespace zelsnmp {

// The path named by an environment variable, read in the platform's own form (the wide
// environment on Windows, the bytes on POSIX); empty when the variable is unset or empty.
std::filesystem::path PathFromEnvironment(const char* name);


}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_PATH_H_
