#include "platform/linux/OleAuto.h"

// No object of this layer records error information, so a thread never holds an error object
// to hand over: callers that ask (as _com_issue_errorex does) get S_FALSE and null.
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** errorInfo) {
  if (reserved != 0 || errorInfo == nullptr) return E_INVALIDARG;
  *errorInfo = nullptr;
  return S_FALSE;
}
