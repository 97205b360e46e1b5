// The placement configuration and the host's values into the request URL. Half the inputs are
// whole documents of any bytes (no crash, no exception); the other half build a document from
// a service URL and Ace variables whose names, parameter names and values come from the
// input, with the value of each from the recorded checksum, a preference or the evaluator
// (any tag, a failure, a raised exception). The URL then begins with the service URL and "?",
// holds one pair per named variable, and every other byte of its query is unreserved or
// percent-encoded; an ASCII parameter name keeps its unreserved bytes and encodes the others.
// Where the harness knows the text a variable gives (the checksum for its name in any case, a
// preference for a name beginning "Userpref", "invalid variable" for a failed evaluation, a
// string value) and that text and the name are printable ASCII, the value is exactly encoded.
// The evaluator is asked once for each other name, in document order.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CorvaneConfiguration.h"
#include "FuzzProfile.h"
#include "FuzzSupport.h"

namespace {

using corvane_fuzz::Require;

struct Variable {
  std::optional<std::string> name;
  std::optional<std::string> parameterName;
  bool raises = false;  // its evaluation raises the host's exception
};

constexpr const char* kInvalidVariable = "invalid variable";

// What the host answers for a name: an evaluated name's text where the harness knows it
// (nullopt: a tag whose text the variant tests pin), and the preferences set.
struct HostValues {
  std::map<std::string, std::optional<std::string>> evaluated;
  std::map<std::string, std::string> preferences;
};

bool IsUnreserved(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_' ||
         c == '~';
}

bool IsPrintableAscii(const std::string& text) {
  return std::ranges::all_of(text, [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// Attribute text: markup characters and line breaks as character references, other control
// bytes dropped (XML cannot hold them), the rest as it is.
std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (std::string_view("&<>\"\t\n\r").find(c) != std::string_view::npos) {
      out += "&#" + std::to_string(c) + ";";
    } else if (static_cast<unsigned char>(c) >= 0x20) {
      out.push_back(c);
    }
  }
  return out;
}

// The exact encoding a parameter name must have: unreserved bytes as they are, every other
// byte as '%' and two upper-case hex digits.
std::string PercentEncoded(const std::string& text) {
  std::string out;
  for (const char c : text) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
    out += IsUnreserved(c) ? std::string(1, c) : hex;
  }
  return out;
}

std::string PrintableText(FuzzedDataProvider& input, std::size_t most) {
  std::string text = input.ConsumeRandomLengthString(most);
  std::erase_if(text, [](char c) { return c < 0x20 || c > 0x7E; });
  return text;
}

// Text as a C string carries it: up to its first NUL.
std::string UpToNul(const std::string& text) { return text.substr(0, text.find('\0')); }

// What the evaluator answers for a name: any tag, any value, or a failure.
// True when the evaluation is to raise the host's exception.
bool SetEvaluatorValue(FuzzedDataProvider& input, const std::string& name, HostValues& values) {
  Util::Variant value;
  std::optional<hostsim::Failure> failure;
  std::optional<std::string> text;
  switch (input.ConsumeIntegralInRange(0, 8)) {
    case 0:
      value.SetInteger(input.PickValueInArray({0x0101u, 0x0103u, 0x0104u, 0x0204u, 0x0205u}),
                       input.ConsumeIntegral<std::int64_t>());
      break;
    case 1:
      value.SetDouble(input.ConsumeFloatingPoint<double>());
      break;
    case 2:
      value.SetBool(input.ConsumeBool());
      break;
    case 3:
      text = UpToNul(input.ConsumeRandomLengthString(60));
      value.SetString(text->c_str());
      break;
    case 4:
      value.SetString(nullptr);
      text = "";
      break;
    case 5: {
      std::u16string wide;
      for (std::size_t count = input.ConsumeIntegralInRange(0, 20); count > 0; --count) {
        wide.push_back(input.ConsumeIntegralInRange<char16_t>(1, 0xFFFF));
      }
      value.SetWideString(input.ConsumeBool() ? wide.c_str() : nullptr);
      break;
    }
    case 6: {  // any tag but the two whose value is a pointer
      std::uint32_t tag = input.ConsumeIntegral<std::uint32_t>();
      if (tag == Util::Variant::TagString || tag == Util::Variant::TagWideString) tag = 0x4000;
      value.SetRaw(tag, input.ConsumeIntegral<std::int64_t>());
      break;
    }
    case 7:
      failure = hostsim::Failure{input.ConsumeIntegral<long>(), PrintableText(input, 30),
                                 input.ConsumeBool()};
      text = kInvalidVariable;
      break;
    default:  // never set here: the evaluator fails unless an earlier variable set it
      values.evaluated.try_emplace(name, kInvalidVariable);
      return false;
  }
  values.evaluated[name] = text;
  hostsim::SetVariable(name, value, failure);
  return failure && failure->throwException;
}

std::optional<std::string> AttributeText(FuzzedDataProvider& input) {
  if (input.ConsumeIntegralInRange(0, 5) == 0) return std::nullopt;
  return input.ConsumeRandomLengthString(40);
}

std::vector<Variable> MakeVariables(FuzzedDataProvider& input, HostValues& values) {
  std::vector<Variable> variables(input.ConsumeIntegralInRange<std::size_t>(0, 8));
  for (Variable& variable : variables) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0:  // names at the edges between the sources
        variable.name = input.PickValueInArray(
            {"CheckSum", "checksum", "CHECKSUM", "CheckSumX", "userprefCountry", "Userpre"});
        break;
      case 1:
        variable.name = "Userpref" + input.ConsumeRandomLengthString(20);
        if (input.ConsumeBool()) {
          const std::string preference = input.ConsumeRandomLengthString(40);
          hostsim::SetPreference(*variable.name, preference);
          values.preferences[*variable.name] = UpToNul(preference);
        }
        break;
      default:
        variable.name = AttributeText(input);
        if (variable.name) variable.raises = SetEvaluatorValue(input, *variable.name, values);
    }
    variable.parameterName = AttributeText(input);
  }
  return variables;
}

std::string Document(const std::string& url, const std::vector<Variable>& variables) {
  std::string text = "<TSMConfiguration><WebTSMPlacementConfiguration url=\"" + Escaped(url) +
                     "\"><AceVariableList>";
  for (const Variable& variable : variables) {
    text += "<AceVariable";
    if (variable.name) text += " name=\"" + Escaped(*variable.name) + "\"";
    if (variable.parameterName)
      text += " parameterName=\"" + Escaped(*variable.parameterName) + "\"";
    text += "/>";
  }
  return text + "</AceVariableList></WebTSMPlacementConfiguration></TSMConfiguration>";
}

// All names but the checksum's (in any case) and the preferences' go to the evaluator.
bool AskedOfTheEvaluator(const std::string& name) {
  std::string lower = name;
  std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower != "checksum" && !name.starts_with("Userpref");
}

// The text a name gives, where the harness knows it.
std::optional<std::string> ExpectedValue(const std::string& name, const std::string& checksum,
                                         const HostValues& values) {
  if (AskedOfTheEvaluator(name)) {
    const auto evaluated = values.evaluated.find(name);
    return evaluated == values.evaluated.end() ? kInvalidVariable : evaluated->second;
  }
  if (!name.starts_with("Userpref")) return checksum;
  const auto preference = values.preferences.find(name);
  return preference == values.preferences.end() ? "" : preference->second;
}

void CheckQuery(const std::string& query, const std::vector<Variable>& variables,
                const std::string& checksum, const HostValues& values) {
  const auto upperHex = [&query](std::size_t at) {
    return at < query.size() && std::isxdigit(static_cast<unsigned char>(query[at])) != 0 &&
           std::islower(static_cast<unsigned char>(query[at])) == 0;
  };
  for (std::size_t at = 0; at < query.size(); ++at) {
    if (query[at] == '%') {
      Require(upperHex(at + 1) && upperHex(at + 2),
              "a '%' without two upper-case hex digits at " + std::to_string(at) + ": " + query);
      at += 2;
    } else {
      Require(IsUnreserved(query[at]) || query[at] == '&' || query[at] == '=',
              "unencoded byte " + std::to_string(static_cast<unsigned char>(query[at])) + " in " +
                  query);
    }
  }
  // The pairs, in document order, each after "&" but the one at list position 0.
  std::size_t at = 0;
  for (std::size_t position = 0; position < variables.size(); ++position) {
    const Variable& variable = variables[position];
    if (!variable.name) continue;
    if (position > 0) {
      Require(query.compare(at, 1, "&") == 0, "no '&' before pair " + std::to_string(position));
      ++at;
    }
    const std::size_t equals = query.find('=', at);
    Require(equals != std::string::npos, "no '=' in pair " + std::to_string(position));
    const std::string parameter = variable.parameterName.value_or(*variable.name);
    if (IsPrintableAscii(parameter)) {
      Require(query.substr(at, equals - at) == PercentEncoded(parameter),
              "parameter name of pair " + std::to_string(position) + " in " + query);
    }
    at = query.find('&', equals);
    if (at == std::string::npos) at = query.size();
    const auto expected = IsPrintableAscii(*variable.name)
                              ? ExpectedValue(*variable.name, checksum, values)
                              : std::nullopt;
    if (expected && IsPrintableAscii(*expected)) {
      Require(query.substr(equals + 1, at - equals - 1) == PercentEncoded(*expected),
              "value of pair " + std::to_string(position) + " in " + query);
    }
  }
  Require(at == query.size(), "more pairs than named variables: " + query);
}

// The evaluator is asked once for each named variable the checksum and preferences do not
// answer, in document order (where every name is printable ASCII and so reaches it unchanged).
void CheckEvaluations(const std::vector<std::string>& asked,
                      const std::vector<Variable>& variables) {
  std::vector<std::string> expected;
  for (const Variable& variable : variables) {
    if (!variable.name) continue;
    if (!IsPrintableAscii(*variable.name)) return;
    if (AskedOfTheEvaluator(*variable.name)) expected.push_back(*variable.name);
  }
  Require(asked == expected, "the evaluator was not asked once for each variable in turn");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const corvane_fuzz::FuzzProfile profile("request");
  FuzzedDataProvider input(data, size);
  const bool wholeDocument = input.ConsumeBool();
  // The handshake without a configuration reads the recorded checksum and empties the URL of
  // the input before, which a build then keeps, logging nothing; nothing is sent.
  profile.Reset(PrintableText(input, 120));
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  std::error_code ignored;
  corvane_fuzz::fs::remove(profile.placementFolder / "TSMCnfg.XML", ignored);
  CorvaneConfiguration& worker = *CorvaneConfiguration::GetInstance();
  worker.TSMFirstHandShake();
  const std::size_t logged = hostsim::LogTexts().size();
  Require(std::string(static_cast<const char*>(worker.BuildRequestURL())).empty() &&
              hostsim::LogTexts().size() == logged,
          "a URL or a log line without a configuration");

  if (wholeDocument) {
    corvane_test::WriteBytes(profile.placementFolder / "TSMCnfg.XML",
                             input.ConsumeRemainingBytesAsString());
    try {
      static_cast<void>(worker.BuildRequestURL());
    } catch (...) {  // NOLINT(bugprone-empty-catch): the request driver catches every exception
    }
    return 0;
  }
  const std::string url = PrintableText(input, 60);
  HostValues values;
  const std::vector<Variable> variables = MakeVariables(input, values);
  corvane_test::WriteBytes(profile.placementFolder / "TSMCnfg.XML", Document(url, variables));
  const std::size_t askedBefore = hostsim::EvaluatorRequests().size();
  std::string built;
  try {
    built = static_cast<const char*>(worker.BuildRequestURL());
  } catch (...) {
    // Only an evaluator that raises may end the build; the request driver catches that.
    const bool raised =
        std::any_of(variables.begin(), variables.end(), [](const Variable& v) { return v.raises; });
    Require(raised, "BuildRequestURL raised an exception for a well-formed configuration");
    return 0;
  }
  // Names and values keep their bytes, and some byte sequences are no XML characters (U+FFFF,
  // say): such a configuration is refused with a parse error and no URL.
  const auto log = hostsim::LogTexts();
  const auto refused = [](const std::string& line) {
    return line.starts_with("XSD parsing error");
  };
  if (built.empty() && std::any_of(log.begin(), log.end(), refused)) return 0;
  const std::string prefix = url + "?";
  Require(built.compare(0, prefix.size(), prefix) == 0,
          "URL '" + built + "' does not begin with " + prefix);
  // The handshake reads at most 100 characters of the recorded checksum.
  CheckQuery(built.substr(prefix.size()), variables, profile.RecordedCheckSum().substr(0, 100),
             values);
  const std::vector<std::string> asked = hostsim::EvaluatorRequests();
  CheckEvaluations({asked.begin() + static_cast<std::ptrdiff_t>(askedBefore), asked.end()},
                   variables);
  return 0;
}
