// The system-object registrar and the configurable condition evaluator registered in it as
// "AppFW::IConditionEvaluator".
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "BoundedHistory.h"
#include "HostSimInternal.h"
#include "NoDestructor.h"
#include "host/ConditionEvaluator.h"
#include "hostsim/HostSim.h"

namespace hostsim::detail {
namespace {

constexpr const char* kEvaluatorName = "AppFW::IConditionEvaluator";
constexpr long kDefaultFailureCode = -1;

struct ConditionEntry {
  std::optional<bool> result;
  std::optional<Failure> failure;
};
struct VariableEntry {
  Util::Variant value;
  std::optional<Failure> failure;
};

struct EvaluatorState {
  std::mutex mutex;
  EvaluatorKind kind = EvaluatorKind::None;
  std::map<std::string, ConditionEntry> conditions;
  std::map<std::string, VariableEntry> variables;
  BoundedHistory<std::string> requests;
};

EvaluatorState& TheState() {
  static NoDestructor<EvaluatorState> state;
  return state.get();
}

// The status for a configured failure; raises it through the host's own thrower instead
// when so configured. A code of 0 would read as success, so it becomes the generic failure code.
Util::Status FailureStatus(const Failure& failure) {
  const long code = failure.code != 0 ? failure.code : kDefaultFailureCode;
  if (failure.throwException) {
    Util::LocalOps localOps(Util::SourceContext(__FILE__, __LINE__, "hostsim::FailureStatus",
                                                "Util::Status hostsim::FailureStatus(Failure)"));
    Util::LocalOps::ThrowStatusCodeFunctor(localOps, __LINE__)(code, "%s", failure.message.c_str());
  }
  return Util::Status(code, Util::TString(failure.message.c_str()));
}

class ConfigurableEvaluator final : public AppFW::IConditionEvaluator {
 public:
  // An unknown condition succeeds and leaves the result as the caller preset it.
  Util::Status EvaluateCondition(const char* name, bool& result) override {
    std::optional<ConditionEntry> entry = Find(&EvaluatorState::conditions, name);
    if (!entry) {
      return Util::Status::GetSucceeded();
    }
    if (entry->result) {
      result = *entry->result;
    }
    return entry->failure ? FailureStatus(*entry->failure) : Util::Status::GetSucceeded();
  }

  // An unknown variable fails and leaves the value untouched.
  Util::Status GetVariableValue(const char* name, Util::Variant& value) override {
    std::optional<VariableEntry> entry = Find(&EvaluatorState::variables, name);
    if (!entry) {
      const std::string message = std::string("Unknown variable '") + Safe(name) + "'";
      return Util::Status(kDefaultFailureCode, Util::TString(message.c_str()));
    }
    value = entry->value;
    return entry->failure ? FailureStatus(*entry->failure) : Util::Status::GetSucceeded();
  }

 private:
  static const char* Safe(const char* name) { return name != nullptr ? name : ""; }

  template <class Entry>
  static std::optional<Entry> Find(std::map<std::string, Entry> EvaluatorState::*table,
                                   const char* name) {
    EvaluatorState& state = TheState();
    std::lock_guard lock(state.mutex);
    state.requests.emplace_back(Safe(name));
    const auto found = (state.*table).find(Safe(name));
    if (found == (state.*table).end()) {
      return std::nullopt;
    }
    return found->second;
  }
};

// Registered under the evaluator's name when a test wants an object of the wrong type there.
class UnrelatedObject final : public Util::Object {};

class HostRegistrar final : public Util::SystemObjectRegistrar {
 public:
  Util::Object* GetSystemObject(const char* name) override {
    if (name == nullptr || std::strcmp(name, kEvaluatorName) != 0) {
      return nullptr;
    }
    EvaluatorState& state = TheState();
    std::lock_guard lock(state.mutex);
    switch (state.kind) {
      case EvaluatorKind::Evaluator:
        return &m_evaluator;
      case EvaluatorKind::OtherObject:
        return &m_unrelated;
      case EvaluatorKind::None:
        break;
    }
    return nullptr;
  }

 private:
  ConfigurableEvaluator m_evaluator;
  UnrelatedObject m_unrelated;
};

}  // namespace

void ResetEvaluator() {
  EvaluatorState& state = TheState();
  std::lock_guard lock(state.mutex);
  state.kind = EvaluatorKind::None;
  state.conditions.clear();
  state.variables.clear();
  state.requests.clear();
}

}  // namespace hostsim::detail

namespace hostsim {

void SetEvaluatorKind(EvaluatorKind kind) {
  detail::EvaluatorState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.kind = kind;
}

void SetCondition(const std::string& name, std::optional<bool> result,
                  std::optional<Failure> failure) {
  detail::EvaluatorState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.conditions[name] = detail::ConditionEntry{result, std::move(failure)};
}

void SetVariable(const std::string& name, const Util::Variant& value,
                 std::optional<Failure> failure) {
  detail::EvaluatorState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.variables[name] = detail::VariableEntry{value, std::move(failure)};
}

void ClearEvaluator() {
  detail::EvaluatorState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.conditions.clear();
  state.variables.clear();
  state.requests.clear();
}

std::vector<std::string> EvaluatorRequests() {
  detail::EvaluatorState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  return state.requests;
}

}  // namespace hostsim

namespace Util {

Object::~Object() = default;
SystemObjectRegistrar::~SystemObjectRegistrar() = default;

SystemObjectRegistrar& SystemObjectRegistrar::instance() {
  static hostsim::detail::NoDestructor<hostsim::detail::HostRegistrar> registrar;
  return registrar.get();
}

}  // namespace Util

namespace AppFW {
IConditionEvaluator::~IConditionEvaluator() = default;
}  // namespace AppFW
