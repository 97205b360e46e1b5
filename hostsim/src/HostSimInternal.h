// What the stand-in host's parts expose to each other: each part resets its own state.
#pragma once
#include "hostsim/HostSimApi.h"

namespace hostsim::detail {

HOSTSIM_API void ResetLog();
HOSTSIM_API void ResetDataIniFile();
HOSTSIM_API void ResetBaseDirectoryAndDomFactory();
HOSTSIM_API void ResetApproval();
HOSTSIM_API void ResetPreferences();
HOSTSIM_API void ResetEvaluator();
HOSTSIM_API void ResetMessages();
HOSTSIM_API void ResetProfileRequests();

}  // namespace hostsim::detail
