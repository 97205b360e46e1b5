// The stand-in host as both activation benchmarks drive it: set up to evaluate the host
// values and report a live connection, one activation's messages run until the answer is
// stored, and at the end the open exchange sent to the background and what is still queued
// discarded, so that nothing runs the module's code after it is unloaded.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "BenchVariables.h"
#include "ModuleLogTexts.h"
#include "hostsim/HostSim.h"

class BenchHost {
 public:
  BenchHost() {
    hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
    hostsim::SetCondition("Browser.IsConnectionActive", true);
  }
  ~BenchHost() {
    hostsim::DeliverGoingBackground();
    hostsim::DiscardPendingMessages();
  }
  BenchHost(const BenchHost&) = delete;
  BenchHost& operator=(const BenchHost&) = delete;

  // Runs the host's messages until the module logs that it stored the answer.
  static bool RunUntilStored(std::chrono::seconds limit) {
    return hostsim::RunMessagesUntil(
        [] {
          const std::vector<std::string> texts = hostsim::LogTexts();
          return !texts.empty() && texts.back() == corvane_test::kSavedLine;
        },
        limit);
  }
};

// The query the module sends for `count` bench variables and no recorded checksum.
inline std::string BenchQuery(int count) {
  std::string query = "?cs=0";
  for (int index = 0; index < count; ++index) {
    query += "&v" + std::to_string(index) + "=" + std::to_string(BenchVariableValue(index));
  }
  return query;
}
