// Ace variables: the text that one variable name contributes to the request, from the stored
// checksum, the current user's preference store or the host's condition evaluator.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "BstrText.h"
#include "ConditionEvaluatorLookup.h"
#include "CorvaneConfiguration.h"
#include "ModuleLog.h"
#include "WebTsmSettings.h"
#include "host/ConditionEvaluator.h"
#include "host/Prefs.h"

namespace {

constexpr corvane::LogSite kAceVariableSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::GetAceVariableValueForNode",
    "class Util::TString<char,class Util::TStringAllocator<char> > __cdecl "
    "CorvaneConfiguration::GetAceVariableValueForNode(const class Util::TString<char,class "
    "Util::TStringAllocator<char> > &)"};

constexpr const char* kPreferencePrefix = "Userpref";
constexpr std::size_t kPreferencePrefixLength = 8;
constexpr const char* kInvalidVariable = "invalid variable";
constexpr const char* kValueNotFound = "value not found";

bool IsPreferenceName(const char* name) {
  return std::strncmp(name, kPreferencePrefix, kPreferencePrefixLength) == 0;
}

Util::TString DecimalText(std::int32_t value) {
  char digits[16] = {};
  std::to_chars(digits, digits + sizeof digits - 1, value);
  return Util::TString(digits);
}

// Only the low 32 bits count, read as a signed number, whatever the host's integer width.
std::int32_t Low32Bits(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) &
                                                              0xFFFFFFFFu));
}

// Toward zero; NaN and values outside the 32-bit range give the smallest 32-bit integer.
std::int32_t TruncatedToInt32(double value) {
  const double truncated = std::trunc(value);
  if (std::isnan(truncated) ||
      truncated < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      truncated > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(truncated);
}

// The store is expected to answer with a string. Any other answer gives an empty text rather
// than a locale-dependent rendering of a number or a flag.
Util::TString PreferenceText(const VARIANT& value) {
  if (value.vt != VT_BSTR) {
    return Util::TString();
  }
  return Util::TString(static_cast<const WCHAR*>(value.bstrVal));
}

Util::TString PreferenceValue(const char* name) {
  const ATL::CComBSTR empty = corvane::NarrowToBstr("");
  ATL::CComVariant value(empty.m_str);
  if (CUser* user = GetCurrentUser()) {
    if (CPersistentAggregateValueManager* store = user->GetUsersAVM()) {
      static_cast<void>(store->GetAggregateValue(name, &value));
    }
  }
  return PreferenceText(value);
}


}  // namespace

Util::TString CorvaneConfiguration::GetAceVariableValueForNode(const Util::TString& name) {
  if (Util::CompareStrings(name, corvane::kIniCheckSumKey, Util::CaseInsensitive) == 0) {
    return Util::TString(m_checkSum);
  }
  if (IsPreferenceName(name)) {
    return PreferenceValue(name);
  }

  AppFW::IConditionEvaluator* evaluator = corvane::FindConditionEvaluator();
  if (evaluator == nullptr) {
    CORVANE_LOG_PROGRESS(kAceVariableSite,
                         "Unable to get the evaluator. Ignoring the GetAceVariableValueForNode request");
    CORVANE_LOG_PROGRESS(kAceVariableSite, "%s", static_cast<const char*>(name));
    return Util::TString(kInvalidVariable);
  }
  Util::Variant value;
  const Util::Status status = evaluator->GetVariableValue(name, value);
  Util::TString text = VariantToString(value);
  return status.Succeeded() ? text : Util::TString(kInvalidVariable);
}

Util::TString CorvaneConfiguration::VariantToString(Util::Variant value) {
  const Util::Variant::Value& field = value.GetValue();
  switch (value.GetType()) {
    case Util::Variant::TagEmpty:
    case Util::Variant::TagNull:
      return Util::TString();
    case Util::Variant::TagInt8:
    case Util::Variant::TagInt16:
    case Util::Variant::TagInt32:
    case Util::Variant::TagInt64:
    case Util::Variant::TagLong:
    case Util::Variant::TagUInt8:
    case Util::Variant::TagUInt16:
    case Util::Variant::TagUInt32:
    case Util::Variant::TagUInt64:
    case Util::Variant::TagULong:
      return DecimalText(Low32Bits(field.integer));
    case Util::Variant::TagDouble:
      return DecimalText(TruncatedToInt32(field.real));
    case Util::Variant::TagBool:
      return Util::TString(field.boolean != 0 ? "true" : "false");
    case Util::Variant::TagString:
      return Util::TString(static_cast<const char*>(field.string));
    case Util::Variant::TagWideString:
      return Util::TString(static_cast<const WCHAR*>(field.wideString));
    default:
      return Util::TString(kValueNotFound);
  }
}
