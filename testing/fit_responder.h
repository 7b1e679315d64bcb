// Test support: an SNMP v2c agent of the test's own on a loopback UDP port, for the device-fit
// tests: it refuses requests above a number of bindings with tooBig, or drops them, refuses
// one OID by its error index, or stays silent, per community. Each OID is answered with an
// INTEGER, its last arc. Built with the system's own message codec and socket.

#ifndef ZELSNMP_TESTING_FIT_RESPONDER_H_
#define ZELSNMP_TESTING_FIT_RESPONDER_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/block_socket.h"
#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp::testing_support {

// How the responder treats the requests of one community.
struct Device {
  std::size_t max_bindings = 0;  // tooBig above this many bindings; 0: no limit
  std::string refused_oid = std::string();  // answered with `refusal` and this OID's index
  std::int32_t refusal = 5;      // genErr
  std::int32_t error_index = 0;  // when not 0, every answer refuses with this index
  bool silent = false;
  std::size_t drop_above = 0;    // no answer above this many bindings; 0: no limit
};

// Listens on `address` (127.0.0.1 by default), any free port; records the number of bindings
// of every request per community. listening() is false when the address cannot be bound.
class FitResponder {
 public:
  explicit FitResponder(std::map<std::string, Device> devices,
                        const std::string& address = "127.0.0.1")
      : devices_(std::move(devices)) {
    socket_.BindLocal(address, "0");
    listening_ = socket_.LastErrorCode() == 0;
    port_ = std::to_string(socket_.LocalPortNumber());
    thread_ = std::thread([this] {
      while (!stop_) {
        const std::string bytes = socket_.ReceiveDatagram(20);
        TSNMPRec request;
        if (socket_.LastErrorCode() == 0 && request.DecodeMessage(bytes)) Answer(request);
      }
    });
  }
  ~FitResponder() {
    stop_ = true;
    thread_.join();
  }
  FitResponder(const FitResponder&) = delete;
  FitResponder& operator=(const FitResponder&) = delete;

  bool listening() const { return listening_; }
  const std::string& port() const { return port_; }
  std::vector<std::size_t> Sizes(const std::string& community) {
    std::lock_guard<std::mutex> lock(mutex_);
    return sizes_[community];
  }

 private:
  void Answer(const TSNMPRec& request) {
    const Device device = devices_[request.Community];
    const std::size_t count = request.Bindings().size();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sizes_[request.Community].push_back(count);
    }
    if (device.silent || (device.drop_above != 0 && count > device.drop_above)) return;
    TSNMPRec answer;
    answer.Version = request.Version;
    answer.Community = request.Community;
    answer.PDUType = PduResponse;
    answer.ID = request.ID;
    if (device.max_bindings != 0 && count > device.max_bindings) {
      answer.ErrorStatus = 1;  // tooBig
    } else {
      for (std::size_t i = 0; i < count; ++i) {
        const std::string& oid = request.Bindings()[i].OidText;
        if (oid == device.refused_oid || device.error_index != 0) {
          answer.ErrorStatus = device.refusal;
          answer.ErrorIndex =
              device.error_index != 0 ? device.error_index : static_cast<std::int32_t>(i + 1);
        }
        answer.AddBinding(oid, oid.substr(oid.rfind('.') + 1), TagInteger);
      }
    }
    socket_.SendDatagram(answer.EncodeMessage());
  }

  std::map<std::string, Device> devices_;
  TUDPBlockSocket socket_;
  std::string port_;
  bool listening_ = false;
  std::mutex mutex_;
  std::map<std::string, std::vector<std::size_t>> sizes_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zelsnmp::testing_support

#endif  // ZELSNMP_TESTING_FIT_RESPONDER_H_
