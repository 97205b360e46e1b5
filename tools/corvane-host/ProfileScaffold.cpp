#include "ProfileScaffold.h"

#include <charconv>
#include <fstream>
#include <nlohmann/json.hpp>
#include <system_error>

#include "Profile.h"

namespace corvane::host {
namespace {

using nlohmann::ordered_json;

std::string EscapeAttribute(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\n':
        escaped += "&#10;";
        break;
      case '\r':
        escaped += "&#13;";
        break;
      case '\t':
        escaped += "&#9;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

bool IsChecksumName(const std::string& name) {
  constexpr std::string_view kChecksum = "checksum";
  if (name.size() != kChecksum.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != kChecksum[i]) return false;
  }
  return true;
}

ordered_json VariableValue(const std::string& text) {
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (!text.empty() && error == std::errc() && end == text.data() + text.size()) return number;
  return text;
}

ordered_json ProfileJson(const ScaffoldRequest& request) {
  ordered_json variables = ordered_json::object();
  ordered_json preferences = ordered_json::object();
  for (const auto& variable : request.variables) {
    if (!variable.value || IsChecksumName(variable.name)) continue;
    if (variable.name.starts_with("Userpref")) {
      preferences[variable.name] = *variable.value;
    } else {
      variables[variable.name] = VariableValue(*variable.value);
    }
  }
  ordered_json profile;
  profile["launchApproval"] = true;
  profile["dataIniFile"] = "data.ini";
  profile["baseDirectory"] = "base";
  profile["evaluator"] = {{"conditions", {{"Browser.IsConnectionActive", true}}},
                          {"variables", variables}};
  profile["currentUser"] = {{"preferenceStore", preferences}};
  return profile;
}

std::string DataIni(const std::vector<AceVariableArgument>& variables) {
  std::string ini = "[WEBTSM]\nWEBTSMON=1\n";
  for (const auto& variable : variables) {
    if (variable.value && IsChecksumName(variable.name))
      ini += "CheckSum=" + *variable.value + "\n";
  }
  return ini;
}

bool WriteText(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

std::optional<AceVariableArgument> ParseAceVariableArgument(const std::string& definition) {
  AceVariableArgument argument;
  const auto nameEnd = definition.find_first_of(":=");
  argument.name = definition.substr(0, nameEnd);
  if (argument.name.empty()) return std::nullopt;
  if (nameEnd == std::string::npos) return argument;
  std::string rest = definition.substr(nameEnd);
  if (rest.front() == ':') {
    const auto parameterEnd = rest.find('=');
    argument.parameterName =
        rest.substr(1, parameterEnd == std::string::npos ? std::string::npos : parameterEnd - 1);
    rest = parameterEnd == std::string::npos ? std::string() : rest.substr(parameterEnd);
  }
  if (!rest.empty()) argument.value = rest.substr(1);
  return argument;
}

std::string PlacementConfigurationXml(const std::string& url,
                                      const std::vector<AceVariableArgument>& variables) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TSMConfiguration>\n";
  xml += "  <WebTSMPlacementConfiguration url=\"" + EscapeAttribute(url) + "\">\n";
  xml += "    <AceVariableList>\n";
  for (const auto& variable : variables) {
    xml += "      <AceVariable name=\"" + EscapeAttribute(variable.name) + "\"";
    if (variable.parameterName) {
      xml += " parameterName=\"" + EscapeAttribute(*variable.parameterName) + "\"";
    }
    xml += "/>\n";
  }
  xml += "    </AceVariableList>\n  </WebTSMPlacementConfiguration>\n</TSMConfiguration>\n";
  return xml;
}

std::string ScaffoldProfile(const ScaffoldRequest& request) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::exists(request.folder, error) && !fs::is_empty(request.folder, error) &&
      !request.overwrite) {
    return request.folder.string() + ": folder is not empty (--force rewrites the profile files)";
  }
  const fs::path base = request.folder / "base";
  const fs::path placement = base / kPlacementConfigurationPath;
  fs::create_directories(placement.parent_path(), error);
  if (!error) fs::create_directories(base / kMessagesFolderPath, error);
  if (error) return request.folder.string() + ": cannot create folders: " + error.message();

  const std::pair<fs::path, std::string> files[] = {
      {request.folder / kProfileFileName, ProfileJson(request).dump(2) + "\n"},
      {request.folder / "data.ini", DataIni(request.variables)},
      {placement, PlacementConfigurationXml(request.url, request.variables)},
  };
  for (const auto& [file, text] : files) {
    if (!WriteText(file, text)) return file.string() + ": cannot be written";
  }
  return {};
}

}  // namespace corvane::host
