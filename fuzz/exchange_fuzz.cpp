// libFuzzer target: the exchange itself. Each input is one datagram that an agent on a loopback
// socket sends back to the client after receiving its request. When the first input byte is
// odd, the request's ID is written over the four bytes behind the first "02 04" of the datagram,
// so that answers with the right ID are reached too. The property: SendQuery either takes the
// answer to its own request (a Response with the request's ID, exactly the datagram sent) or
// takes nothing; never another datagram, never a reply with another ID or PDU type.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_require.h"
#include "net/block_socket.h"
#include "net/socket_error.h"
#include "snmp/ber.h"
#include "snmp/snmp_client.h"

namespace {

using namespace zelsnmp;

struct Loopback {
  Loopback() {
    agent.BindLocal("127.0.0.1", "0");
    port = std::to_string(agent.LocalPortNumber());
    // On loopback the datagram is queued before the receive begins; a wait would only slow the
    // runs down.
    client.Timeout = 0;
  }
  TUDPBlockSocket agent;
  std::string port;
  TSNMPSend client;
};

void WriteId(std::string& datagram, std::int32_t id) {
  const std::size_t at = datagram.find(std::string("\x02\x04", 2));
  if (at == std::string::npos || datagram.size() - at < 6) return;
  const auto pattern = static_cast<std::uint32_t>(id);
  for (int i = 0; i < 4; ++i) datagram[at + 2 + i] = static_cast<char>(pattern >> (24 - 8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Loopback* loop = new Loopback();
  if (size == 0) return 0;
  const bool write_id = (data[0] & 1) != 0;
  std::string datagram(reinterpret_cast<const char*>(data + 1), size - 1);
  if (datagram.empty()) return 0;  // an empty datagram is a reset, tested elsewhere

  TSNMPSend& client = loop->client;
  client.Query().ResetMessage();
  client.Query().Version = kSnmpVersion2c;
  client.Query().PDUType = PduGetRequest;
  client.Query().AddBinding("1.3.6.1.2.1.1.3.0", "", TagNull);
  client.TargetHost = "127.0.0.1";
  client.TargetPort = loop->port;
  // The exchange's own steps, with the agent's part between the send and the receive.
  client.Reply().ResetMessage();
  while (client.Sock().Handle() != kInvalidSocketHandle && client.Sock().SelectReadable(0)) {
    client.Sock().ReceiveDatagram(0);  // a datagram that came too late for an earlier input
  }
  client.Sock().ConnectTo(client.TargetHost, client.TargetPort);
  Require(client.TransmitMessage(client.Query()));
  loop->agent.ReceiveDatagram(1000);
  Require(loop->agent.LastErrorCode() == 0);
  if (write_id) WriteId(datagram, *client.SentRequestId());
  loop->agent.SendDatagram(datagram);
  Require(loop->agent.LastErrorCode() == 0);
  const bool taken = client.ReceiveReply(client.Reply());
  if (taken) {
    Require(client.Buffer == datagram);
    Require(client.Reply().PDUType == PduResponse);
    Require(client.Reply().ID == *client.SentRequestId());
    Require(client.HostIP() == "127.0.0.1");
  } else {
    // The only datagram was not the answer: the wait ran out.
    Require(client.LastErrorCode() == kSocketErrorTimedOut);
    Require(client.Reply().BindingCount() == 0);
  }
  return 0;
}
