// The codec beside net-snmp's library on the same messages: building a GetRequest of 1, 10
// and 50 NULL bindings (fill + encode), encoding a ready message, and decoding a Response of
// mixed value types and reading every value. Before the timed loops every pair is checked to
// give the same bytes, so that both sides do the same work.

#include <cstdio>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_vectors.h"
#include "bench/netsnmp_side.h"

namespace zelsnmp::bench {
namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "codec_benchmark: %s\n", what);
    std::exit(1);
  }
}

// Both libraries must write the same bytes for the same message.
void CheckSameBytes(int count) {
  InitNetSnmp();
  std::string theirs;
  NetSnmpPdu* request = NetSnmpFill(PduGetRequest, RequestBindings(count));
  Require(NetSnmpEncode(request, theirs), "net-snmp cannot encode the GetRequest");
  Require(theirs == OurBytes(PduGetRequest, RequestBindings(count)),
          "the GetRequests differ between the libraries");
  NetSnmpFree(request);
  NetSnmpPdu* response = NetSnmpFill(PduResponse, ResponseBindings(count));
  Require(NetSnmpEncode(response, theirs), "net-snmp cannot encode the Response");
  Require(theirs == OurBytes(PduResponse, ResponseBindings(count)),
          "the Responses differ between the libraries");
  NetSnmpFree(response);
}

void BM_BuildGetRequest_Ours(benchmark::State& state) {
  const auto specs = RequestBindings(static_cast<int>(state.range(0)));
  CheckSameBytes(static_cast<int>(state.range(0)));
  TSNMPRec message;
  for (auto _ : state) {
    message.ResetMessage();
    message.Version = kSnmpVersion2c;
    message.Community = kCommunity;
    message.PDUType = PduGetRequest;
    for (const BindingSpec& spec : specs) message.AddBinding(spec.oid_text, "", TagNull);
    benchmark::DoNotOptimize(message.EncodeMessage());
  }
}

void BM_BuildGetRequest_NetSnmp(benchmark::State& state) {
  const auto specs = RequestBindings(static_cast<int>(state.range(0)));
  CheckSameBytes(static_cast<int>(state.range(0)));
  NetSnmpNames* names = NetSnmpPrepareNames(specs);
  std::string bytes;
  for (auto _ : state) {
    NetSnmpPdu* pdu = NetSnmpFillNulls(names);
    NetSnmpEncode(pdu, bytes);
    NetSnmpFree(pdu);
    benchmark::DoNotOptimize(bytes.data());
  }
}

void BM_EncodeReady_Ours(benchmark::State& state) {
  TSNMPRec message;
  FillOurs(message, PduGetRequest, RequestBindings(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(message.EncodeMessage());
}

void BM_EncodeReady_NetSnmp(benchmark::State& state) {
  InitNetSnmp();
  NetSnmpPdu* pdu = NetSnmpFill(PduGetRequest, RequestBindings(static_cast<int>(state.range(0))));
  std::string bytes;
  for (auto _ : state) {
    NetSnmpEncode(pdu, bytes);
    benchmark::DoNotOptimize(bytes.data());
  }
  NetSnmpFree(pdu);
}

void BM_DecodeResponse_Ours(benchmark::State& state) {
  const std::string bytes =
      OurBytes(PduResponse, ResponseBindings(static_cast<int>(state.range(0))));
  TSNMPRec reply;
  Require(reply.DecodeMessage(bytes) && reply.BindingCount() == state.range(0),
          "our decoder does not read the Response");
  for (auto _ : state) {
    reply.DecodeMessage(bytes);
    std::size_t sum = 0;
    for (const TSNMPMib& binding : reply.Bindings()) sum += binding.ValueText.size();
    benchmark::DoNotOptimize(sum);
  }
}

void BM_DecodeResponse_NetSnmp(benchmark::State& state) {
  InitNetSnmp();
  const std::string bytes =
      OurBytes(PduResponse, ResponseBindings(static_cast<int>(state.range(0))));
  Require(NetSnmpDecodeAndRead(bytes) >= 0, "net-snmp does not read the Response");
  for (auto _ : state) benchmark::DoNotOptimize(NetSnmpDecodeAndRead(bytes));
}

#define ZELSNMP_CODEC_BENCHMARK(name) BENCHMARK(name)->Arg(1)->Arg(10)->Arg(50)
ZELSNMP_CODEC_BENCHMARK(BM_BuildGetRequest_Ours);
ZELSNMP_CODEC_BENCHMARK(BM_BuildGetRequest_NetSnmp);
ZELSNMP_CODEC_BENCHMARK(BM_EncodeReady_Ours);
ZELSNMP_CODEC_BENCHMARK(BM_EncodeReady_NetSnmp);
ZELSNMP_CODEC_BENCHMARK(BM_DecodeResponse_Ours);
ZELSNMP_CODEC_BENCHMARK(BM_DecodeResponse_NetSnmp);

}  // namespace
}  // namespace zelsnmp::bench
