#include <atomic>
#include <string>

#include "platform/ComSupport.h"

namespace {

// The error object CreateErrorInfo makes: written through ICreateErrorInfo, read through
// IErrorInfo.
class ErrorObject final : public ICreateErrorInfo, public IErrorInfo {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
      *object = static_cast<IErrorInfo*>(this);
    } else if (riid == IID_ICreateErrorInfo) {
      *object = static_cast<ICreateErrorInfo*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID guid) override {
    m_guid = guid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR source) override { return Store(m_source, source); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR description) override {
    return Store(m_description, description);
  }
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR helpFile) override {
    return Store(m_helpFile, helpFile);
  }
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD helpContext) override {
    m_helpContext = helpContext;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override {
    if (guid == nullptr) return E_INVALIDARG;
    *guid = m_guid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) override { return Load(m_source, source); }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) override {
    return Load(m_description, description);
  }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* helpFile) override {
    return Load(m_helpFile, helpFile);
  }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* helpContext) override {
    if (helpContext == nullptr) return E_INVALIDARG;
    *helpContext = m_helpContext;
    return S_OK;
  }

 private:
  ~ErrorObject() = default;

  static HRESULT Store(std::u16string& field, LPCOLESTR value) {
    field = value != nullptr ? value : u"";
    return S_OK;
  }
  static HRESULT Load(const std::u16string& field, BSTR* out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = SysAllocStringLen(field.data(), static_cast<UINT>(field.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  std::atomic<ULONG> m_references{1};
  GUID m_guid{};
  std::u16string m_source;
  std::u16string m_description;
  std::u16string m_helpFile;
  DWORD m_helpContext = 0;
};

// The thread's error object, released when the thread ends.
thread_local IErrorInfoPtr t_errorInfo;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** errorInfo) {
  if (errorInfo == nullptr) return E_INVALIDARG;
  *errorInfo = new ErrorObject();  // starts with the one reference handed out
  return S_OK;
}

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* errorInfo) {
  if (reserved != 0) return E_INVALIDARG;
  t_errorInfo = errorInfo;
  return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** errorInfo) {
  if (reserved != 0 || errorInfo == nullptr) return E_INVALIDARG;
  *errorInfo = t_errorInfo.Detach();
  return *errorInfo != nullptr ? S_OK : S_FALSE;
}
