// COM initialised on the calling thread for the life of one operation. It is uninitialised
// only when this object's initialisation succeeded, so that a thread which the host runs in
// another apartment keeps its own initialisation count.
#pragma once

#include "platform/Win32Api.h"

namespace corvane {

class ComApartment {
public:
  ComApartment() : m_initialised(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComApartment() {
    if (m_initialised) {
      CoUninitialize();
    }
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

private:
  bool m_initialised;
};

}  // namespace corvane
