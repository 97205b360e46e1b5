// PREFS: the current user and the user's preference store.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "BoundedHistory.h"
#include "HostSimInternal.h"
#include "NoDestructor.h"
#include "PREFS/OwnedVariant.h"
#include "host/Prefs.h"
#include "hostsim/HostSim.h"

namespace hostsim::detail {

bool OwnedVariant::AssignText(const std::string& text) {
  VariantClear(&m_value);
  const int length = static_cast<int>(text.size());
  const int wide =
      length == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (length != 0 && wide <= 0) {
    return false;
  }
  BSTR string = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
  if (string == nullptr) {
    return false;
  }
  if (wide > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, string, wide);
  }
  m_value.vt = VT_BSTR;
  m_value.bstrVal = string;
  return true;
}

namespace {

struct PreferenceState {
  std::mutex mutex;
  bool userPresent = true;
  bool storePresent = true;
  std::map<std::string, OwnedVariant> values;
  BoundedHistory<std::string> requests;
};

PreferenceState& TheState() {
  static NoDestructor<PreferenceState> state;
  return state.get();
}

// A name the store does not know leaves the caller's VARIANT as it was.
class PreferenceStore final : public CPersistentAggregateValueManager {
 public:
  HRESULT GetAggregateValue(const char* name, VARIANT* value) override {
    PreferenceState& state = TheState();
    std::lock_guard lock(state.mutex);
    const std::string key = name != nullptr ? name : "";
    state.requests.push_back(key);
    const auto found = state.values.find(key);
    if (found == state.values.end() || value == nullptr) {
      return E_INVALIDARG;
    }
    VariantClear(value);
    return CopyVariant(value, found->second.get());
  }
};

class User final : public CUser {
 public:
  CPersistentAggregateValueManager* GetUsersAVM() override {
    PreferenceState& state = TheState();
    std::lock_guard lock(state.mutex);
    return state.storePresent ? &m_store : nullptr;
  }

 private:
  PreferenceStore m_store;
};

}  // namespace

void ResetPreferences() {
  PreferenceState& state = TheState();
  std::lock_guard lock(state.mutex);
  state.userPresent = true;
  state.storePresent = true;
  state.values.clear();
  state.requests.clear();
}

}  // namespace hostsim::detail

namespace hostsim {

void SetCurrentUserPresent(bool present) {
  detail::PreferenceState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.userPresent = present;
}

void SetPreferenceStorePresent(bool present) {
  detail::PreferenceState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.storePresent = present;
}

void SetPreference(const std::string& name, const std::string& value) {
  detail::OwnedVariant stored;
  stored.AssignText(value);
  detail::PreferenceState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.values[name] = stored;
}

void SetPreferenceVariant(const std::string& name, const VARIANT& value) {
  detail::OwnedVariant stored;
  stored.Assign(value);
  detail::PreferenceState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.values[name] = stored;
}

void ClearPreferences() {
  detail::PreferenceState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.values.clear();
  state.requests.clear();
}

std::vector<std::string> PreferenceRequests() {
  detail::PreferenceState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  return state.requests;
}

}  // namespace hostsim

CPersistentAggregateValueManager::~CPersistentAggregateValueManager() = default;
CUser::~CUser() = default;

CUser* GetCurrentUser() {
  static hostsim::detail::NoDestructor<hostsim::detail::User> user;
  hostsim::detail::PreferenceState& state = hostsim::detail::TheState();
  std::lock_guard lock(state.mutex);
  return state.userPresent ? &user.get() : nullptr;
}
