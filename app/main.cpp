// zelSNMP: polls SNMP agents and writes their answers into the points of a TM server.
//
// Usage: zelSNMP <TM server> [<machine>] [/f<configuration file>]
// The process ends with exit code 0 on every path; failures are reported through the log.

#include <exception>

#include "app/startup.h"
#include "host/nodehub.h"
#include "sys/process.h"

int main(int argc, char** argv) {
  try {
    zelsnmp::RunTask(zelsnmp::CommandLineArguments(argc, argv));
  } catch (const std::exception& error) {
    // Only exhausted resources can get here; the message is run-time text, never a format.
    e_printf("%s", error.what(), 0, 0, 0, 0);
  }
  return 0;
}
