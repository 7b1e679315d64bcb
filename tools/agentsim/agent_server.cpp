#include "tools/agentsim/agent_server.h"

#include <chrono>
#include <iostream>
#include <random>
#include <thread>

#include "net/block_socket.h"
#include "snmp/snmp_message.h"
#include "tools/agentsim/agent_responder.h"

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

// "received SENDER id=N at=MS" for a request as it arrives, before any delay; MS on the
// machine's monotonic clock, which the agents of one machine share.
void LogReceived(const std::string& datagram, const std::string& sender) {
  TSNMPRec header;
  if (!header.DecodeHeader(datagram)) return;
  const auto at = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  std::cout << "received " << sender << " id=" << header.ID << " at=" << at << std::endl;
}

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
  std::cout << "agentsim listening on " << EndpointText(listener, false) << std::endl;

  std::mt19937 random(std::random_device{}());
  std::mt19937 loss_draws(options.seed);
  while (!stop_requested()) {
    std::string datagram = listener.ReceiveDatagram(kStopCheckIntervalMs);
    if (listener.LastErrorCode() != 0) continue;  // time-out, signal or an empty datagram
    const std::string sender_address = listener.RemoteAddressText();
    const std::string sender_port = std::to_string(listener.RemotePortNumber());
    const std::string sender = EndpointText(listener, true);
    LogReceived(datagram, sender);

    TSNMPRec request;
    if (!request.DecodeMessage(datagram)) continue;
    const AgentOptions answer_options =
        options.random_faults ? WithRandomFault(options, random) : options;
    std::optional<TSNMPRec> answer = BuildAnswer(request, data, answer_options.community,
                                                  answer_options.omit_missing);
    if (!answer) continue;
    // One draw per request the agent would answer, so that a seed gives the same losses
    // for the same requests whatever the other faults.
    if (options.loss_percent > 0 &&
        static_cast<int>(loss_draws() % kPercent) < options.loss_percent) {
      continue;
    }
    if (answer_options.silent) continue;
    answer = ApplyAnswerFaults(request, std::move(*answer), answer_options);
    if (!answer) continue;
    if (!SleepUnlessStopped(answer_options.delay_ms, stop_requested)) break;

    if (answer_options.wrong_id) {
      answer->ID = static_cast<std::int32_t>(static_cast<std::uint32_t>(answer->ID) +
                                             kWrongIdOffset);
    }
    const std::int32_t answer_id = answer->ID;
    const std::string encoded = answer->EncodeMessage();
    answer->ID = answer_id;

    answer_socket.ConnectTo(sender_address, sender_port);
    if (answer_options.garbage_first) SendOrReport(answer_socket, std::string(kGarbageDatagram));
    if (answer_options.empty_first) SendOrReport(answer_socket, std::string());
    bool sent = SendOrReport(answer_socket, encoded);
    if (answer_options.twice) sent = SendOrReport(answer_socket, encoded) && sent;
    if (sent) std::cout << DescribeAnswer(request, *answer, sender) << std::endl;
  }
  std::cout << "agentsim stopped" << std::endl;
  return 0;
}

}  // namespace zelsnmp::agentsim
