// The table of open handles: it owns every object between its creation and its close, and
// turns handle values back into objects (null for a value that is unknown or closed).
#pragma once

#include <memory>
#include <vector>

#include "WinInetObjects.h"

namespace wininet {

void RegisterHandle(const std::shared_ptr<InternetObject>& object);

std::shared_ptr<InternetObject> FindHandle(HINTERNET handle);

// The object of the given kind, or null with the thread's last error set
// (ERROR_INVALID_HANDLE, or ERROR_INTERNET_INCORRECT_HANDLE_TYPE for another kind).
template <typename T>
std::shared_ptr<T> FindHandleOf(HINTERNET handle, ObjectKind kind) {
  auto object = FindHandle(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (object->kind != kind) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(object);
}

// Removes the handle and all handles below it from the table; the descendants come first
// in the result, the handle itself last. Empty when the handle is not open.
std::vector<std::shared_ptr<InternetObject>> UnregisterTree(HINTERNET handle);

}  // namespace wininet
