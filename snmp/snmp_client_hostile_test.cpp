// The exchange against senders that try to get their values into the answers of others: forged
// answers with the next request IDs, an off-path flood cycling through IDs, the request echoed
// back, and datagrams of deeply nested SEQUENCEs. All on loopback, bounded in count and time.

#include <atomic>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "net/block_socket.h"
#include "net/socket_error.h"
#include "snmp/ber.h"
#include "snmp/snmp_client.h"
#include "testing/agent_process.h"
#include "testing/hostile_datagrams.h"

namespace zelsnmp {
namespace {

using namespace std::chrono_literals;
using testing_support::AgentProcess;
using testing_support::IntegerResponse;
using testing_support::NestedSequences;

const std::string kIfInOctets = "1.3.6.1.2.1.2.2.1.10.1";
constexpr int kTimeoutMs = 300;
constexpr std::int32_t kForgedValue = 666;

// An agent of the test's own making: for every request it receives it runs `behaviour` with
// its socket, whose sends then go back to the requester.
class HostileAgent {
 public:
  using Behaviour = std::function<void(TUDPBlockSocket& socket, const TSNMPRec& request,
                                       const std::string& request_bytes)>;
  HostileAgent(const std::string& address, Behaviour behaviour) : behaviour_(std::move(behaviour)) {
    socket_.BindLocal(address, "0");
    port_ = std::to_string(socket_.LocalPortNumber());
    thread_ = std::thread([this] {
      while (!stop_) {
        const std::string bytes = socket_.ReceiveDatagram(20);
        TSNMPRec request;
        if (socket_.LastErrorCode() == 0 && request.DecodeMessage(bytes)) {
          behaviour_(socket_, request, bytes);
        }
      }
    });
  }
  ~HostileAgent() {
    stop_ = true;
    thread_.join();
  }
  const std::string& port() const { return port_; }

 private:
  Behaviour behaviour_;
  TUDPBlockSocket socket_;
  std::string port_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void Ask(TSNMPSend& client, const std::string& host, const std::string& port) {
  client.Query().ResetMessage();
  client.Query().Community = "public";
  client.Query().Version = kSnmpVersion2c;
  client.Query().PDUType = PduGetRequest;
  client.Query().AddBinding(kIfInOctets, "", TagNull);
  client.TargetHost = host;
  client.TargetPort = port;
}

// Forged answers for the requests that follow one: the IDs a counting client would use next.
void SendForgeries(TUDPBlockSocket& socket, std::int32_t seen_id) {
  for (std::int32_t next = 1; next <= 5; ++next) {
    socket.SendDatagram(IntegerResponse(seen_id + next, kIfInOctets, kForgedValue));
  }
}

struct ForgerCase {
  const char* name;
  bool answers_own_request;  // true: answers and forges at once; false: forges after time-out
};

void PrintTo(const ForgerCase& c, std::ostream* out) {
  *out << c.name;
}

class ForgerTest : public testing::TestWithParam<ForgerCase> {};

TEST_P(ForgerTest, ForgedAnswersReachNoOtherRequest) {
  const ForgerCase& c = GetParam();
  // The honest agent answers after a pause, so that late forgeries land while it is awaited.
  AgentProcess honest("127.0.0.2:0", kIfInOctets + "|65|10\n", {"--delay", "100"});
  ASSERT_TRUE(honest.listening()) << honest.Output();
  HostileAgent forger("127.0.0.6",
                      [&c](TUDPBlockSocket& socket, const TSNMPRec& request, const std::string&) {
                        if (c.answers_own_request) {
                          socket.SendDatagram(IntegerResponse(request.ID, kIfInOctets, 1));
                        } else {
                          std::this_thread::sleep_for(std::chrono::milliseconds(kTimeoutMs + 20));
                        }
                        SendForgeries(socket, request.ID);
                      });

  TSNMPSend client;
  client.Timeout = kTimeoutMs;
  for (int round = 0; round < 3; ++round) {
    Ask(client, "127.0.0.6", forger.port());
    EXPECT_EQ(client.SendQuery(), c.answers_own_request);
    if (c.answers_own_request) {
      EXPECT_EQ(client.Reply().BindingValue(kIfInOctets), "1");
    }
    for (int next = 0; next < 2; ++next) {
      Ask(client, honest.address(), honest.port());
      ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
      EXPECT_EQ(client.Reply().BindingValue(kIfInOctets), "10") << round;
      // Wine gives every loopback sender as 127.0.0.1.
      EXPECT_EQ(client.HostIP(), testing_support::DistinctLoopbackAgents() ? honest.address()
                                                                           : "127.0.0.1");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Forgers, ForgerTest,
                         testing::Values(ForgerCase{"AtOnce", true},
                                         ForgerCase{"JustAfterTimeout", false}),
                         [](const testing::TestParamInfo<ForgerCase>& param_info) {
                           return std::string(param_info.param.name);
                         });

// A sender off the path that cannot see the requests cycles through IDs 1 to 400 as fast as it
// can while a silent and an honest agent are asked: the silent one stays silent, the honest
// one's value is the only one taken.
TEST(SNMPSendHostileTest, OffPathFloodCyclingIdsAnswersNothing) {
  AgentProcess honest("127.0.0.2:0", kIfInOctets + "|65|10\n");
  AgentProcess silent("127.0.0.3:0", kIfInOctets + "|65|20\n", {"--silent"});
  ASSERT_TRUE(honest.listening() && silent.listening());
  TSNMPSend client;
  client.Timeout = kTimeoutMs;
  Ask(client, honest.address(), honest.port());
  ASSERT_TRUE(client.SendQuery());
  const std::string client_port = std::to_string(client.Sock().LocalPortNumber());

  std::atomic<bool> done{false};
  std::atomic<int> sent{0};
  std::thread flood([&] {
    TUDPBlockSocket sender;
    sender.BindLocal("127.0.0.7", "0");
    sender.ConnectTo("127.0.0.1", client_port);
    const auto stop_at = std::chrono::steady_clock::now() + 5s;
    for (std::int32_t id = 1; !done && sent < 200000 && std::chrono::steady_clock::now() < stop_at;
         id = id % 400 + 1) {
      sender.SendDatagram(IntegerResponse(id, kIfInOctets, kForgedValue));
      ++sent;
    }
  });
  for (int round = 0; round < 3; ++round) {
    Ask(client, silent.address(), silent.port());
    EXPECT_FALSE(client.SendQuery());
    EXPECT_EQ(client.LastErrorCode(), kSocketErrorTimedOut);
    Ask(client, honest.address(), honest.port());
    ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
    EXPECT_EQ(client.Reply().BindingValue(kIfInOctets), "10");
  }
  done = true;
  flood.join();
  EXPECT_GT(sent, 400);
}

TEST(SNMPSendHostileTest, EchoedRequestIsNoAnswer) {
  HostileAgent mirror("127.0.0.6", [](TUDPBlockSocket& socket, const TSNMPRec&,
                                      const std::string& bytes) { socket.SendDatagram(bytes); });
  TSNMPSend client;
  client.Timeout = kTimeoutMs;
  Ask(client, "127.0.0.6", mirror.port());
  EXPECT_FALSE(client.SendQuery());
  EXPECT_EQ(client.LastErrorCode(), kSocketErrorTimedOut);
  EXPECT_EQ(client.Reply().BindingCount(), 0);
}

// 200 datagrams of 65,000 bytes of nested SEQUENCEs before the answer (most are lost in the
// socket's queue), then the answer itself nested: the honest answer is taken, and the nested
// one decodes to no binding.
TEST(SNMPSendHostileTest, NestedSequencesBeforeTheAnswerAndAsTheAnswer) {
  std::atomic<int> requests{0};
  HostileAgent nester("127.0.0.6", [&requests](TUDPBlockSocket& socket, const TSNMPRec& request,
                                               const std::string&) {
    if (requests++ == 0) {
      const std::string other = NestedSequences(65000, request.ID + 1);
      for (int i = 0; i < 200; ++i) socket.SendDatagram(other);
      socket.SendDatagram(IntegerResponse(request.ID, kIfInOctets, 5));
    } else {
      socket.SendDatagram(NestedSequences(65000, request.ID));
    }
  });
  TSNMPSend client;
  client.Timeout = 2000;
  Ask(client, "127.0.0.6", nester.port());
  ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
  EXPECT_EQ(client.Reply().BindingValue(kIfInOctets), "5");
  Ask(client, "127.0.0.6", nester.port());
  ASSERT_TRUE(client.SendQuery()) << client.LastErrorText();
  EXPECT_EQ(client.Reply().BindingCount(), 0);
  EXPECT_GT(client.Buffer.size(), 64000u);
}

}  // namespace
}  // namespace zelsnmp
