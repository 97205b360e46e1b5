#include "WinInetErrors.h"

#include <cerrno>

namespace wininet {
namespace {

// OpenSSL's verification results that WinINet reports with numbers of their own.
constexpr long kCertificateNotYetValid = 9;
constexpr long kCertificateExpired = 10;
constexpr long kHostnameMismatch = 62;

DWORD ErrorFromVerification(CURL* easy) {
  long result = 0;
  if (easy != nullptr) curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &result);
  switch (result) {
    case kCertificateNotYetValid:
    case kCertificateExpired:
      return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
    case kHostnameMismatch:
      return ERROR_INTERNET_SEC_CERT_CN_INVALID;
    default:
      return ERROR_INTERNET_INVALID_CA;
  }
}

DWORD ErrorFromSocket(CURL* easy) {
  long osError = 0;
  if (easy != nullptr) curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
  return osError == ECONNRESET ? ERROR_INTERNET_CONNECTION_RESET
                               : ERROR_INTERNET_CONNECTION_ABORTED;
}

}  // namespace

DWORD ErrorFromCurl(CURLcode code, CURL* easy) {
  switch (code) {
    case CURLE_OK:
      return ERROR_SUCCESS;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      return ERROR_INTERNET_TIMEOUT;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return ErrorFromSocket(easy);
    case CURLE_PARTIAL_FILE:
      return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP3:
      return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_TOO_MANY_REDIRECTS:
      return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_URL_MALFORMAT:
      return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_PEER_FAILED_VERIFICATION:
      return ErrorFromVerification(easy);
    case CURLE_SSL_CONNECT_ERROR:
      return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
      return ERROR_INTERNET_DECODING_FAILED;
    case CURLE_BAD_CONTENT_ENCODING:
      return ERROR_INTERNET_DECODING_FAILED;
    case CURLE_OUT_OF_MEMORY:
      return ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_WRITE_ERROR:
      return ERROR_INTERNET_OPERATION_CANCELLED;
    default:
      return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

}  // namespace wininet
