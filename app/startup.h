// The life of the task: start-up, the poll cycle, shutdown.
//
// RunTask registers with the trace facility and the process monitor, connects to the TM server
// named on the command line, fetches the configuration file from the configuration server of the
// machine that connection reached, hands the poll cycle the stop event, the TM connection and the
// fetched file, and once the cycle returns reports the stop and disconnects. A failure in
// start-up is logged and ends the task; nothing is thrown for it.

#ifndef ZELSNMP_APP_STARTUP_H_
#define ZELSNMP_APP_STARTUP_H_

#include <string>
#include <vector>

namespace zelsnmp {

// `arguments`: element 0 the program's full path, then the command-line arguments, all in
// Windows-1251.
void RunTask(const std::vector<std::string>& arguments);

}  // namespace zelsnmp

#endif  // ZELSNMP_APP_STARTUP_H_
