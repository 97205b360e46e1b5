// The module's entry points, the gate that decides whether an activation starts, the two app
// messages and the handler that closes the exchange when the host goes to the background.
#include "Corvane.h"
#include "CorvaneConfiguration.h"
#include "ModuleLog.h"
#include "WebTsmMessages.h"
#include "WebTsmSettings.h"
#include "host/AppCore.h"
#include "host/KXTool32.h"
#include "host/Ui.h"

namespace {

constexpr corvane::LogSite kOnFirstTimeSetupSite{
    corvane::kWebTsmManagerSource, "WebTSMManager::OnFirstTimeSetup",
    "void __cdecl WebTSMManager::OnFirstTimeSetup(void)"};

// The per-user switch is on exactly when its value starts with '1'; a missing key reads as
// on, and without a data INI file it is off.
bool IsSwitchedOn() {
  const char* iniFile = GetKXDataIniFileName();
  if (iniFile == nullptr) {
    return false;
  }
  char value[corvane::kSwitchBufferSize] = {};
  _UtilGetPrivateProfileString(corvane::kIniSection, corvane::kIniSwitchKey,
                               corvane::kSwitchDefault, value, sizeof value, iniFile,
                               corvane::kWebTsmManagerSource, __LINE__);
  return value[0] == '1';
}

// Closes the exchange when the application goes to the background. One instance lives for
// as long as the module is loaded: its base registers it with the host and unregisters it.
class NotifyKXGoingBackgroundHandler_WebTsm : public CNotify<CNotifyKXGoingBackground> {
 public:
  NotifyKXGoingBackgroundHandler_WebTsm() = default;
  ~NotifyKXGoingBackgroundHandler_WebTsm() override = default;

  void OnNotify(const CNotifyKXGoingBackground& /*notification*/) override {
    CorvaneConfiguration::GetInstance()->CloseInternetHandles();
  }
};

NotifyKXGoingBackgroundHandler_WebTsm g_goingBackgroundHandler;

}  // namespace

void WebTSMManager::OnFirstTimeSetup() {
  const ApproveLaunchFeature approval(ProgramFeatureWebTsm, UserActionNone, false);
  if (approval.ApproveAll().Failed()) {
    return;
  }
  if (!IsSwitchedOn()) {
    CORVANE_LOG_PROGRESS(kOnFirstTimeSetupSite,
                         "Web TSM is disabled for using ini switch for this user");
    return;
  }
  new SendWebRequest();  // the host owns the message from its construction on
}

extern "C" void InvokeWebTsm() {
  WebTSMManager manager;
  manager.OnFirstTimeSetup();
}

void SendWebRequest::Execute() { CorvaneConfiguration::GetInstance()->TSMFirstHandShake(); }

void DelayedWebRequest::Execute() {
  CorvaneConfiguration::GetInstance()->OnRequestComplete(exchange, failed, error);
}
