// zelsnmp-check's command line and run, apart from main() so that tests can drive it:
//
//   zelsnmp-check [--probe] [--timeout MS] [--wide] [--server NAME [--machine NAME]] CONFIG_FILE
//
// Exit status: 0 no warnings or errors, 1 warnings only, 2 errors, 3 the file could not be
// read (no ordinary file, no permission, too long, changed while read, too little memory) or
// the command line is not understood. --help and --version print and give 0. Any path ends
// in a report or a message naming it; none is waited on for ever.

#ifndef ZELSNMP_TOOLS_CHECK_CHECK_RUN_H_
#define ZELSNMP_TOOLS_CHECK_CHECK_RUN_H_

#include <ostream>
#include <string>
#include <vector>

namespace zelsnmp::check {

inline constexpr int kExitUnreadable = 3;

// `arguments` without the program name.
int RunCheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace zelsnmp::check

#endif  // ZELSNMP_TOOLS_CHECK_CHECK_RUN_H_
