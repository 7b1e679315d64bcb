#include "testing/environment.h"

#include <stdlib.h>

#include "testing/peer_programs.h"

namespace zelsnmp::testing_support {

// The runtime's copy of the environment, which getenv reads.
void SetEnv(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

// An empty value removes the variable.
void UnsetEnv(const std::string& name) { _putenv_s(name.c_str(), ""); }

// The peers are Linux programs, which a Windows program cannot start, under Wine neither.
bool NativePeersRunnable() { return false; }

bool RunsAsRoot() { return false; }

}  // namespace zelsnmp::testing_support
