// Text of a placement configuration (TSMCnfg.XML) for tests.
#pragma once

#include <string>
#include <vector>

namespace corvane_test {

struct AceVariable {
  std::string name;
  std::string parameterName;
};

// A configuration that sends the given variables to the service URL.
inline std::string PlacementConfiguration(const std::string& url,
                                          const std::vector<AceVariable>& variables = {}) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TSMConfiguration>\n"
                     "  <WebTSMPlacementConfiguration url=\"" + url + "\">\n"
                     "    <AceVariableList>\n";
  for (const auto& variable : variables) {
    text += "      <AceVariable name=\"" + variable.name + "\" parameterName=\"" +
            variable.parameterName + "\"/>\n";
  }
  text += "    </AceVariableList>\n  </WebTSMPlacementConfiguration>\n</TSMConfiguration>\n";
  return text;
}

// A loopback address on which nothing listens: connecting to it is refused at once.
inline constexpr const char* kRefusedUrl = "http://127.0.0.1:1/messages";

}  // namespace corvane_test
