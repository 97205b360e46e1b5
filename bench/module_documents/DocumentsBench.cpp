// Request building and answer storing: the text helpers on large inputs, a URL from a
// configuration with many variables, and an answer with a large message set.
#include <benchmark/benchmark.h>

#include <string>

#include "HostProfile.h"
#include "MessageFileContent.h"
#include "QueryEncoding.h"
#include "WorkerPriming.h"

namespace {

void BM_PercentEncode(benchmark::State& state) {
  std::string text;
  for (int index = 0; index < state.range(0); ++index) {
    text.push_back(static_cast<char>(index % 256));
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(corvane::PercentEncode(text));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_PercentEncode)->Range(64, 64 << 10);

void BM_CrLfLineBreaks(benchmark::State& state) {
  std::string text;
  while (static_cast<std::int64_t>(text.size()) < state.range(0)) {
    text += "\t<Message id=\"1\">some text\r\n";
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(corvane::WithCrLfLineBreaks(text));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_CrLfLineBreaks)->Range(1 << 10, 1 << 20);

void BM_BuildRequestUrl(benchmark::State& state) {
  corvane_test::HostProfile profile;
  std::string variables;
  for (int index = 0; index < state.range(0); ++index) {
    const std::string name = "Var" + std::to_string(index);
    Util::Variant value;
    value.SetString("value with spaces & symbols");
    hostsim::SetVariable(name, value);
    variables += "<AceVariable name='" + name + "'/>";
  }
  const std::string configuration =
      "<TSMConfiguration><WebTSMPlacementConfiguration url='http://127.0.0.1/tsm'>"
      "<AceVariableList>" + variables +
      "</AceVariableList></WebTSMPlacementConfiguration></TSMConfiguration>";
  for (auto _ : state) {
    // Every build appends to the worker's URL; a handshake empties it first.
    state.PauseTiming();
    corvane_test::PrimeWorker(profile, "0");
    profile.WritePlacementConfiguration(configuration);
    state.ResumeTiming();
    benchmark::DoNotOptimize(corvane_test::Worker().BuildRequestURL());
  }
}
BENCHMARK(BM_BuildRequestUrl)->Arg(1)->Arg(10)->Arg(100);

void BM_ProcessResponse(benchmark::State& state) {
  corvane_test::HostProfile profile;
  std::string messages;
  while (static_cast<std::int64_t>(messages.size()) < state.range(0)) {
    messages += "<Message id=\"1\">Line one\nLine two</Message>\n";
  }
  const std::string body = "<WebControlMessage Userpref_CheckSum='1234'><Messages>" + messages +
                           "</Messages></WebControlMessage>";
  for (auto _ : state) {
    corvane_test::Worker().ProcessResponse(body.c_str());
    state.PauseTiming();
    hostsim::ClearLog();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(body.size()));
}
BENCHMARK(BM_ProcessResponse)->Arg(1 << 10)->Arg(50 << 10)->Arg(1 << 20);

}  // namespace
