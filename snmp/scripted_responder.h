// A responder of the exchange tests' own: a UDP socket on a loopback (or private network)
// address with a thread that takes every request off it and records its bytes, drops the first
// tries of a request as its OID's script says, and answers the next one after the script's
// delay, without holding up the answers to other OIDs meanwhile.

#ifndef ZELSNMP_SNMP_SCRIPTED_RESPONDER_H_
#define ZELSNMP_SNMP_SCRIPTED_RESPONDER_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/block_socket.h"
#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp::testing {

class ScriptedResponder {
 public:
  using Clock = std::chrono::steady_clock;
  // What happens to the requests whose first binding has one OID.
  struct Script {
    int dropped = 0;                     // the first tries taken are not answered
    std::chrono::milliseconds delay{0};  // the answer to the next one goes out this late
    // When later than that try: the answer is held until this many tries were taken, and its
    // delay counts from the last of them. The order of the answer and the later tries then
    // follows from the exchange, not from the time a loaded machine takes.
    int held_until_try = 0;
  };

  // `port` "0" lets the platform choose.
  explicit ScriptedResponder(const std::string& address, std::map<std::string, Script> scripts,
                             const std::string& port = "0")
      : scripts_(std::move(scripts)) {
    socket_.BindLocal(address, port);
    listening_ = socket_.LastErrorCode() == 0;
    port_ = std::to_string(socket_.LocalPortNumber());
    if (listening_) thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedResponder() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  ScriptedResponder(const ScriptedResponder&) = delete;
  ScriptedResponder& operator=(const ScriptedResponder&) = delete;

  bool listening() const { return listening_; }
  const std::string& port() const { return port_; }
  // The datagrams of the requests for `oid` taken so far, in order, after waiting up to ten
  // seconds until at least `at_least` were: a try sent is on the socket, but the responder's
  // thread may not have taken it yet.
  std::vector<std::string> Tries(const std::string& oid, std::size_t at_least = 0) const {
    const Clock::time_point give_up = Clock::now() + std::chrono::seconds(10);
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = tries_.find(oid);
        if (found != tries_.end() && found->second.size() >= at_least) return found->second;
        if (Clock::now() >= give_up) {
          return found == tries_.end() ? std::vector<std::string>() : found->second;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  // The local ports the requests came from, in order.
  std::vector<std::uint16_t> SenderPorts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sender_ports_;
  }

 private:
  struct Due {
    Clock::time_point at;
    std::string answer;
    SocketAddress to;
  };

  void Run() {
    std::vector<Due> due;
    while (!stop_) {
      const std::string bytes = socket_.ReceiveDatagram(5);
      if (socket_.LastErrorCode() == 0) Take(bytes, due);
      const Clock::time_point now = Clock::now();
      std::erase_if(due, [&](const Due& answer) {
        if (now < answer.at) return false;
        socket_.SendDatagramTo(answer.answer, answer.to);
        return true;
      });
    }
  }

  void Take(const std::string& bytes, std::vector<Due>& due) {
    TSNMPRec request;
    if (!request.DecodeMessage(bytes) || request.BindingCount() == 0) return;
    const std::string oid = request.Bindings()[0].OidText;
    int taken;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tries_[oid].push_back(bytes);
      sender_ports_.push_back(socket_.RemotePortNumber());
      taken = static_cast<int>(tries_[oid].size());
    }
    const Script script = scripts_.count(oid) ? scripts_.at(oid) : Script();
    auto held = held_.find(oid);
    if (held != held_.end() && taken == script.held_until_try) {
      due.push_back({Clock::now() + script.delay, held->second.answer, held->second.to});
      held_.erase(held);
      return;
    }
    if (taken != script.dropped + 1) return;
    TSNMPRec answer;
    answer.Version = request.Version;
    answer.Community = request.Community;
    answer.PDUType = PduResponse;
    answer.ID = request.ID;
    answer.AddBinding(oid, "answer to " + oid, TagOctetString);
    if (script.held_until_try > taken) {
      held_[oid] = {Clock::time_point(), answer.EncodeMessage(), socket_.RemoteAddress()};
      return;
    }
    due.push_back({Clock::now() + script.delay, answer.EncodeMessage(), socket_.RemoteAddress()});
  }

  const std::map<std::string, Script> scripts_;
  TUDPBlockSocket socket_;
  bool listening_ = false;
  std::string port_;
  mutable std::mutex mutex_;
  std::map<std::string, std::vector<std::string>> tries_;
  std::vector<std::uint16_t> sender_ports_;
  std::map<std::string, Due> held_;  // the responder thread's own
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zelsnmp::testing

#endif  // ZELSNMP_SNMP_SCRIPTED_RESPONDER_H_
