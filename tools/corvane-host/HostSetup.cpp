#include "HostSetup.h"

#include <hostsim/HostSim.h>

#include "TextEncoding.h"

namespace corvane::host {
namespace {

std::optional<hostsim::Failure> HostFailure(const std::optional<FailureSpec>& failure) {
  if (!failure) return std::nullopt;
  return hostsim::Failure{failure->code, Utf8ToAnsi(failure->message), failure->throwException};
}

Util::Variant HostVariant(const VariableSpec& variable) {
  Util::Variant value;
  switch (variable.kind) {
    case VariableSpec::Kind::None:
      value.SetRaw(variable.tag, 0);
      break;
    case VariableSpec::Kind::Integer:
      value.SetInteger(variable.tag, variable.integer);
      break;
    case VariableSpec::Kind::Raw:
      value.SetRaw(variable.tag, variable.integer);
      break;
    case VariableSpec::Kind::Double:
      value.SetDouble(variable.real);
      break;
    case VariableSpec::Kind::Bool:
      value.SetBool(variable.boolean);
      break;
    case VariableSpec::Kind::String:
      if (variable.text) {
        value.SetString(Utf8ToAnsi(*variable.text).c_str());
      } else {
        value.SetString(nullptr);
      }
      break;
    case VariableSpec::Kind::WideString:
      if (variable.text) {
        value.SetWideString(Utf8ToUtf16(*variable.text).c_str());
      } else {
        value.SetWideString(nullptr);
      }
      break;
  }
  return value;
}

hostsim::EvaluatorKind HostEvaluatorKind(EvaluatorPresence presence) {
  switch (presence) {
    case EvaluatorPresence::None:
      return hostsim::EvaluatorKind::None;
    case EvaluatorPresence::OtherObject:
      return hostsim::EvaluatorKind::OtherObject;
    case EvaluatorPresence::Evaluator:
      break;
  }
  return hostsim::EvaluatorKind::Evaluator;
}

std::string HostPath(const std::filesystem::path& path) {
  return std::filesystem::absolute(path).make_preferred().string();
}

}  // namespace

std::string HostDirectory(const std::filesystem::path& folder) {
  std::string directory = HostPath(folder);
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  if (directory.empty() || directory.back() != separator) directory += separator;
  return directory;
}

void ApplyProfile(const Profile& profile) {
  hostsim::Reset();
  hostsim::SetLaunchApproval(profile.launchApproval);
  hostsim::SetDataIniFileName(profile.dataIniFile
                                  ? std::optional<std::string>(HostPath(*profile.dataIniFile))
                                  : std::nullopt);
  hostsim::SetBaseDirectory(HostDirectory(profile.baseDirectory));

  hostsim::SetEvaluatorKind(HostEvaluatorKind(profile.evaluator));
  for (const auto& condition : profile.conditions) {
    hostsim::SetCondition(Utf8ToAnsi(condition.name), condition.result,
                          HostFailure(condition.failure));
  }
  for (const auto& variable : profile.variables) {
    hostsim::SetVariable(Utf8ToAnsi(variable.name), HostVariant(variable),
                         HostFailure(variable.failure));
  }

  hostsim::SetCurrentUserPresent(profile.currentUser);
  hostsim::SetPreferenceStorePresent(profile.preferenceStore);
  for (const auto& preference : profile.preferences) {
    hostsim::SetPreference(Utf8ToAnsi(preference.name), Utf8ToAnsi(preference.value));
  }
}

}  // namespace corvane::host
