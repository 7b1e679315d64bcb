// One poll pass over 10, 100 and 1000 answering agents of 20 OIDs each, with the host calls of
// the stand-in (pass_benchmark_standin: journal, logs) or with host calls that do nothing
// (pass_benchmark_nullhost, the floor). The agents are sections "127.0.0.1:c<n>" answered by
// one agentsim on 127.0.0.1:161, which scripts/bench.sh starts in a network namespace of the
// benchmark's own. CPU time is that of this process only.
//
// PassPerAgentV3 puts the same pass over agents of version 3 at authPriv (SHA-256, AES) beside
// it over v2c agents, both against that agentsim (started with the v3 user below): the first
// pass, which discovers each v3 agent's engine and localizes its keys, is not timed, nor is it
// for v2c. The table shows CPU time per agent (the "agents" counter) and v3 / v2c.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/config_text.h"
#include "host/scadalink.h"
#include "poller/agent_poller.h"
#include "poller/poll_config.h"

namespace zelsnmp::bench {
namespace {

constexpr int kOidsPerAgent = 20;

// The v3 user agentsim knows; scripts/bench.sh passes the same to it.
constexpr char kV3Defaults[] =
    "[*]\r\n@version = 3\r\n@user = bench\r\n@auth = SHA-256:bench-auth-pass\r\n"
    "@priv = AES:bench-priv-pass\r\n";

PollConfig Agents(int count, bool v3 = false) {
  const std::string path = "/tmp/zelsnmp_pass_bench_" + std::to_string(getpid()) + ".cfg";
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const std::string text = (v3 ? std::string(kV3Defaults) : std::string()) +
                             ConfigText(count, kOidsPerAgent, "127.0.0.1");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  return LoadPollConfig(path);
}

std::int32_t Connection() {
#ifdef ZELSNMP_BENCH_STANDIN
  // A site of its own, kept for the whole run.
  static const std::int32_t connection = [] {
    const std::string site = "/tmp/zelsnmp_pass_bench_site_" + std::to_string(getpid());
    std::filesystem::create_directories(site + "/tm/BENCH");
    setenv("ZELSNMP_SITE", site.c_str(), 1);
    return slConnect("", "BENCH", 0, nullptr, 0);
  }();
  return connection;
#else
  return 1;
#endif
}

void RunPasses(benchmark::State& state) {
  const PollConfig config = Agents(static_cast<int>(state.range(0)));
  AgentPoller poller(Connection());
  for (auto _ : state) poller.RunPass(config);
  state.counters["agents"] = static_cast<double>(state.range(0));
}

#ifdef ZELSNMP_BENCH_STANDIN
void BM_PollPass_Ours(benchmark::State& state) { RunPasses(state); }
BENCHMARK(BM_PollPass_Ours)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
#else
void BM_PollPass_Floor(benchmark::State& state) { RunPasses(state); }
BENCHMARK(BM_PollPass_Floor)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// A pass after a first one that is not timed (it discovers the v3 agents).
void RunLaterPasses(benchmark::State& state, bool v3) {
  const PollConfig config = Agents(static_cast<int>(state.range(0)), v3);
  if (!config.option_mistakes.empty()) state.SkipWithError("the v3 options hold a mistake");
  AgentPoller poller(Connection());
  poller.PrepareSecurity(config);
  poller.RunPass(config);
  for (auto _ : state) poller.RunPass(config);
  state.counters["agents"] = static_cast<double>(state.range(0));
}

void BM_PassPerAgentV3_Ours(benchmark::State& state) { RunLaterPasses(state, true); }
void BM_PassPerAgentV3_V2c(benchmark::State& state) { RunLaterPasses(state, false); }
BENCHMARK(BM_PassPerAgentV3_Ours)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassPerAgentV3_V2c)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace zelsnmp::bench
