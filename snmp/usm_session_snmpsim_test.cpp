// The version-3 exchange against another engine than net-snmp's: Debian's snmpsim (snmpsimd),
// started here on a loopback port as user nobody with one user per protocol pair, reads through
// a UsmSession the values of the data file that the context name selects. Skipped (never
// passed) where snmpsimd is not installed.

#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "snmp/snmp_client.h"
#include "snmp/usm_session.h"
#include "testing/peer_programs.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using testing_support::TempDirectory;

const std::string kOid = "1.3.6.1.4.1.7.1";
const std::string kAuthPass = "simulated-auth-4Rt";
const std::string kPrivPass = "simulated-priv-8Wq";
// Two data files: the context name (the file's name) chooses which one answers.
const struct {
  const char* context;
  const char* value;
} kContexts[] = {{"plant", "4242"}, {"substation", "-17"}};

struct User {
  const char* name;
  AuthProtocol auth;
  const char* peer_auth;  // snmpsimd's name of it
  PrivProtocol priv;
  const char* peer_priv;
};

// snmpsimd's AES192 and AES256 extend a short key by a second localization, its "BLMT" ones by
// hashing: the hashes shorter than the cipher's key tell the two apart.
const User kUsers[] = {
    {"u3des", AuthProtocol::kSha1, "SHA", PrivProtocol::kTripleDes, "3DES"},
    {"uaes192c", AuthProtocol::kSha1, "SHA", PrivProtocol::kAes192Reeder, "AES192"},
    {"uaes256c", AuthProtocol::kSha224, "SHA224", PrivProtocol::kAes256Reeder, "AES256"},
    {"uaes192", AuthProtocol::kMd5, "MD5", PrivProtocol::kAes192, "AES192BLMT"},
    {"uaes256", AuthProtocol::kSha1, "SHA", PrivProtocol::kAes256, "AES256BLMT"},
    {"uaes", AuthProtocol::kSha256, "SHA256", PrivProtocol::kAes128, "AES128"},
    {"udes", AuthProtocol::kSha512, "SHA512", PrivProtocol::kDes, "DES"},
    {"uaes256sha384", AuthProtocol::kSha384, "SHA384", PrivProtocol::kAes256Reeder, "AES256"},
};

class UsmSessionSnmpsimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = testing_support::PeersUnavailable({"snmpsimd"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    std::vector<std::pair<std::string, std::string>> data;
    for (const auto& context : kContexts) {
      data.emplace_back(std::string(context.context) + ".snmprec",
                        kOid + "|2|" + context.value + "\n");
    }
    std::vector<std::string> options = {"--v3-only", "--v3-engine-id=80001f88047a656c73696d"};
    for (const User& user : kUsers) {
      options.insert(
          options.end(),
          {std::string("--v3-user=") + user.name, "--v3-auth-key=" + kAuthPass,
           std::string("--v3-auth-proto=") + user.peer_auth, "--v3-priv-key=" + kPrivPass,
           std::string("--v3-priv-proto=") + user.peer_priv});
    }
    // Its log holds the keys it was given: it stays in the test's directory.
    simulator_.emplace(dir_.path() / "snmpsimd", "127.0.0.1", "", data, options);
    ASSERT_TRUE(simulator_->listening()) << "snmpsimd did not start; its log:\n" << SimLog();
    client_.TargetHost = "127.0.0.1";
    client_.TargetPort = simulator_->port();
    client_.Timeout = 1000;
  }

  // snmpsimd's log without the lines that show the keys it was given.
  std::string SimLog() const {
    std::string shown;
    std::istringstream log(simulator_->Log());
    for (std::string line; std::getline(log, line);) {
      if (line.find(kAuthPass) == std::string::npos && line.find(kPrivPass) == std::string::npos) {
        shown += line + "\n";
      }
    }
    return shown;
  }

  static UsmSecurity SecurityOf(const User& user, const std::string& context) {
    UsmSecurity security;
    security.user_name = user.name;
    security.auth = user.auth;
    security.auth_passphrase = SecretBytes(kAuthPass);
    security.priv = user.priv;
    security.priv_passphrase = SecretBytes(kPrivPass);
    security.context_name = context;
    return security;
  }

  bool Read(UsmSession& session) {
    client_.Security = &session;
    client_.Query().ResetMessage();
    client_.Query().PDUType = PduGetRequest;
    client_.Query().AddBinding(kOid, "", TagNull);
    return client_.SendQuery();
  }

  TempDirectory dir_;
  std::optional<testing_support::SnmpsimdProcess> simulator_;
  UsmKeyCache keys_;
  TSNMPSend client_;
};

TEST_F(UsmSessionSnmpsimTest, EveryPrivacyProtocolReadsTheContextsDataFile) {
  for (const User& user : kUsers) {
    for (const auto& context : kContexts) {
      SCOPED_TRACE(std::string(user.name) + " " + context.context);
      UsmSession session(SecurityOf(user, context.context), keys_);
      ASSERT_TRUE(Read(session)) << session.StatusText();
      EXPECT_EQ(session.level(), SecurityLevel::kAuthPriv);
      EXPECT_EQ(client_.Reply().BindingValue(kOid), context.value);
    }
  }
}

}  // namespace
}  // namespace zelsnmp
