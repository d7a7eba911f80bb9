// Key bytes per second: the literal register against the fast generator on
// one thread and the ring with 1, 2, ... generator threads, in one run, with
// the ratios printed at the end.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "cipher/fast_keystream.h"
#include "cipher/key_loading.h"
#include "cipher/keystream_ring.h"

namespace {

cipher::KeystreamRegister Loaded() {
  cipher::KeystreamRegister reg;
  reg.Reset();
  cipher::LoadKey(reg, "\xCF\xE0\xF0\xEE\xEB\xE0-2024");
  return reg;
}

void LiteralRegister(benchmark::State& state) {
  cipher::KeystreamRegister reg = Loaded();
  std::vector<std::uint8_t> key(4096);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    for (std::uint8_t& byte : key) {
      byte = cipher::NextKeyByte(reg).value_or(0);
    }
    benchmark::DoNotOptimize(key.data());
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(key.size()));
}

template <class Generator>
void Blocks(benchmark::State& state, Generator& generator) {
  std::vector<std::uint8_t> key(1 << 20);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    benchmark::DoNotOptimize(generator.Generate(key.data(), key.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(key.size()));
}

void FastOneThread(benchmark::State& state) {
  cipher::UsePortablePairFilter(false);
  cipher::FastKeystream generator(Loaded());
  Blocks(state, generator);
  state.SetLabel(cipher::PairFilterUsesBmi2() ? "pext" : "table");
}

void FastOneThreadPortable(benchmark::State& state) {
  cipher::UsePortablePairFilter(true);
  cipher::FastKeystream generator(Loaded());
  Blocks(state, generator);
  cipher::UsePortablePairFilter(false);
  state.SetLabel("table");
}

// The ring with `threads` threads in all: this one, which joins the blocks
// into key bytes (as a job's thread does between its reads and writes) and
// fills blocks itself while the next is not ready, and threads - 1
// generators.
void Ring(benchmark::State& state) {
  cipher::UsePortablePairFilter(false);
  cipher::KeystreamRing generator(Loaded(),
                                  static_cast<unsigned>(state.range(0) - 1));
  Blocks(state, generator);
}

BENCHMARK(LiteralRegister)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FastOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FastOneThreadPortable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Ring)
    ->ArgName("threads")
    ->DenseRange(1, static_cast<int>(std::max(
                        2U, std::min(std::thread::hardware_concurrency(),
                                     cipher::KeystreamRing::kMaxThreads + 1))))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Prints as usual, then each generator's speed over the literal register's
// (medians when repetitions are asked for).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool aggregate = run.run_type == Run::RT_Aggregate;
      if (aggregate && run.aggregate_name != "median") {
        continue;
      }
      const auto found = run.counters.find("bytes_per_second");
      if (found != run.counters.end()) {
        rates_[run.run_name.function_name + run.run_name.args] =
            found->second.value;
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto literal = rates_.find("LiteralRegister");
    const auto one = rates_.find("FastOneThread");
    if (literal == rates_.end() || literal->second <= 0 ||
        one == rates_.end()) {
      return;
    }
    std::printf(
        "\nkey bytes per second, against the literal register and against"
        " one thread:\n");
    for (const auto& [name, rate] : rates_) {
      std::printf("  %-24s %10.1f MB/s  %8.1fx  %5.2fx\n", name.c_str(),
                  rate / 1e6, rate / literal->second, rate / one->second);
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
