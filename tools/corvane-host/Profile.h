// What a host gives the module, as read from a profile folder: the host's values from
// profile.json and the paths of the data INI file and base directory 1. Text is UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvane::host {

struct FailureSpec {
  long code = 1;
  std::string message;
  bool throwException = false;  // raise the host's exception instead of a failed status
};

struct ConditionSpec {
  std::string name;
  std::optional<bool> result;  // empty: the evaluator leaves the caller's flag as it was
  std::optional<FailureSpec> failure;
};

// One evaluator variable: the host variant's tag and the value that goes with it.
struct VariableSpec {
  enum class Kind { None, Integer, Double, Bool, String, WideString, Raw };
  std::string name;
  Kind kind = Kind::None;
  std::uint32_t tag = 0;
  std::int64_t integer = 0;  // Integer and Raw (the value bits)
  double real = 0.0;
  bool boolean = false;
  std::optional<std::string> text;  // String and WideString; empty: a null pointer
  std::optional<FailureSpec> failure;
};

enum class EvaluatorPresence { None, OtherObject, Evaluator };

struct Preference {
  std::string name;
  std::string value;
};

struct Profile {
  std::filesystem::path folder;
  bool launchApproval = true;
  std::optional<std::filesystem::path> dataIniFile;  // empty: the host names none
  std::filesystem::path baseDirectory;
  EvaluatorPresence evaluator = EvaluatorPresence::Evaluator;
  std::vector<ConditionSpec> conditions;
  std::vector<VariableSpec> variables;
  bool currentUser = true;
  bool preferenceStore = true;
  std::vector<Preference> preferences;
};

// Fixed names inside a profile folder.
inline constexpr const char* kProfileFileName = "profile.json";
inline constexpr const char* kPlacementConfigurationPath =
    "components/PlacementConfiguration/TSMCnfg.XML";
inline constexpr const char* kMessagesFolderPath = "components/messages";

}  // namespace corvane::host
