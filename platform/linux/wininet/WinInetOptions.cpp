// Per-handle options (timeouts, handle type, context) and the response's status and headers.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>

#include "WinInetHandles.h"
#include "WinInetRequest.h"

using namespace wininet;

namespace {

DWORD* TimeoutField(Timeouts& timeouts, DWORD option) {
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
      return &timeouts.connectMs;
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_DATA_SEND_TIMEOUT:
      return &timeouts.sendMs;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
    case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT:
      return &timeouts.receiveMs;
    default:
      return nullptr;
  }
}

DWORD HandleType(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::Session:
      return INTERNET_HANDLE_TYPE_INTERNET;
    case ObjectKind::Connection:
      return INTERNET_HANDLE_TYPE_CONNECT_HTTP;
    case ObjectKind::Request:
      return INTERNET_HANDLE_TYPE_HTTP_REQUEST;
  }
  return 0;
}

template <typename T>
BOOL CopyOut(const T& value, LPVOID buffer, LPDWORD bufferLength) {
  if (bufferLength == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (buffer == nullptr || *bufferLength < sizeof value) {
    *bufferLength = sizeof value;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, &value, sizeof value);
  *bufferLength = sizeof value;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// Text out in WinINet's way: the length without the terminator on success, the size
// needed with it when the buffer is too small.
BOOL CopyTextOut(const std::string& text, LPVOID buffer, LPDWORD bufferLength) {
  if (bufferLength == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto needed = static_cast<DWORD>(text.size() + 1);
  if (buffer == nullptr || *bufferLength < needed) {
    *bufferLength = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, text.c_str(), needed);
  *bufferLength = needed - 1;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

bool FindHeader(const Request& request, const char* name, std::string& value) {
  const std::size_t nameLength = std::strlen(name);
  for (std::size_t i = 1; i < request.responseHeaders.size(); ++i) {
    const std::string& line = request.responseHeaders[i];
    if (line.size() > nameLength && line[nameLength] == ':' &&
        strncasecmp(line.c_str(), name, nameLength) == 0) {
      const auto start = line.find_first_not_of(' ', nameLength + 1);
      value = start == std::string::npos ? std::string() : line.substr(start);
      return true;
    }
  }
  return false;
}

// The text of a query level; false when the response has no such header.
bool QueryText(const Request& request, DWORD level, std::string& text) {
  switch (level) {
    case HTTP_QUERY_STATUS_CODE:
      text = std::to_string(request.statusCode);
      return true;
    case HTTP_QUERY_STATUS_TEXT:
      text = request.statusText;
      return true;
    case HTTP_QUERY_RAW_HEADERS_CRLF:
      text.clear();
      for (const auto& line : request.responseHeaders) text += line + "\r\n";
      text += "\r\n";
      return true;
    case HTTP_QUERY_CONTENT_LENGTH:
      return FindHeader(request, "Content-Length", text);
    case HTTP_QUERY_CONTENT_TYPE:
      return FindHeader(request, "Content-Type", text);
    default:
      return false;
  }
}

}  // namespace

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
  auto object = FindHandle(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard lock(object->shared->mutex);
  DWORD* field = TimeoutField(object->timeouts, option);
  if (field == nullptr) {
    SetLastError(ERROR_INTERNET_INVALID_OPTION);
    return FALSE;
  }
  if (buffer == nullptr || bufferLength != sizeof(DWORD)) {
    SetLastError(ERROR_INTERNET_BAD_OPTION_LENGTH);
    return FALSE;
  }
  std::memcpy(field, buffer, sizeof(DWORD));
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength) {
  auto object = FindHandle(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (option == INTERNET_OPTION_HANDLE_TYPE) return CopyOut(HandleType(object->kind), buffer, bufferLength);
  if (option == INTERNET_OPTION_CONTEXT_VALUE) return CopyOut(object->context, buffer, bufferLength);
  DWORD value = 0;
  {
    std::lock_guard lock(object->shared->mutex);
    const DWORD* field = TimeoutField(object->timeouts, option);
    if (field == nullptr) {
      SetLastError(ERROR_INTERNET_INVALID_OPTION);
      return FALSE;
    }
    value = *field;
  }
  return CopyOut(value, buffer, bufferLength);
}

BOOL HttpQueryInfoA(HINTERNET handle, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                    LPDWORD) {
  auto request = FindHandleOf<Request>(handle, ObjectKind::Request);
  if (!request) return FALSE;
  std::string text;
  {
    std::lock_guard lock(request->shared->mutex);
    if (request->responseHeaders.empty() || request->phase == RequestPhase::Sending) {
      SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
      return FALSE;
    }
    if (!QueryText(*request, infoLevel & HTTP_QUERY_HEADER_MASK, text)) {
      SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
      return FALSE;
    }
  }
  if ((infoLevel & HTTP_QUERY_FLAG_NUMBER) != 0) {
    const auto number = static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
    return CopyOut(number, buffer, bufferLength);
  }
  return CopyTextOut(text, buffer, bufferLength);
}
