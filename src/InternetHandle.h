// Owning holder of one WinINet handle: closes it when reset or destroyed.
#pragma once

#include "platform/Win32Api.h"

class InternetHandle {
public:
  InternetHandle() = default;
  explicit InternetHandle(HINTERNET handle) : m_handle(handle) {}
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  ~InternetHandle() { reset(); }

  HINTERNET get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }

  // Closes the held handle, if any, and holds the new one.
  void reset(HINTERNET handle = nullptr) {
    if (m_handle != nullptr) {
      InternetCloseHandle(m_handle);
    }
    m_handle = handle;
  }

private:
  HINTERNET m_handle = nullptr;
};
