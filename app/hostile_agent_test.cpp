// The task against hostile agents: the real zelSNMP polls, in its own network namespace
// (testing/private_network_main.cpp), first an agent of the test's making on 127.0.0.3:161 that
// answers with damaged, oversized, nested, late, flooding or forged datagrams, then an honest
// agent simulator on 127.0.0.2:161. Every case checks the journal (the honest agent's value arrives, no forged
// value reaches any point, the hostile agent's point gets its own value, an unreadable value or
// flags) and the task's peak memory (VmHWM) once the pass has reached the honest agent.

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/private_network.h"
#include "app/task_runner.h"
#include "net/block_socket.h"
#include "snmp/ber.h"
#include "snmp/snmp_message.h"
#include "testing/agent_process.h"
#include "testing/hostile_datagrams.h"
#include "testing/journal.h"

namespace zelsnmp {
namespace {

using namespace std::chrono_literals;
using testing_support::AgentProcess;
using testing_support::IntegerResponse;
using testing_support::NestedSequences;

const std::string kOid = "1.3.6.1.4.1.7.1";
constexpr std::int32_t kOwnValue = 7;       // the hostile agent's true value: "#TC" writes 6
constexpr std::int32_t kForgedValue = 666;  // what it tries to plant: "#TC" would write 665
const std::string kHonestPoint = "1:1:1";
const std::string kHostilePoint = "1:1:2";
constexpr const char* kOwnWrite = "slSetStatus 6";
constexpr const char* kFlags = "slSetStatusFlags 0x0001";

#if defined(__SANITIZE_ADDRESS__)
constexpr long kPeakLimitKb = 64 * 1024;  // the sanitizer's shadow memory comes on top
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr long kPeakLimitKb = 64 * 1024;
#else
constexpr long kPeakLimitKb = 16 * 1024;
#endif
#else
constexpr long kPeakLimitKb = 16 * 1024;
#endif

// The answer to `request` whose binding is `kOid` = `value`.
std::string Answer(const TSNMPRec& request, std::int32_t value) {
  return IntegerResponse(request.ID, kOid, value);
}

// An answer whose INTEGER value item announces `length_octets` as its length.
std::string AnswerWithValueLength(std::int32_t id, const std::string& length_octets) {
  std::string binding =
      BuildBerObject(OidTextToBer(kOid), TagObjectId) + "\x02" + length_octets + "\x07";
  std::string pdu = BuildBerObject(EncodeBerInteger(id), TagInteger) +
                    BuildBerObject(EncodeBerInteger(0), TagInteger) +
                    BuildBerObject(EncodeBerInteger(0), TagInteger) +
                    BuildBerObject(BuildBerObject(binding, TagSequence), TagSequence);
  return BuildBerObject(BuildBerObject(EncodeBerInteger(kSnmpVersion2c), TagInteger) +
                            BuildBerObject("public", TagOctetString) +
                            BuildBerObject(pdu, PduResponse),
                        TagSequence);
}

// Length octets of `count` bytes (0x80 + count, then the bytes) for the value `value`.
std::string LongFormLength(int count, std::uint64_t value) {
  std::string octets(1, static_cast<char>(0x80 + count));
  for (int i = count - 1; i >= 0; --i) {
    octets += static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0);
  }
  return octets;
}

using Behaviour = std::function<void(TUDPBlockSocket& socket, const TSNMPRec& request)>;

struct HostileCase {
  const char* name;
  Behaviour behaviour;
  const char* first_write;  // the hostile point's first write, or nullptr when any is right
};

// The case's name in test listings instead of its bytes.
void PrintTo(const HostileCase& c, std::ostream* out) {
  *out << c.name;
}

void Send(TUDPBlockSocket& socket, const std::string& datagram) {
  socket.SendDatagram(datagram);
}

const HostileCase kCases[] = {
    {"AnswerCutAtEveryLength",
     [](TUDPBlockSocket& s, const TSNMPRec& r) {
       const std::string whole = Answer(r, kOwnValue);
       for (std::size_t length = 1; length < whole.size(); ++length) {
         Send(s, whole.substr(0, length));
       }
       Send(s, whole);
     },
     kOwnWrite},
    {"OuterLengthsOfTwoToTheThirtyFirstAndLongForms",
     [](TUDPBlockSocket& s, const TSNMPRec& r) {
       const std::string whole = Answer(r, kOwnValue);
       const std::string content = whole.substr(2);  // short-form outer length in the answer
       // (A length whose last four bytes are 0 would read as 0: only the last four count.)
       for (std::uint64_t length : {0x80000000ull, 0xFFFFFFFFull, 0x1FFFFFFFFull}) {
         Send(s, "\x30" + LongFormLength(8, length) + content);
       }
       for (int count = 5; count <= 127; ++count) {
         Send(s, "\x30" + LongFormLength(count, 0xFFFFFFFFFFull) + content);
       }
       Send(s, whole);
     },
     kOwnWrite},
    {"ValueLengthsOfTwoToTheThirtyFirstAndLongForms",
     [](TUDPBlockSocket& s, const TSNMPRec& r) {
       // With the wrong ID first (dropped unread), then with the right one (taken, unreadable).
       for (std::int32_t id : {r.ID + 1, r.ID}) {
         for (std::uint64_t length : {0x80000000ull, 0xFFFFFFFFull, 0x100000000ull}) {
           Send(s, AnswerWithValueLength(id, LongFormLength(5, length)));
         }
         for (int count = 5; count <= 127; ++count) {
           Send(s, AnswerWithValueLength(id, LongFormLength(count, 0x80000000ull)));
         }
       }
     },
     nullptr},
    {"DeepNestingFloodThenTheAnswer",
     [](TUDPBlockSocket& s, const TSNMPRec& r) {
       const std::string nested = NestedSequences(65000, r.ID + 1);
       for (int i = 0; i < 200; ++i) Send(s, nested);
       Send(s, Answer(r, kOwnValue));
     },
     kOwnWrite},
    {"DeepNestingAsTheAnswer",
     [](TUDPBlockSocket& s, const TSNMPRec& r) { Send(s, NestedSequences(65000, r.ID)); }, nullptr},
    {"LargestDatagrams",
     [](TUDPBlockSocket& s, const TSNMPRec& r) {
       TSNMPRec big;
       big.Version = kSnmpVersion2c;
       big.PDUType = PduResponse;
       big.Community = "public";
       big.ID = r.ID + 1;
       big.AddBinding(kOid, std::string(65507 - 40, 'x'), TagOctetString);
       std::string datagram = big.EncodeMessage();
       datagram.resize(65507, '\0');  // bytes after the outer content are ignored
       for (int i = 0; i < 50; ++i) Send(s, datagram);
       Send(s, Answer(r, kOwnValue));
     },
     kOwnWrite},
    {"AnswerFloodWhileOthersArePolled",
     [](TUDPBlockSocket& s, const TSNMPRec& r) {
       Send(s, Answer(r, kOwnValue));
       const auto stop_at = std::chrono::steady_clock::now() + 2s;
       for (std::int32_t i = 0; i < 50000 && std::chrono::steady_clock::now() < stop_at; ++i) {
         Send(s, IntegerResponse(r.ID + 1 + i % 400, kOid, kForgedValue));
         Send(s, IntegerResponse(1 + i % 400, kOid, kForgedValue));
       }
     },
     kOwnWrite},
    {"AnswerAtExactlyTheTimeout",
     [](TUDPBlockSocket& s, const TSNMPRec& r) {
       std::this_thread::sleep_for(5000ms);
       Send(s, Answer(r, kOwnValue));
     },
     nullptr},
    {"ForgerWithTheNextIds",
     [](TUDPBlockSocket& s, const TSNMPRec& r) {
       Send(s, Answer(r, kOwnValue));
       for (std::int32_t next = 1; next <= 5; ++next) {
         Send(s, IntegerResponse(r.ID + next, kOid, kForgedValue));
       }
     },
     kOwnWrite},
    {"EchoedRequest",
     [](TUDPBlockSocket& s, const TSNMPRec& r) {
       TSNMPRec echo = r;
       echo.ID = r.ID;
       Send(s, echo.EncodeMessage());
     },
     kFlags},
};

class HostileAgentTest : public testing::TestWithParam<HostileCase> {
 protected:
  void SetUp() override {
    const std::string& reason = testing_support::PrivateNetworkUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
  }

  void TearDown() override {
    stop_ = true;
    if (hostile_.joinable()) hostile_.join();
  }

  // The hostile agent on 127.0.0.3:161: runs the case's behaviour for every request.
  void StartHostile(const Behaviour& behaviour) {
    socket_.BindLocal("127.0.0.3", "161");
    ASSERT_EQ(socket_.LastErrorCode(), 0) << socket_.LastErrorText();
    hostile_ = std::thread([this, behaviour] {
      while (!stop_) {
        const std::string bytes = socket_.ReceiveDatagram(20);
        TSNMPRec request;
        if (socket_.LastErrorCode() == 0 && request.DecodeMessage(bytes)) {
          ++requests_;
          behaviour(socket_, request);
        }
      }
    });
  }

  // VmHWM of the task in kB; 0 when it cannot be read.
  long PeakMemoryKb() const {
    std::ifstream status("/proc/" + std::to_string(task_.pid()) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
  }

  testing_support::SiteTask task_;
  TUDPBlockSocket socket_;
  std::thread hostile_;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
};

TEST_P(HostileAgentTest, NoForgedValueAndBoundedMemory) {
  const HostileCase& c = GetParam();
  AgentProcess honest("127.0.0.2", kOid + "|2|10\n");
  ASSERT_TRUE(honest.listening()) << honest.Output();
  StartHostile(c.behaviour);
  ASSERT_TRUE(task_.Start("[127.0.0.3:public]\n#TC1:1:2=" + kOid +
                          "\n[127.0.0.2:public]\n#TS1:1:1=" + kOid + "\n"));
  const auto journal_file = task_.JournalFile();
  const auto give_up = std::chrono::steady_clock::now() + 30s;
  while (
      testing_support::WritesTo(testing_support::ReadJournal(journal_file), kHonestPoint).empty() &&
      std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(20ms);
  }
  const long peak_kb = PeakMemoryKb();
  EXPECT_EQ(task_.Stop(), 0);

  const auto journal = testing_support::ReadJournal(journal_file);
  const auto honest_writes = testing_support::WritesTo(journal, kHonestPoint);
  ASSERT_FALSE(honest_writes.empty()) << task_.Log("error.log");
  for (const std::string& write : honest_writes) EXPECT_EQ(write, "slSetStatus 10");
  const auto hostile_writes = testing_support::WritesTo(journal, kHostilePoint);
  ASSERT_FALSE(hostile_writes.empty());
  for (const auto& entry : journal) {  // 666 as a "#TS" value, 665 as a "#TC" value
    EXPECT_TRUE(entry.value != "665" && entry.value != "666") << entry.point;
  }
  if (c.first_write != nullptr) {
    EXPECT_EQ(hostile_writes.front(), c.first_write);
  }
  EXPECT_GE(requests_, 1);
  EXPECT_GT(peak_kb, 0);
  EXPECT_LT(peak_kb, kPeakLimitKb);
  std::cout << c.name << ": hostile point " << hostile_writes.front() << ", peak " << peak_kb
            << " kB\n";
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileAgentTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HostileCase>& param_info) {
                           return std::string(param_info.param.name);
                         });

}  // namespace
}  // namespace zelsnmp
