// Test support: setting and removing variables of the test process's environment, which the
// stand-in of the host libraries reads (ZELSNMP_SITE, ZELSNMP_SIM_FAIL, ...). A path goes in
// the platform's narrow encoding (path.string(); c_str() is a wide string on Windows).

#ifndef ZELSNMP_TESTING_ENVIRONMENT_H_
#define ZELSNMP_TESTING_ENVIRONMENT_H_

#include <string>

namespace zelsnmp::testing_support {

void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_ENVIRONMENT_H_
