// Loading the poll configuration: files of 100, 1000 and 10000 sections of 50 lines each,
// beside the floor of reading the same file into memory; and 1000 SNMPv3 agents that share one
// user (authPriv), loaded with their sessions made and keys derived, as the poll cycle loads
// them, to be compared with the 1000 v2c agents; and 1000 agents whose lines all carry a source
// with modifiers or a device point, and 1000 agents whose lines are all table rows found by
// their name, to be compared with bare lines. The file is written again
// before every load (outside the timed part), since loading deletes it.

#include <cstdio>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "bench/config_text.h"
#include "poller/agent_poller.h"
#include "poller/poll_config.h"

namespace zelsnmp::bench {
namespace {

std::string ConfigPath() { return "/tmp/zelsnmp_config_bench_" + std::to_string(getpid()); }

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void LoadRepeatedly(benchmark::State& state, const std::string& text) {
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

void BM_LoadConfig_Ours(benchmark::State& state) {
  LoadRepeatedly(state, ConfigText(static_cast<int>(state.range(0)), kLinesPerSection));
}

// Every section with the same v3 user's options after its header.
std::string V3ConfigText(int sections) {
  const std::string v2c = ConfigText(sections, kLinesPerSection);
  const std::string options =
      "@version = 3\r\n@user = scada-ro\r\n@auth = SHA-256:one long auth passphrase\r\n"
      "@priv = AES:another long passphrase\r\n";
  std::string text;
  text.reserve(v2c.size() + static_cast<std::size_t>(sections) * options.size());
  std::size_t at = 0;
  while (at < v2c.size()) {
    const std::size_t line_end = v2c.find('\n', at) + 1;
    text.append(v2c, at, line_end - at);
    if (v2c[at] == '[') text += options;
    at = line_end;
  }
  return text;
}

void BM_LoadConfig_V3SharedUser(benchmark::State& state) {
  const std::string text = V3ConfigText(static_cast<int>(state.range(0)));
  const std::string path = ConfigPath();
  std::size_t derivations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    WriteFile(path, text);
    // A poller per load: its key cache starts empty, as at the task's start.
    auto poller = std::make_unique<AgentPoller>(1);
    state.ResumeTiming();
    PollConfig config = LoadPollConfig(path);
    poller->PrepareSecurity(config);
    benchmark::DoNotOptimize(config.agents.data());
    state.PauseTiming();
    derivations = poller->MasterKeyDerivations();
    poller.reset();
    config = PollConfig();
    state.ResumeTiming();
  }
  state.counters["sections"] = static_cast<double>(state.range(0));
  state.counters["master_keys"] = static_cast<double>(derivations);
}

// Every line with a source that is not a bare OID: "#TT" lines a rate in kbit/s, "#TS" lines a
// scale and an offset, "#TC" lines the device's @status; to be compared with bare lines.
std::string ModifiedConfigText(int sections) {
  const std::string bare = ConfigText(sections, kLinesPerSection);
  std::string text;
  text.reserve(bare.size() * 3 / 2);
  std::size_t at = 0;
  while (at < bare.size()) {
    const std::size_t line_end = bare.find("\r\n", at);
    const std::string_view line(bare.data() + at, line_end - at);
    if (line.rfind("#TT", 0) == 0) {
      text.append(line).append(" rate scale=0.008");
    } else if (line.rfind("#TS", 0) == 0) {
      text.append(line).append(" scale=0.1 offset=-40");
    } else if (line.rfind("#TC", 0) == 0) {
      text.append(line.substr(0, line.find('=') + 1)).append("@status");
    } else {
      text.append(line);
    }
    text += "\r\n";
    at = line_end + 2;
  }
  return text;
}

void BM_LoadModified_Ours(benchmark::State& state) {
  LoadRepeatedly(state, ModifiedConfigText(static_cast<int>(state.range(0))));
}

// Every line a table row found by its name: the line's column at the row whose ifDescr holds a
// port name of its own; to be compared with bare lines.
std::string RowConfigText(int sections) {
  const std::string bare = ConfigText(sections, kLinesPerSection);
  std::string text;
  text.reserve(bare.size() * 2);
  std::size_t at = 0;
  int line_number = 0;
  while (at < bare.size()) {
    const std::size_t line_end = bare.find("\r\n", at);
    const std::string_view line(bare.data() + at, line_end - at);
    if (line.rfind("#T", 0) == 0) {
      text.append(line.substr(0, line.find('=') + 1))
          .append("1.3.6.1.2.1.2.2.1.10[1.3.6.1.2.1.2.2.1.2=\"port ")
          .append(std::to_string(++line_number % kLinesPerSection))
          .append("\"]");
    } else {
      text.append(line);
    }
    text += "\r\n";
    at = line_end + 2;
  }
  return text;
}

void BM_LoadRows_Ours(benchmark::State& state) {
  LoadRepeatedly(state, RowConfigText(static_cast<int>(state.range(0))));
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
BENCHMARK(BM_LoadModified_Ours)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRows_Ours)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadConfig_V3SharedUser)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadConfig_Floor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelsnmp::bench
