#include "tools/agentsim/agent_options.h"

#include <ostream>

#include <gtest/gtest.h>

namespace zelsnmp::agentsim {
namespace {

struct ListenCase {
  const char* text;
  bool ok;
  std::string address;
  std::string port;
};

void PrintTo(const ListenCase& c, std::ostream* out) { *out << "\"" << c.text << "\""; }

class ListenAddressTest : public ::testing::TestWithParam<ListenCase> {};

TEST_P(ListenAddressTest, Splits) {
  std::string address;
  std::string port = "161";
  ASSERT_EQ(SplitListenAddress(GetParam().text, address, port), GetParam().ok);
  if (!GetParam().ok) return;
  EXPECT_EQ(address, GetParam().address);
  EXPECT_EQ(port, GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ListenAddressTest,
    ::testing::Values(ListenCase{"127.0.0.2", true, "127.0.0.2", "161"},
                      ListenCase{"127.0.0.2:1161", true, "127.0.0.2", "1161"},
                      ListenCase{"127.0.0.2:0", true, "127.0.0.2", "0"},
                      ListenCase{"[::1]:1161", true, "::1", "1161"},
                      ListenCase{"[::1]", true, "::1", "161"},
                      ListenCase{"::1", true, "::1", "161"},
                      ListenCase{"127.0.0.2:", false, "", ""},
                      ListenCase{"127.0.0.2:65536", false, "", ""},
                      ListenCase{"127.0.0.2:x", false, "", ""},
                      ListenCase{"[::1", false, "", ""},
                      ListenCase{"[::1]1161", false, "", ""},
                      ListenCase{"[]:1", false, "", ""},
                      ListenCase{"", false, "", ""}));

TEST(AgentOptionsTest, EveryOption) {
  AgentOptionsResult result = ParseAgentOptions(
      {"--listen", "127.0.0.3:2000", "--data", "a.snmprec", "--community", "private",
       "--silent", "--delay", "250", "--wrong-id", "--twice", "--garbage-first",
       "--empty-first", "--from", "127.0.0.4", "--error-status", "1", "--omit-missing"});
  ASSERT_EQ(result.error, "");
  const AgentOptions& o = result.options;
  EXPECT_EQ(o.listen_address, "127.0.0.3");
  EXPECT_EQ(o.listen_port, "2000");
  EXPECT_EQ(o.data_path, "a.snmprec");
  EXPECT_EQ(o.community, "private");
  EXPECT_TRUE(o.omit_missing);
  EXPECT_TRUE(o.silent && o.wrong_id && o.twice && o.garbage_first && o.empty_first);
  EXPECT_EQ(o.delay_ms, 250);
  EXPECT_EQ(o.from_address, "127.0.0.4");
  EXPECT_EQ(o.error_status, 1);
}

TEST(AgentOptionsTest, Defaults) {
  AgentOptionsResult result = ParseAgentOptions({"--data", "a", "--listen", "127.0.0.2"});
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.options.listen_port, "161");
  EXPECT_FALSE(result.options.community.has_value());
  EXPECT_EQ(result.options.delay_ms, 0);
  EXPECT_TRUE(result.options.from_address.empty());
  EXPECT_EQ(result.options.error_status, 0);
}

struct BadCommandCase {
  std::vector<std::string> arguments;
  std::string error;
};

class AgentOptionsErrorTest : public ::testing::TestWithParam<BadCommandCase> {};

TEST_P(AgentOptionsErrorTest, IsRefusedWithReason) {
  EXPECT_EQ(ParseAgentOptions(GetParam().arguments).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, AgentOptionsErrorTest,
    ::testing::Values(
        BadCommandCase{{}, "--listen is required"},
        BadCommandCase{{"--listen", "127.0.0.2"}, "--data is required"},
        BadCommandCase{{"--listen"}, "--listen needs ADDR[:PORT]"},
        BadCommandCase{{"--listen", "1.2.3.4:99999", "--data", "f"},
                       "--listen: \"1.2.3.4:99999\" is not ADDR[:PORT]"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--delay", "-5"},
                       "--delay needs milliseconds from 0 to 3600000"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--delay"},
                       "--delay needs milliseconds from 0 to 3600000"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--from"},
                       "--from needs a local address"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--error-status", "256"},
                       "--error-status needs a number from 0 to 255"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--loud"},
                       "unknown option \"--loud\""},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--max-oids", "x"},
                       "--max-oids needs a number from 0 to 65535"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--drop-above"},
                       "--drop-above needs a number from 0 to 65535"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--error-index-for", ".1.3"},
                       "--error-index-for needs a dotted OID"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--loss", "101"},
                       "--loss needs a percentage from 0 to 100"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--seed", "-1"},
                       "--seed needs a number from 0 to 4294967295"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--port-only"},
                       "--port-only needs --listen with a port other than 161"},
        BadCommandCase{{"--listen", "127.0.0.2:0161", "--data", "f", "--port-only"},
                       "--port-only needs --listen with a port other than 161"},
        // The passphrase never appears in an error text.
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--v3-user", "u", "--auth",
                        "SHA-999:secret-words"},
                       "--auth: unknown protocol \"SHA-999\""},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--v3-user", "u", "--auth",
                        "secret-words"},
                       "--auth needs PROTO:PASSPHRASE"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--v3-user", "u", "--auth",
                        "MD5:x", "--priv", "none:secret-words"},
                       "--priv: unknown protocol \"none\""},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--auth", "MD5:secret"},
                       "--auth needs --v3-user"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--v3-user", "u", "--priv",
                        "DES:secret"},
                       "--priv needs --auth"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--engine-id", "80001f88"},
                       "--engine-id needs 5 to 32 bytes in hexadecimal"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--engine-id", "80001f888g"},
                       "--engine-id needs 5 to 32 bytes in hexadecimal"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--boots", "2147483648"},
                       "--boots needs a number from 0 to 2147483647"},
        BadCommandCase{{"--listen", "127.0.0.2", "--data", "f", "--clock-skew", "1s"},
                       "--clock-skew needs seconds, possibly negative"}));

TEST(AgentOptionsTest, Version3User) {
  AgentOptionsResult r = ParseAgentOptions(
      {"--listen", "127.0.0.2", "--data", "f", "--v3-user", "ops", "--auth", "sha-256:a:b c",
       "--priv", "AES-192-C:p", "--engine-id", "0x8000000001", "--boots", "7", "--reboot-after",
       "3", "--new-engine-after", "5", "--clock-skew", "-200", "--bad-digest", "--report-flood",
       "--replay"});
  ASSERT_EQ(r.error, "");
  const AgentOptions& o = r.options;
  EXPECT_EQ(o.v3_user, "ops");
  EXPECT_EQ(o.auth_protocol, AuthProtocol::kSha256);
  EXPECT_EQ(o.auth_passphrase, SecretBytes("a:b c"));
  EXPECT_EQ(o.priv_protocol, PrivProtocol::kAes192Reeder);
  EXPECT_EQ(o.priv_passphrase, SecretBytes("p"));
  EXPECT_EQ(o.engine_id, std::string("\x80\0\0\0\x01", 5));
  EXPECT_EQ(o.engine_boots, 7);
  EXPECT_EQ(o.reboot_after, 3u);
  EXPECT_EQ(o.new_engine_after, 5u);
  EXPECT_EQ(o.clock_skew_seconds, -200);
  EXPECT_TRUE(o.bad_digest && o.report_flood && o.replay);
}

TEST(AgentOptionsTest, DeviceFitFaults) {
  AgentOptionsResult result = ParseAgentOptions(
      {"--listen", "127.0.0.2:1161", "--data", "f", "--max-oids", "10", "--max-size", "484",
       "--drop-above", "0", "--error-status", "5", "--error-index-for", "1.3.6.1.2.1.1.3.0",
       "--loss", "30", "--seed", "4294967295", "--port-only", "--lenient"});
  ASSERT_EQ(result.error, "");
  const AgentOptions& o = result.options;
  EXPECT_EQ(o.max_oids, 10u);
  EXPECT_EQ(o.max_size, 484u);
  EXPECT_EQ(o.drop_above, 0u);
  EXPECT_EQ(o.error_index_for, "1.3.6.1.2.1.1.3.0");
  // The status goes to the blamed binding's answer, not to every answer.
  EXPECT_EQ(o.error_index_status, 5);
  EXPECT_EQ(o.error_status, 0);
  EXPECT_EQ(o.loss_percent, 30);
  EXPECT_EQ(o.seed, 4294967295u);
  EXPECT_TRUE(o.port_only && o.lenient);
  result = ParseAgentOptions({"--error-index-for", "1.3.6", "--listen", "::1", "--data", "f"});
  EXPECT_EQ(result.options.error_index_status, 2);
}

TEST(AgentOptionsTest, HelpNeedsNothingElse) {
  AgentOptionsResult result = ParseAgentOptions({"--help"});
  EXPECT_TRUE(result.show_help);
  EXPECT_EQ(result.error, "");
  result = ParseAgentOptions({"--version"});
  EXPECT_TRUE(result.show_version);
  EXPECT_EQ(result.error, "");
}

}  // namespace
}  // namespace zelsnmp::agentsim
