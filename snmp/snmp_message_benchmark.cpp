// Encoding and decoding of a 20-binding GetRequest and its Response, the message pair of one
// agent's poll.

#include <string>

#include <benchmark/benchmark.h>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"

namespace zelsnmp {
namespace {

constexpr int kBindingCount = 20;

std::string InterfaceOid(int index) {
  return "1.3.6.1.2.1.2.2.1.10." + std::to_string(index);
}

TSNMPRec MakeRequest() {
  TSNMPRec message;
  message.Version = kSnmpVersion2c;
  message.Community = "public";
  message.PDUType = PduGetRequest;
  for (int i = 1; i <= kBindingCount; ++i) message.AddBinding(InterfaceOid(i), "", TagNull);
  return message;
}

TSNMPRec MakeResponse() {
  TSNMPRec message = MakeRequest();
  message.ResetMessage();
  message.Version = kSnmpVersion2c;
  message.Community = "public";
  message.PDUType = PduResponse;
  for (int i = 1; i <= kBindingCount; ++i) {
    message.AddBinding(InterfaceOid(i), std::to_string(4000000000u - i), TagCounter32);
  }
  return message;
}

void BM_EncodeGetRequest(benchmark::State& state) {
  TSNMPRec request = MakeRequest();
  for (auto _ : state) benchmark::DoNotOptimize(request.EncodeMessage());
}
BENCHMARK(BM_EncodeGetRequest);

void BM_DecodeResponse(benchmark::State& state) {
  const std::string bytes = MakeResponse().EncodeMessage();
  TSNMPRec reply;
  for (auto _ : state) benchmark::DoNotOptimize(reply.DecodeMessage(bytes));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeResponse);

// One poll's codec work: encode the request, decode the reply, look up every value.
void BM_RequestResponseRoundTrip(benchmark::State& state) {
  TSNMPRec request = MakeRequest();
  TSNMPRec responder = MakeResponse();
  TSNMPRec reply;
  for (auto _ : state) {
    std::string query = request.EncodeMessage();
    TSNMPRec decoded_query;
    decoded_query.DecodeMessage(query);
    responder.ID = decoded_query.ID;
    reply.DecodeMessage(responder.EncodeMessage());
    for (int i = 1; i <= kBindingCount; ++i) {
      benchmark::DoNotOptimize(reply.BindingValue(InterfaceOid(i)));
    }
  }
}
BENCHMARK(BM_RequestResponseRoundTrip);

}  // namespace
}  // namespace zelsnmp
