// The host string's costs where the module spends them: building text by appending
// (the response reader appends chunks, the URL builder appends parameters), copying, and a
// first write to a shared copy; and the host's message sequence between threads.
#include <benchmark/benchmark.h>

#include <string>
#include <thread>

#include "TString.h"
#include "host/AppCore.h"
#include "hostsim/HostSim.h"

namespace {

void AppendChunks(benchmark::State& state) {
  const std::string chunk(static_cast<std::size_t>(state.range(0)), 'c');
  const int chunks = static_cast<int>(state.range(1));
  for (auto _ : state) {
    Util::TString text;
    for (int i = 0; i < chunks; ++i) {
      text += chunk.c_str();
    }
    benchmark::DoNotOptimize(static_cast<const char*>(text));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0) * state.range(1));
}
// Single characters (URL assembly) and 2047-byte reads (the answer reader).
BENCHMARK(AppendChunks)->Args({1, 256})->Args({16, 64})->Args({2047, 25});

void CopyShares(benchmark::State& state) {
  const std::string source(static_cast<std::size_t>(state.range(0)), 's');
  const Util::TString original(source.c_str());
  for (auto _ : state) {
    Util::TString copy(original);
    benchmark::DoNotOptimize(static_cast<const char*>(copy));
  }
}
BENCHMARK(CopyShares)->Arg(16)->Arg(50000);

void FirstWriteToACopy(benchmark::State& state) {
  const std::string source(static_cast<std::size_t>(state.range(0)), 's');
  const Util::TString original(source.c_str());
  for (auto _ : state) {
    Util::TString copy(original);
    copy += "!";
    benchmark::DoNotOptimize(static_cast<const char*>(copy));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(FirstWriteToACopy)->Arg(16)->Arg(50000);

class Nothing final : public SequencedAppMsg {
public:
  void Execute() override {}
};

// Messages made on another thread, run on this one: the path of every answer.
void MessageFromAnotherThread(benchmark::State& state) {
  hostsim::Reset();
  const auto batch = static_cast<std::uint64_t>(state.range(0));
  for (auto _ : state) {
    const std::uint64_t target = hostsim::MessagesExecuted() + batch;
    std::thread producer([batch] {
      for (std::uint64_t i = 0; i < batch; ++i) {
        new Nothing;
      }
    });
    hostsim::RunMessagesUntil([target] { return hostsim::MessagesExecuted() >= target; },
                              std::chrono::seconds(30));
    producer.join();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(MessageFromAnotherThread)->Arg(1000)->UseRealTime();

}  // namespace
