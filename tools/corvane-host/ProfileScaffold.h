// `corvane-host init`: writes a fresh profile folder for a service URL and a list of Ace
// variables, each given as NAME[:PARAMETER][=VALUE].
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvane::host {

struct AceVariableArgument {
  std::string name;
  std::optional<std::string> parameterName;
  std::optional<std::string> value;
};

// Splits NAME[:PARAMETER][=VALUE]; the name ends at the first ':' or '=', the parameter at
// the first '=' after it. Empty result on a definition with an empty name.
std::optional<AceVariableArgument> ParseAceVariableArgument(const std::string& definition);

struct ScaffoldRequest {
  std::filesystem::path folder;
  std::string url;
  std::vector<AceVariableArgument> variables;
  bool overwrite = false;  // rewrite the profile's files in a folder that is not empty
};

// Where each VALUE goes: a name starting with "Userpref" becomes a preference of the current
// user, "CheckSum" (any case) the stored checksum in the data INI file, any other name an
// evaluator variable (an integer when the text is one, else a string).
// Returns an error text, empty on success.
std::string ScaffoldProfile(const ScaffoldRequest& request);

// The placement configuration for the URL and the variables, UTF-8.
std::string PlacementConfigurationXml(const std::string& url,
                                      const std::vector<AceVariableArgument>& variables);

}  // namespace corvane::host
