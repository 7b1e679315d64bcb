#include "testing/environment.h"

#include <stdlib.h>
#include <unistd.h>

#include "testing/peer_programs.h"

namespace zelsnmp::testing_support {

void SetEnv(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnv(const std::string& name) { unsetenv(name.c_str()); }

// The peers are programs of this system.
bool NativePeersRunnable() { return true; }

bool RunsAsRoot() { return getuid() == 0; }

}  // namespace zelsnmp::testing_support
