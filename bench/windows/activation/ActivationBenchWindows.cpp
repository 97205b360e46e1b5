// The cost of one activation of Corvane.dll under Wine beside the bare work the job needs
// done with Windows' own libraries, in one process against the same loopback server and
// answers as the Linux benchmark:
// - activation: the module loaded as the windows tests and corvane-host.exe load it, with
//   the stand-in host's DLLs; its entry point called and the host's message sequence run
//   until the answer is stored and its checksum recorded;
// - baseline (BareWork.cpp): synchronous WinINet and MSXML 6, the file rename and the INI
//   write.
// Under Wine absolute times say little about Windows, so only ratios are printed. Each
// repetition times a series of activations and then one of baselines; a case's wall-time
// ratio is the median over its repetitions, next to the lowest and highest. Wine counts
// process CPU in 10 ms ticks, too coarse for one series, so the CPU ratio is that of the
// totals over all repetitions; it leaves out the CPU of wineserver, another process. The
// server is the scripted test server running beside the program (scripts/bench.sh --windows
// starts it).
//   activation_bench_windows [--repetitions N] [--iterations N]
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "Answers.h"
#include "BareWork.h"
#include "BenchHost.h"
#include "ComApartment.h"
#include "HostProfile.h"
#include "LoadedModule.h"
#include "LocalHttpServer.h"
#include "PlacementConfiguration.h"
#include "RepeatedTiming.h"
#include "platform/Win32Api.h"

namespace {

using corvane_bench::Cost;
using corvane_bench::Median;

constexpr const char* kChecksum = "1234";
constexpr std::chrono::seconds kActivationLimit{10};
constexpr int kWarmUpRuns = 2;
constexpr std::array<std::size_t, 3> kAnswerSizes{1000, 16000, 48000};
constexpr std::array<int, 2> kVariableCounts{1, 20};

struct Settings {
  int repetitions = 5;
  int iterations = 20;
};

// The module, the host, the server and a host profile, shared by every case. The module is
// declared first, so it is unloaded after the host has discarded what is still queued.
struct Rig {

  // The answer of `size` bytes and a placement configuration with `variables` Ace variables;
  // returns the URL the bare work fetches, with the query the module sends.
  std::string Configure(std::size_t size, int variables) {
    server.SetAnswer(corvane_test::HttpAnswer{200, corvane_test::AnswerOfSize(kChecksum, size)});
    const std::vector<corvane_test::AceVariable> list = SetBenchVariables(variables);
    profile.WritePlacementConfiguration(
        corvane_test::PlacementConfiguration(server.Url("/tsm/get"), list));
    return server.Url("/tsm/get") + BenchQuery(variables);
  }

  bool Activate() const {
    hostsim::ClearLog();
    module.InvokeWebTsm();
    return BenchHost::RunUntilStored(kActivationLimit);
  }

  corvane_test::LoadedModule module;
  corvane_test::LocalHttpServer server;
  corvane_test::HostProfile profile;
  BenchHost host;  // declared last: the exchange ends before anything else goes
};

// Measures one case and prints its row; false when an activation or the bare work failed.
bool RunCase(Rig& rig, const Settings& settings, std::size_t size, int variables) {
  const std::string url = rig.Configure(size, variables);
  const std::string messages = rig.profile.messagesFolder.string();
  const std::string ini = rig.profile.iniFile.string();
  const auto activation = [&rig] { return rig.Activate(); };
  const auto baseline = [&] { return corvane_bench::DoBareWork(url, messages, ini); };

  std::printf("%8lu %9d", static_cast<unsigned long>(size), variables);
  if (!corvane_bench::MeasureRuns(kWarmUpRuns, activation) ||
      !corvane_bench::MeasureRuns(kWarmUpRuns, baseline)) {
    std::printf(" | warm-up failed\n");
    return false;
  }
  std::vector<double> wallRatios;
  double moduleCpu = 0;
  double bareCpu = 0;
  for (int repetition = 0; repetition < settings.repetitions; ++repetition) {
    const std::optional<Cost> module = corvane_bench::MeasureRuns(settings.iterations, activation);
    const std::optional<Cost> bare = corvane_bench::MeasureRuns(settings.iterations, baseline);
    if (!module || !bare) {
      std::printf(" | %s failed\n", module ? "the bare work" : "an activation");
      return false;
    }
    wallRatios.push_back(module->wallSeconds / bare->wallSeconds);
    moduleCpu += module->cpuSeconds;
    bareCpu += bare->cpuSeconds;
  }
  const auto [lowest, highest] = std::minmax_element(wallRatios.begin(), wallRatios.end());
  std::printf(" | %5.2f  %5.2f-%-6.2f | ", Median(wallRatios), *lowest, *highest);
  if (bareCpu > 0) {
    std::printf("%5.2f\n", moduleCpu / bareCpu);
  } else {
    std::printf("  (below the clock)\n");
  }
  std::fflush(stdout);
  return true;
}

// A count from 1 to 10000, or nullopt when the text is not one.
std::optional<int> Count(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 10000) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<Settings> ParseSettings(int argc, char** argv) {
  Settings settings;
  for (int index = 1; index + 1 < argc; index += 2) {
    const std::optional<int> count = Count(argv[index + 1]);
    if (!count) return std::nullopt;
    if (std::strcmp(argv[index], "--repetitions") == 0) {
      settings.repetitions = *count;
    } else if (std::strcmp(argv[index], "--iterations") == 0) {
      settings.iterations = *count;
    } else {
      return std::nullopt;
    }
  }
  return argc % 2 != 0 ? std::optional<Settings>(settings) : std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Settings> settings = ParseSettings(argc, argv);
  if (!settings) {
    std::fprintf(stderr, "usage: %s [--repetitions N] [--iterations N]  (N from 1 to 10000)\n",
                 argv[0]);
    return 1;
  }
  // The host thread's COM apartment for the whole run, as a host's main thread has one.
  const corvane::ComApartment apartment;
  Rig rig;
  if (!rig.module.IsLoaded() || rig.server.Port() == 0) {
    std::fprintf(stderr, "the module or the scripted server is not available\n");
    return 2;
  }
  std::printf("activation / baseline, %d repetitions of %d runs each\n", settings->repetitions,
              settings->iterations);
  std::printf("%8s %9s | %-19s | %s\n", "answer", "variables", "wall: median, range",
              "CPU: totals");
  bool allMeasured = true;
  for (const std::size_t size : kAnswerSizes) {
    for (const int variables : kVariableCounts) {
      allMeasured = RunCase(rig, *settings, size, variables) && allMeasured;
    }
  }
  return allMeasured ? 0 : 3;
}
