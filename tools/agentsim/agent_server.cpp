#include "tools/agentsim/agent_server.h"

#include <chrono>
#include <iostream>
#include <random>
#include <thread>
#include <vector>

#include "net/block_socket.h"
#include "snmp/snmp_message.h"
#include "tools/agentsim/device_counters.h"
#include "snmp/v3_message.h"
#include "tools/agentsim/agent_engine.h"
#include "tools/agentsim/agent_responder.h"
#include "tools/agentsim/v3_responder.h"

namespace zelsnmp::agentsim {
namespace {

// How often a blocked wait looks at the stop request.
constexpr int kStopCheckIntervalMs = 100;
// Added to the request ID by --wrong-id: far from any ID the client will send soon.
constexpr std::uint32_t kWrongIdOffset = 1000000;
constexpr std::uint32_t kPercent = 100;

std::string EndpointText(const TBlockSocket& socket, bool remote) {
  std::string address = remote ? socket.RemoteAddressText() : socket.LocalAddressText();
  std::uint16_t port = remote ? socket.RemotePortNumber() : socket.LocalPortNumber();
  if (address.find(':') != std::string::npos) address = "[" + address + "]";
  return address + ":" + std::to_string(port);
}

// Sleeps `delay_ms`, ending early on a stop request; false when stopped.
bool SleepUnlessStopped(int delay_ms, const std::function<bool()>& stop_requested) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    if (stop_requested()) return false;
    auto left = deadline - std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        left, std::chrono::milliseconds(kStopCheckIntervalMs)));
  }
  return true;
}

// `options` with one fault drawn at random for one answer (none for half of them).
AgentOptions WithRandomFault(const AgentOptions& options, std::mt19937& random) {
  AgentOptions faulty = options;
  switch (random() % 14) {
    case 0:
      faulty.silent = true;
      break;
    case 1:
      faulty.delay_ms = 50;
      break;
    case 2:
      faulty.twice = true;
      break;
    case 3:
      faulty.garbage_first = true;
      break;
    case 4:
      faulty.empty_first = true;
      break;
    case 5:
      faulty.wrong_id = true;
      break;
    case 6:
      faulty.error_status = 5;
      break;
    default:
      break;
  }
  return faulty;
}

bool SendOrReport(TUDPBlockSocket& socket, const std::string& datagram) {
  socket.SendDatagram(datagram);
  if (socket.LastErrorCode() == 0) return true;
  std::cerr << "agentsim: send failed: " << socket.LastErrorCode() << " "
            << socket.LastErrorText() << std::endl;
  return false;
}

std::int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// "received SENDER id=N at=MS" for a request as it arrives, before any delay; MS on the
// machine's monotonic clock, which the agents of one machine share. For a version-3 message
// N is its msgID (the request ID may be encrypted), followed by "v3 user="NAME" level=LEVEL".
void LogReceived(const std::string& datagram, const std::string& sender) {
  TSNMPRec header;
  if (!header.DecodeHeader(datagram)) return;
  if (header.Version != kSnmpVersion3) {
    std::cout << "received " << sender << " id=" << header.ID << " at=" << MonotonicMs()
              << std::endl;
    return;
  }
  DecodedV3Message message;
  if (!DecodeV3Message(datagram, message)) return;
  std::cout << "received " << sender << " id=" << message.header.message_id
            << " at=" << MonotonicMs() << " v3 user=\""
            << PrintableText(message.security.user_name) << "\" level="
            << SecurityLevelName(SecurityLevelOf(message.header.flags)) << std::endl;
}

// "reported SENDER id=MSGID report=NAME count=N level=LEVEL engine-boots=B engine-time=T".
void LogReported(const V3Received& received, const AgentEngine& engine,
                 const std::string& sender) {
  std::cout << "reported " << sender << " id=" << received.message_id
            << " report=" << UsmReportName(received.report_kind)
            << " count=" << received.report_count
            << " level=" << SecurityLevelName(received.report_level)
            << " engine-boots=" << engine.boots()
            << " engine-time=" << engine.Time(std::chrono::steady_clock::now()) << std::endl;
}

// One agent at work: the sockets, the data, the engine and the state the faults keep.
class Agent {
 public:
  Agent(const AgentOptions& options, const SnmprecData& data,
        const std::function<bool()>& stop_requested, TUDPBlockSocket& answer_socket)
      : options_(options),
        data_(data),
        device_(data, options.counters, options.restart_after),
        stop_requested_(stop_requested),
        answer_socket_(answer_socket),
        random_(std::random_device{}()),
        loss_draws_(options.seed),
        engine_(options, std::chrono::steady_clock::now()) {}

  bool keys_ready() const { return engine_.keys_ready(); }

  // False when a stop ended a delay.
  bool Serve(const std::string& datagram, const std::string& sender_address,
             const std::string& sender_port, const std::string& sender) {
    TSNMPRec request;
    if (!request.DecodeMessage(datagram)) return true;
    const AgentOptions answer_options =
        options_.random_faults ? WithRandomFault(options_, random_) : options_;
    std::optional<V3Request> v3_request;
    std::optional<TSNMPRec> answer;
    if (request.Version == kSnmpVersion3) {
      V3Received received =
          ReceiveV3Message(engine_, datagram, std::chrono::steady_clock::now());
      if (!received.report.empty()) {
        // A Report is an answer too: lost, withheld and late like one.
        if (LostOrSilent(answer_options)) return true;
        if (!SleepUnlessStopped(answer_options.delay_ms, stop_requested_)) return false;
        answer_socket_.ConnectTo(sender_address, sender_port);
        if (SendOrReport(answer_socket_, received.report)) {
          LogReported(received, engine_, sender);
        }
      }
      if (!received.request) return true;
      v3_request = std::move(received.request);
      request = v3_request->pdu;
      if (v3_request->refusal_status != 0) {
        answer = BuildErrorAnswer(request, v3_request->refusal_status);
      } else {
        answer = BuildAnswer(request, AnswerData(request), std::nullopt,
                             answer_options.omit_missing);
      }
    } else {
      answer = BuildAnswer(request, AnswerData(request), answer_options.community,
                           answer_options.omit_missing);
    }
    if (!answer) return true;
    if (LostOrSilent(answer_options)) return true;
    answer = ApplyAnswerFaults(request, std::move(*answer), answer_options);
    if (!answer) return true;
    if (!SleepUnlessStopped(answer_options.delay_ms, stop_requested_)) return false;

    if (answer_options.wrong_id) {
      answer->ID = static_cast<std::int32_t>(static_cast<std::uint32_t>(answer->ID) +
                                             kWrongIdOffset);
    }
    const std::int32_t answer_id = answer->ID;
    std::vector<std::string> first;
    std::string encoded;
    if (v3_request) {
      const auto now = std::chrono::steady_clock::now();
      encoded = EncodeV3Answer(engine_, *v3_request, *answer, answer_options.bad_digest, now);
      if (encoded.empty()) {
        std::cerr << "agentsim: the answer could not be encrypted" << std::endl;
        return true;
      }
      if (answer_options.report_flood) first = ForgedReports(engine_, *v3_request);
      if (answer_options.replay && !last_v3_answer_.empty()) first.push_back(last_v3_answer_);
      last_v3_answer_ = encoded;
    } else {
      encoded = answer->EncodeMessage();
      answer->ID = answer_id;
    }

    answer_socket_.ConnectTo(sender_address, sender_port);
    if (answer_options.garbage_first) {
      SendOrReport(answer_socket_, std::string(kGarbageDatagram));
    }
    if (answer_options.empty_first) SendOrReport(answer_socket_, std::string());
    for (const std::string& datagram_first : first) SendOrReport(answer_socket_, datagram_first);
    bool sent = SendOrReport(answer_socket_, encoded);
    if (answer_options.twice) sent = SendOrReport(answer_socket_, encoded) && sent;
    if (!sent) return true;
    std::cout << DescribeAnswer(request, *answer, sender,
                                v3_request ? DescribeV3Security(*v3_request) : std::string())
              << std::endl;
    if (v3_request) engine_.CountAnswer(std::chrono::steady_clock::now());
    return true;
  }

 private:
  // The data the answer to `request` shows: with --counter or --restart-after, the device one
  // answer older for every GetRequest it answers from its data.
  // With --renumber-after, every table instance one index further for every N requests
  // answered from the data.
  const SnmprecData& AnswerData(const TSNMPRec& request) {
    if (options_.community && request.Version != kSnmpVersion3 &&
        request.Community != *options_.community) {
      return data_;
    }
    const SnmprecData& data =
        device_.Moving() && request.PDUType == PduGetRequest ? device_.NextAnswer() : data_;
    if (options_.renumber_after == 0) return data;
    const std::uint64_t shift = answered_from_data_++ / options_.renumber_after;
    if (shift == 0) return data;
    renumbered_ = RenumberTables(data, shift);
    return renumbered_;
  }

  // One --loss draw per request the agent would answer, so that a seed gives the same losses
  // for the same requests whatever the other faults; then --silent.
  bool LostOrSilent(const AgentOptions& answer_options) {
    if (options_.loss_percent > 0 &&
        static_cast<int>(loss_draws_() % kPercent) < options_.loss_percent) {
      return true;
    }
    return answer_options.silent;
  }

  const AgentOptions& options_;
  const SnmprecData& data_;
  DeviceCounters device_;
  const std::function<bool()>& stop_requested_;
  TUDPBlockSocket& answer_socket_;
  std::mt19937 random_;
  std::mt19937 loss_draws_;
  AgentEngine engine_;
  std::string last_v3_answer_;  // for --replay
  std::uint64_t answered_from_data_ = 0;  // for --renumber-after
  SnmprecData renumbered_;
};

}  // namespace

int RunAgent(const AgentOptions& options, const SnmprecData& data,
             const std::function<bool()>& stop_requested) {
  TUDPBlockSocket listener;
  listener.BindLocal(options.listen_address, options.listen_port);
  if (listener.LastErrorCode() != 0) {
    std::cerr << "agentsim: cannot listen on " << options.listen_address << ":"
              << options.listen_port << ": " << listener.LastErrorCode() << " "
              << listener.LastErrorText() << std::endl;
    return 1;
  }
  TUDPBlockSocket from_socket;
  if (!options.from_address.empty()) {
    from_socket.BindLocal(options.from_address, "0");
    if (from_socket.LastErrorCode() != 0) {
      std::cerr << "agentsim: cannot bind --from address " << options.from_address << ": "
                << from_socket.LastErrorCode() << " " << from_socket.LastErrorText()
                << std::endl;
      return 1;
    }
  }
  TUDPBlockSocket& answer_socket = options.from_address.empty() ? listener : from_socket;
  Agent agent(options, data, stop_requested, answer_socket);
  if (!agent.keys_ready()) {
    std::cerr << "agentsim: the keys of the SNMPv3 user cannot be derived" << std::endl;
    return 1;
  }
  std::cout << "agentsim listening on " << EndpointText(listener, false) << std::endl;

  while (!stop_requested()) {
    std::string datagram = listener.ReceiveDatagram(kStopCheckIntervalMs);
    if (listener.LastErrorCode() != 0) continue;  // time-out, signal or an empty datagram
    const std::string sender = EndpointText(listener, true);
    LogReceived(datagram, sender);
    if (!agent.Serve(datagram, listener.RemoteAddressText(),
                     std::to_string(listener.RemotePortNumber()), sender)) {
      break;
    }
  }
  std::cout << "agentsim stopped" << std::endl;
  return 0;
}

}  // namespace zelsnmp::agentsim
