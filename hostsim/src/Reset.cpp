// Back to a fresh host.
#include "HostSimInternal.h"
#include "hostsim/HostSim.h"

namespace hostsim {

void Reset() {
  detail::ResetMessages();
  detail::ResetLog();
  detail::ResetDataIniFile();
  detail::ResetBaseDirectoryAndDomFactory();
  detail::ResetApproval();
  detail::ResetPreferences();
  detail::ResetEvaluator();
  detail::ResetProfileRequests();
  SetFormatterFails(false);
}

}  // namespace hostsim
