// Delivery of status callbacks. Callbacks run outside every lock of this layer, so a
// callback may call back into the API. Replacing a callback and closing a handle wait for
// the callbacks of that handle that run on other threads, so that after they return no
// further callback (old callback, or for the closed handle) can start. A thread that is
// itself inside a callback never waits: that is what keeps two such waits from blocking
// each other.
#pragma once

#include <memory>
#include <vector>

#include "WinInetObjects.h"

namespace wininet {

// Calls the object's callback unless it has none or the object is closed.
void Notify(InternetObject& object, DWORD_PTR context, DWORD status, LPVOID information,
            DWORD informationLength);

// Notify with an INTERNET_ASYNC_RESULT.
void NotifyResult(InternetObject& object, DWORD_PTR context, DWORD status, DWORD_PTR result,
                  DWORD error);

// Installs a new callback and returns the previous one.
INTERNET_STATUS_CALLBACK ReplaceCallback(InternetObject& object,
                                         INTERNET_STATUS_CALLBACK callback);

// Marks the objects closed (dropping reads they had queued) and waits until none of their
// callbacks runs on another thread.
void MarkClosed(const std::vector<std::shared_ptr<InternetObject>>& objects);

// The last callback of a closed object: INTERNET_STATUS_HANDLE_CLOSING.
void NotifyClosing(InternetObject& object);

}  // namespace wininet
