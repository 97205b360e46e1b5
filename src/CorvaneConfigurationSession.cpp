// The asynchronous HTTP session: one GET per exchange through WinINet, whose completion is
// handed to the host's thread as a DelayedWebRequest.
#include "CorvaneConfiguration.h"
#include "HttpExchange.h"
#include "ModuleLog.h"
#include "WebTsmMessages.h"
#include "platform/AfxInet.h"

namespace {

constexpr const char* kUserAgent = "asynchttp";
constexpr const char* kVerb = "GET";

constexpr DWORD kExchangeFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                 INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI |
                                 INTERNET_FLAG_PRAGMA_NOCACHE;
static_assert(kExchangeFlags == 0x84400300);

constexpr corvane::LogSite kSendSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::SendRequestAndGetResponse",
    "void __cdecl CorvaneConfiguration::SendRequestAndGetResponse(const class "
    "Util::TString<char,class Util::TStringAllocator<char> > &)"};
constexpr corvane::LogSite kConnectSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::DoInternetConnect",
    "bool __cdecl CorvaneConfiguration::DoInternetConnect(void)"};
constexpr corvane::LogSite kOpenRequestSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::DoHttpOpenRequest",
    "bool __cdecl CorvaneConfiguration::DoHttpOpenRequest(void)"};
constexpr corvane::LogSite kSendRequestSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::DoHttpSendRequest",
    "void __cdecl CorvaneConfiguration::DoHttpSendRequest(void)"};

// The answer is announced through the status callback when a call is left pending.
bool SucceededOrPending(bool succeeded, DWORD& lastError) {
  if (succeeded) {
    return true;
  }
  lastError = GetLastError();
  return lastError == ERROR_IO_PENDING;
}

}  // namespace

void CorvaneConfiguration::SendRequestAndGetResponse(const Util::TString& url) {
  // Whatever an earlier exchange left open (after a failed step, or an abandoned answer) is
  // closed first, and its reading state is forgotten, so this exchange reads its own answer.
  CloseInternetHandles();
  m_responseComplete = 0;
  m_lastRequestContext += corvane::kRequestContextStep;
  m_requestContext = m_lastRequestContext;

  DWORD serviceType = 0;
  AfxParseURL(url, serviceType, m_serverName, m_objectName, m_port);
  m_serviceType = serviceType;

  m_hSession.reset(InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                 INTERNET_FLAG_ASYNC));
  if (!m_hSession) {
    const DWORD lastError = GetLastError();
    CORVANE_LOG_PROGRESS(kSendSite, "InternetOpen failed, error   --> %lu",
                         static_cast<unsigned long>(lastError));
    return;
  }
  if (InternetSetStatusCallback(m_hSession.get(), WebRequestStatusCallback) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    const DWORD lastError = GetLastError();
    CORVANE_LOG_PROGRESS(kSendSite, "InternetSetStatusCallback failed, error   --> %lu",
                         static_cast<unsigned long>(lastError));
    return;
  }
  if (DoInternetConnect() && DoHttpOpenRequest()) {
    DoHttpSendRequest();
  }
}

bool CorvaneConfiguration::DoInternetConnect() {
  m_hConnect.reset(InternetConnectA(m_hSession.get(), m_serverName, m_port, nullptr, nullptr,
                                    INTERNET_SERVICE_HTTP, kExchangeFlags,
                                    corvane::kConnectContext));
  DWORD lastError = 0;
  if (SucceededOrPending(static_cast<bool>(m_hConnect), lastError)) {
    return true;
  }
  CORVANE_LOG_PROGRESS(kConnectSite, "InternetConnect failed, error --> %lu",
                       static_cast<unsigned long>(lastError));
  return false;
}

bool CorvaneConfiguration::DoHttpOpenRequest() {
  // An https URL is sent over TLS; every other scheme as plain HTTP.
  const DWORD flags = m_serviceType == AFX_INET_SERVICE_HTTPS
                          ? kExchangeFlags | INTERNET_FLAG_SECURE
                          : kExchangeFlags;
  m_hRequest.reset(HttpOpenRequestA(m_hConnect.get(), kVerb, m_objectName, nullptr, nullptr,
                                    nullptr, flags, m_requestContext));
  DWORD lastError = 0;
  if (SucceededOrPending(static_cast<bool>(m_hRequest), lastError)) {
    return true;
  }
  CORVANE_LOG_PROGRESS(kOpenRequestSite, "HttpOpenRequest failed, error --> %lu",
                       static_cast<unsigned long>(lastError));
  return false;
}

void CorvaneConfiguration::DoHttpSendRequest() {
  DWORD lastError = 0;
  if (SucceededOrPending(HttpSendRequestA(m_hRequest.get(), nullptr, 0, nullptr, 0) != FALSE,
                         lastError)) {
    return;
  }
  CORVANE_LOG_PROGRESS(kSendRequestSite, "HttpSendRequest failed, error  --> %lu",
                       static_cast<unsigned long>(lastError));
}

void CorvaneConfiguration::CloseInternetHandles() {
  // The request goes first, while the callback is still installed; the callback is removed
  // just before the session closes, so no notification arrives for a closed session. The
  // connection is closed too: closing the session would otherwise leave it stale.
  m_hRequest.reset();
  m_hConnect.reset();
  if (m_hSession) {
    InternetSetStatusCallback(m_hSession.get(), nullptr);
    m_hSession.reset();
  }
  // A read still queued on the closed request delivers nothing worth reading, and no
  // completion still to come matches an open exchange.
  m_readQueued = false;
  m_requestContext = 0;
  ForgetAnswer();
}

void CALLBACK WebRequestStatusCallback(HINTERNET /*handle*/, DWORD_PTR context, DWORD status,
                                       LPVOID statusInformation, DWORD statusInformationLength) {
  if (!corvane::IsRequestContext(context) || status != INTERNET_STATUS_REQUEST_COMPLETE) {
    return;
  }
  RequestCompletion completion{context, false, 0};
  if (statusInformation != nullptr && statusInformationLength >= sizeof(INTERNET_ASYNC_RESULT)) {
    const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(statusInformation);
    completion.failed = result->dwResult == 0;
    completion.error = result->dwError;
  }
  new DelayedWebRequest(completion);  // the host owns the message from its construction on
}
