// zelsnmp-check: checks a zelSNMP configuration file before the task runs with it (see
// check_run.h).

#include <iostream>
#include <string>
#include <vector>

#include "tools/check/check_run.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return zelsnmp::check::RunCheck(arguments, std::cout, std::cerr);
}
