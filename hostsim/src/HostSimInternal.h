// What the stand-in host's parts expose to each other: each part resets its own state.
#pragma once

namespace hostsim::detail {

void ResetLog();
void ResetConfiguration();    // INI name, base directory, DOM factory
void ResetApproval();
void ResetPreferences();
void ResetEvaluator();
void ResetMessages();
void ResetProfileRequests();

}  // namespace hostsim::detail
