// Loading the poll configuration: files of 100, 1000 and 10000 sections of 50 lines each,
// beside the floor of reading the same file into memory. The file is written again before
// every load (outside the timed part), since loading deletes it.

#include <cstdio>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/config_text.h"
#include "poller/poll_config.h"

namespace zelsnmp::bench {
namespace {

std::string ConfigPath() { return "/tmp/zelsnmp_config_bench_" + std::to_string(getpid()); }

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void BM_LoadConfig_Ours(benchmark::State& state) {
  const std::string text = ConfigText(static_cast<int>(state.range(0)), kLinesPerSection);
  const std::string path = ConfigPath();
  for (auto _ : state) {
    state.PauseTiming();
    WriteFile(path, text);
    state.ResumeTiming();
    PollConfig config = LoadPollConfig(path);
    benchmark::DoNotOptimize(config.agents.data());
    state.PauseTiming();
    config = PollConfig();  // freeing is not loading
    state.ResumeTiming();
  }
  state.counters["sections"] = static_cast<double>(state.range(0));
}

// The floor: the file's bytes into memory, nothing parsed.
void BM_LoadConfig_Floor(benchmark::State& state) {
  const std::string text = ConfigText(static_cast<int>(state.range(0)), kLinesPerSection);
  const std::string path = ConfigPath();
  WriteFile(path, text);
  for (auto _ : state) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    benchmark::DoNotOptimize(bytes.data());
  }
  std::remove(path.c_str());
}

BENCHMARK(BM_LoadConfig_Ours)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadConfig_Floor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelsnmp::bench
