// The worker's life and the top of the handshake.
#include <cstddef>
#include <new>

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
      m_readRecord{},
      m_readBuffer{},
      m_answerText(),
      m_readCount(0),
      m_readQueued(false) {}

CorvaneConfiguration::~CorvaneConfiguration() = default;

CorvaneConfiguration* CorvaneConfiguration::GetInstance() {
  // The worker lives until the process ends and is never destroyed: at unload its handle
  // members would close WinINet handles under the loader lock, and a late WinINet completion
  // may still write into its read buffer.
  alignas(CorvaneConfiguration) static std::byte storage[sizeof(CorvaneConfiguration)];
  static CorvaneConfiguration* const instance = ::new (storage) CorvaneConfiguration();
  return instance;
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
