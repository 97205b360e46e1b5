// The host's launch approval.
#include <mutex>
#include <string>

#include "BoundedHistory.h"
#include "HostSimInternal.h"
#include "NoDestructor.h"
#include "host/AppCore.h"
#include "hostsim/HostSim.h"

namespace hostsim::detail {
namespace {

constexpr long kNotApproved = 1;

struct ApprovalState {
  std::mutex mutex;
  bool approved = true;
  BoundedHistory<ApprovalRequest> requests;
};

ApprovalState& TheState() {
  static NoDestructor<ApprovalState> state;
  return state.get();
}

}  // namespace

void ResetApproval() {
  ApprovalState& state = TheState();
  std::lock_guard lock(state.mutex);
  state.approved = true;
  state.requests.clear();
}

}  // namespace hostsim::detail

namespace hostsim {

void SetLaunchApproval(bool approved) {
  detail::ApprovalState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  state.approved = approved;
}

std::vector<ApprovalRequest> ApprovalRequests() {
  detail::ApprovalState& state = detail::TheState();
  std::lock_guard lock(state.mutex);
  return state.requests;
}

}  // namespace hostsim

ApproveLaunchFeature::ApproveLaunchFeature(ProgramFeature feature, UserAction action,
                                           bool interactive)
    : m_feature(feature), m_action(action), m_interactive(interactive) {}

Util::Status ApproveLaunchFeature::ApproveAll() const {
  hostsim::detail::ApprovalState& state = hostsim::detail::TheState();
  bool approved = false;
  {
    std::lock_guard lock(state.mutex);
    state.requests.push_back(hostsim::ApprovalRequest{m_feature, m_action, m_interactive});
    approved = state.approved;
  }
  if (approved) {
    return Util::Status::GetSucceeded();
  }
  const std::string message =
      "Launch of feature " + std::to_string(static_cast<int>(m_feature)) + " is not approved";
  return Util::Status(hostsim::detail::kNotApproved, Util::TString(message.c_str()));
}
