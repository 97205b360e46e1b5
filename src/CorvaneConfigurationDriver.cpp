// The request driver: decides whether a request is made and starts it.
#include "ConditionEvaluatorLookup.h"
#include "CorvaneConfiguration.h"
#include "ModuleLog.h"
#include "WebTsmSettings.h"
#include "host/ConditionEvaluator.h"
#include "host/KXTool32.h"

namespace {

constexpr corvane::LogSite kDriverSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::LoadURLAndSendWebRequest",
    "void __cdecl CorvaneConfiguration::LoadURLAndSendWebRequest(void)"};

constexpr const char* kConnectionCondition = "Browser.IsConnectionActive";

}  // namespace

void CorvaneConfiguration::LoadURLAndSendWebRequest() {
  const Util::LocalOps localOps(Util::SourceContext(kDriverSite.file, __LINE__,
                                                    kDriverSite.function, kDriverSite.signature));
  Util::Status status = Util::Status::GetSucceeded();
  bool connectionActive = true;

  AppFW::IConditionEvaluator* evaluator = corvane::FindConditionEvaluator();
  if (evaluator == nullptr) {
    CORVANE_LOG_PROGRESS(kDriverSite, "Unable to get the evaluator. Ignoring the TSM request");
    return;
  }

  // A failed evaluation alone does not stop the request: only a flag the evaluator set to
  // false does.
  status = evaluator->EvaluateCondition(kConnectionCondition, connectionActive);
  if (!status.Succeeded()) {
    const Util::TString errorText = status.GetStatusMessage();
    CORVANE_LOG_ERROR(kDriverSite, "Error in active connection (%s) ",
                      static_cast<const char*>(errorText));
  }
  if (!connectionActive) {
    return;
  }

  // Whatever goes wrong from here to the send ends this activation quietly; the next
  // activation tries again.
  try {
    if (const char* iniFile = GetKXDataIniFileName(); iniFile != nullptr) {
      _UtilGetPrivateProfileString(corvane::kIniSection, corvane::kIniCheckSumKey,
                                   corvane::kCheckSumDefault, m_checkSum, kCheckSumSize, iniFile,
                                   corvane::kConfigurationSource, __LINE__);
    }
    const Util::TString url = BuildRequestURL();
    if (!url.IsEmpty()) {
      CORVANE_LOG_PROGRESS(kDriverSite, "Sending the TSM request");
      SendRequestAndGetResponse(url);
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): dropped on purpose, see above
  }
}
