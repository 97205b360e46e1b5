#include "ComSupportHeaders.h"

// Raises hr as _com_error, with the thread's error object when the failing object says it
// supports error information for the interface that failed.
void WINAPI _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID riid) {
  IErrorInfo* errorInfo = nullptr;
  if (object != nullptr) {
    ISupportErrorInfoPtr support;
    if (SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo,
                                         reinterpret_cast<void**>(&support))) &&
        support && support->InterfaceSupportsErrorInfo(riid) == S_OK &&
        GetErrorInfo(0, &errorInfo) != S_OK) {
      errorInfo = nullptr;
    }
  }
  throw _com_error(hr, errorInfo);  // takes over the reference GetErrorInfo gave
}
