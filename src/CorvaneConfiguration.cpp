// The worker's life and the top of the handshake.
#include "CorvaneConfiguration.h"

#include "ModuleLog.h"

namespace {

constexpr corvane::LogSite kHandShakeSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::TSMFirstHandShake",
    "void __cdecl CorvaneConfiguration::TSMFirstHandShake(void)"};

constexpr INTERNET_PORT kDefaultPort = 80;

}  // namespace

CorvaneConfiguration::CorvaneConfiguration()
    : m_checkSum{},
      m_requestUrl(),
      m_serviceType(0),
      m_serverName(),
      m_objectName(),
      m_hConnect(),
      m_hRequest(),
      m_port(kDefaultPort),
      m_hSession(),
      m_responseComplete(0),
      m_requestContext(0),
      m_lastRequestContext(0),
      m_readRecord{},
      m_readBuffer{},
      m_answerText(),
      m_readCount(0),
      m_readQueued(false) {}

// The worker lives as long as the module. When the module is unloaded it closes whatever
// exchange is still open, so that no WinINet callback is left pointing into unloaded code,
// and gives its text back to the host's allocator.
CorvaneConfiguration::~CorvaneConfiguration() { CloseInternetHandles(); }

CorvaneConfiguration* CorvaneConfiguration::GetInstance() {
  static CorvaneConfiguration instance;
  return &instance;
}

void CorvaneConfiguration::TSMFirstHandShake() {
  m_requestUrl.Empty();
  try {
    LoadURLAndSendWebRequest();
  } catch (const Util::Exception& exception) {
    const Util::Status status = exception.GetStatus();
    const long code = status.GetStatusCode();
    const Util::TString message = status.GetStatusMessage();
    CORVANE_LOG_ERROR(kHandShakeSite, "Load of services file failed (%s) Code (%d)",
                      static_cast<const char*>(message), static_cast<int>(code));
  }
}
