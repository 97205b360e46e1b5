// One request's libcurl transfer: building the easy handle from the request, turning
// libcurl's callbacks into the request's state and WinINet's status notifications.
#pragma once

#include <chrono>

#include "WinInetRequest.h"

namespace wininet {

// Builds request.easy; false with a WinINet error when the request cannot be sent.
bool PrepareTransfer(Request& request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                     DWORD optionalLength, DWORD& error);

// Worker side.
void OnTransferStarted(Request& request);
void OnTransferResumed(Request& request);
void OnTransferDone(Request& request, CURLcode result);
void OnTransferFailed(Request& request, DWORD error);
// When the receive timeout of a running transfer ends; max() when none applies.
std::chrono::steady_clock::time_point ReceiveDeadline(const Request& request);

}  // namespace wininet
