// The version-3 exchange against another engine than net-snmp's: Debian's snmpsim (snmpsimd),
// started here on a loopback port as user nobody with one user per protocol pair, reads through
// a UsmSession the values of the data file that the context name selects. Skipped (never
// passed) where snmpsimd is not installed.

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "snmp/ber.h"
#include "snmp/snmp_client.h"
#include "snmp/snmp_client_test_util.h"
#include "snmp/usm_session.h"
#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using Clock = std::chrono::steady_clock;
using testing::RunShell;
using testing::ShellQuote;
using testing_support::ReadFile;
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
    if (!testing::ProgramAvailable("snmpsimd")) {
      GTEST_SKIP() << "snmpsimd is not installed (Debian package snmpsim)";
    }
    namespace fs = std::filesystem;
    fs::create_directories(dir_.path() / "data");
    fs::create_directories(dir_.path() / "cache");
    for (const auto& context : kContexts) {
      testing_support::WriteFile(dir_.path() / "data" / (std::string(context.context) + ".snmprec"),
                                 kOid + "|2|" + context.value + "\n");
    }
    // snmpsimd refuses to run as root: it drops to nobody, who must read the data and write
    // the index cache.
    for (const fs::path& path : {dir_.path(), dir_.path() / "data", dir_.path() / "cache"}) {
      fs::permissions(path, fs::perms::all);
    }
    std::string command = "snmpsimd --process-user=nobody --process-group=nogroup --v3-only";
    command += " --data-dir=" + ShellQuote((dir_.path() / "data").string());
    command += " --cache-dir=" + ShellQuote((dir_.path() / "cache").string());
    command += " --v3-engine-id=80001f88047a656c73696d";
    for (const User& user : kUsers) {
      command += std::string(" --v3-user=") + user.name + " --v3-auth-key=" + kAuthPass +
                 " --v3-auth-proto=" + user.peer_auth + " --v3-priv-key=" + kPrivPass +
                 " --v3-priv-proto=" + user.peer_priv;
    }
    port_ = std::to_string(testing::FreeUdpPort("127.0.0.1"));
    command += " --agent-udpv4-endpoint=127.0.0.1:" + port_;
    // Its log holds the keys it was given: it stays in the test's directory.
    RunShell(command + " --logging-method=file:" + ShellQuote((dir_.path() / "sim.log").string()) +
             " >/dev/null 2>&1 & echo $! >" + ShellQuote((dir_.path() / "sim.pid").string()));
    pid_ = ReadFile(dir_.path() / "sim.pid");
    while (!pid_.empty() && pid_.back() == '\n') pid_.pop_back();
    client_.TargetHost = "127.0.0.1";
    client_.TargetPort = port_;
    client_.Timeout = 1000;
    // It takes a few seconds to index its data and listen.
    UsmSession probe(SecurityOf(kUsers[0], kContexts[0].context), keys_);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!Read(probe)) {
      ASSERT_LT(Clock::now(), deadline) << "snmpsimd did not answer; its log:\n" << SimLog();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }

  // snmpsimd's log without the lines that show the keys it was given.
  std::string SimLog() const {
    std::string shown;
    std::istringstream log(ReadFile(dir_.path() / "sim.log"));
    for (std::string line; std::getline(log, line);) {
      if (line.find(kAuthPass) == std::string::npos && line.find(kPrivPass) == std::string::npos) {
        shown += line + "\n";
      }
    }
    return shown;
  }

  void TearDown() override {
    if (!pid_.empty()) RunShell("kill -TERM " + pid_ + " 2>/dev/null");
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
  std::string port_;
  std::string pid_;
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
