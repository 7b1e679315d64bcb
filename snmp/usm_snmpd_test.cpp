// The keys of usm_test_vectors.h against a peer nobody here wrote: net-snmp's snmpd, started on
// a loopback port with the example engine ID and one user per protocol pair, must answer
// snmpget when given our localized keys (-3k, -3K) and refuse a key one bit off. Skipped where
// snmpd or snmpget is not installed. The keys go to snmpget on its command line only; failure
// texts carry snmpget's output, which never repeats them.

#include <gtest/gtest.h>

#include "snmp/usm_protocol_names.h"
#include "snmp/usm_test_util.h"
#include "snmp/usm_test_vectors.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using testing_support::kExampleEngineId;
using testing_support::kExamplePassphrase;
using testing_support::TempDirectory;

const std::string kSysName = "1.3.6.1.2.1.1.5.0";

// net-snmp's names of the protocols, where they differ from ours.
std::string PeerName(PrivProtocol privacy) {
  if (privacy == PrivProtocol::kAes192Reeder) return "AES192C";
  if (privacy == PrivProtocol::kAes256Reeder) return "AES256C";
  return std::string(PrivProtocolName(privacy));
}

std::string UserName(AuthProtocol protocol, PrivProtocol privacy) {
  std::string name = "u" + std::string(AuthProtocolName(protocol)) + PeerName(privacy);
  std::erase(name, '-');
  return name;
}

class UsmSnmpdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = testing_support::PeersUnavailable({"snmpd", "snmpget"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    std::string config = "exactEngineID 0x" + std::string(kExampleEngineId) + "\n";
    const std::string passphrase(kExamplePassphrase);
    for (const auto& v : testing_support::kAuthKeyVectors) {
      const std::string user = UserName(v.protocol, PrivProtocol::kNone);
      config += "createUser " + user + " " + std::string(AuthProtocolName(v.protocol)) + " " +
                passphrase + "\nrouser " + user + " auth\n";
    }
    for (const auto& v : testing_support::kPrivKeyVectors) {
      const std::string user = UserName(v.protocol, v.privacy);
      config += "createUser " + user + " " + std::string(AuthProtocolName(v.protocol)) + " " +
                passphrase + " " + PeerName(v.privacy) + " " + passphrase + "\nrouser " + user +
                " priv\n";
    }
    ASSERT_TRUE(snmpd_.Start(config)) << "snmpd did not start; its log:\n" << snmpd_.Log();
  }

  // True when snmpget, holding these localized keys (hexadecimal), reads sysName.0.
  bool Answers(AuthProtocol protocol, PrivProtocol privacy, const std::string& auth_key,
               const std::string& privacy_key) {
    std::string command = "snmpget -v3 -t 1 -r 0 -u " + UserName(protocol, privacy) + " -a " +
                          std::string(AuthProtocolName(protocol)) + " -3k 0x" + auth_key;
    if (privacy == PrivProtocol::kNone) {
      command += " -l authNoPriv";
    } else {
      command += " -l authPriv -x " + PeerName(privacy) + " -3K 0x" + privacy_key;
    }
    const testing_support::ToolRun run = testing_support::RunNetSnmpTool(
        dir_.path() / "manager", command + " 127.0.0.1:" + snmpd_.port() + " " + kSysName);
    last_output_ = run.output + run.errors;
    return run.output.find("STRING:") != std::string::npos;
  }

  // The key with its first byte changed in a bit that is no DES parity bit (a wrong pre-IV
  // would only garble a byte of the context engine ID, which snmpd lets pass).
  static std::string Spoiled(std::string_view hex_key) {
    std::string spoiled(hex_key);
    spoiled.front() = spoiled.front() == '0' ? '8' : '0';
    return spoiled;
  }

  TempDirectory dir_;
  testing_support::SnmpdProcess snmpd_{dir_.path() / "agent"};
  std::string last_output_;
};

TEST_F(UsmSnmpdTest, LocalizedAuthenticationKeysOfEveryHash) {
  for (const auto& v : testing_support::kAuthKeyVectors) {
    SCOPED_TRACE(AuthProtocolName(v.protocol));
    EXPECT_TRUE(Answers(v.protocol, PrivProtocol::kNone, std::string(v.localized_key), ""))
        << last_output_;
    EXPECT_FALSE(Answers(v.protocol, PrivProtocol::kNone, Spoiled(v.localized_key), ""));
  }
}

TEST_F(UsmSnmpdTest, LocalizedPrivacyKeysWithTheirExtensions) {
  for (const auto& v : testing_support::kPrivKeyVectors) {
    SCOPED_TRACE(UserName(v.protocol, v.privacy));
    std::string auth_key;
    for (const auto& a : testing_support::kAuthKeyVectors) {
      if (a.protocol == v.protocol) auth_key = a.localized_key;
    }
    EXPECT_TRUE(Answers(v.protocol, v.privacy, auth_key, std::string(v.key))) << last_output_;
    EXPECT_FALSE(Answers(v.protocol, v.privacy, auth_key, Spoiled(v.key)));
  }
}

}  // namespace
}  // namespace zelsnmp
