// A COM object whose reference count the test can read, which can claim or deny support for
// error information, and which deletes itself on the last Release.
#pragma once

#include <atomic>

#include "platform/Win32Api.h"

class CountedObject final : public ISupportErrorInfo {
 public:
  // Observes the object from outside: its count while it lives, whether it was destroyed.
  struct Probe {
    std::atomic<long> references{0};
    std::atomic<bool> destroyed{false};
  };

  static CountedObject* Create(Probe& probe, bool supportsErrorInfo = false) {
    return new CountedObject(probe, supportsErrorInfo);  // starts with one reference
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISupportErrorInfo) {
      *object = static_cast<ISupportErrorInfo*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
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
      : m_probe(probe), m_supportsErrorInfo(supportsErrorInfo) {
    m_probe.references = 1;
  }
  ~CountedObject() = default;

  Probe& m_probe;
  bool m_supportsErrorInfo;
};
