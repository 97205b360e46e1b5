// Helpers shared by the platform tests: UTF-16 text that reads the same on both targets
// (OLECHAR is wchar_t on Windows, char16_t on Linux) and a COM object whose reference count
// the test can read.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/Win32Api.h"

inline std::u16string FromBstr(BSTR text) {
  return text == nullptr ? std::u16string() : std::u16string(text, text + SysStringLen(text));
}

inline std::basic_string<OLECHAR> Ole(std::u16string_view text) {
  return {text.begin(), text.end()};
}

// Claims or denies support for error information and deletes itself on the last Release.
class CountedObject final : public ISupportErrorInfo {
 public:
  // Observes the object from outside: its count while it lives, whether it was destroyed.
  struct Probe {
    std::atomic<long> references{0};
    std::atomic<bool> destroyed{false};
  };

  static CountedObject* Create(Probe& probe, bool supportsErrorInfo = false) {
    probe.references = 1;
    return new CountedObject(probe, supportsErrorInfo);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_ISupportErrorInfo) return E_NOINTERFACE;
    *object = static_cast<ISupportErrorInfo*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_probe.references); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --m_probe.references;
    if (left == 0) {
      m_probe.destroyed = true;
      delete this;
    }
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID) override {
    return m_supportsErrorInfo ? S_OK : S_FALSE;
  }

 private:
  CountedObject(Probe& probe, bool supportsErrorInfo)
      : m_probe(probe), m_supportsErrorInfo(supportsErrorInfo) {}
  ~CountedObject() = default;

  Probe& m_probe;
  bool m_supportsErrorInfo;
};
