// Test helper of the notification end-to-end tests: the real zelSNMP of a stand-in site, run in
// the test process's own network namespace, and net-snmp's snmptrap and snmpinform sending to
// it from a device's address, with a home directory of their own so that no engine knowledge
// is kept between runs. SetUp skips where the namespace or the tools are missing; a fixture
// calls it first and starts the task itself.

#ifndef ZELSNMP_APP_NOTIFICATION_TEST_TASK_H_
#define ZELSNMP_APP_NOTIFICATION_TEST_TASK_H_

#include <chrono>
#include <cstddef>
#include <string>

#include <gtest/gtest.h>

#include "app/task_runner.h"
#include "testing/peer_programs.h"
#include "testing/private_network.h"
#include "testing/temp_directory.h"

namespace zelsnmp::testing_support {

class NotificationTaskTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string& reason = PrivateNetworkUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
    const std::string peers = PeersUnavailable({"snmptrap", "snmpinform"});
    if (!peers.empty()) GTEST_SKIP() << peers;
  }

  // True once the debug log holds `text` `times` times, waiting up to 20 s.
  bool WaitForDebug(const std::string& text, std::size_t times = 1) {
    return WaitForLogText(task_.site(), "debug.log", text, std::chrono::seconds(20), times);
  }

  // net-snmp's `tool` with `arguments`, sent from `source` to the task.
  ToolRun Send(const std::string& tool, const std::string& source,
               const std::string& arguments) {
    return RunNetSnmpTool(home_.path(),
                          tool + " --clientaddr=" + source + " -r 2 -t 1 " + arguments);
  }

  TempDirectory home_;
  SiteTask task_;
};

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_APP_NOTIFICATION_TEST_TASK_H_
