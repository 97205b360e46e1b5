// The host values both activation benchmarks send: `count` integer variables
// Product.Value0.. set to 1000, 1001, .. in the stand-in host, named v0, v1, .. in the
// placement configuration.
#pragma once

#include <string>
#include <vector>

#include "PlacementConfiguration.h"
#include "hostsim/HostSim.h"

inline int BenchVariableValue(int index) { return 1000 + index; }

inline std::vector<corvane_test::AceVariable> SetBenchVariables(int count) {
  std::vector<corvane_test::AceVariable> list;
  for (int index = 0; index < count; ++index) {
    const std::string name = "Product.Value" + std::to_string(index);
    Util::Variant value;
    value.SetInteger(Util::Variant::TagInt32, BenchVariableValue(index));
    hostsim::SetVariable(name, value);
    list.push_back({name, "v" + std::to_string(index)});
  }
  return list;
}
