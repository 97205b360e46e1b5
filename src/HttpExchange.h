// What the HTTP session and the reading passes share: the WinINet context values and the
// status callback installed on the session.
#pragma once

#include "platform/Win32Api.h"

namespace corvane {

// Context values WinINet hands back to the status callback. The connection has 1. The
// request and every read of its answer have the exchange's own context: an even number,
// 2 for the first exchange of the process and 2 more for each later one, so that a
// completion tells which exchange it belongs to.
inline constexpr DWORD_PTR kConnectContext = 1;
inline constexpr DWORD_PTR kRequestContextStep = 2;

constexpr bool IsRequestContext(DWORD_PTR context) { return context != 0 && context % 2 == 0; }

}  // namespace corvane

// Turns each completion on a request (the send's, and every queued read's) into a
// DelayedWebRequest for the host's thread, carrying the request's context and WinINet's
// result. Runs on a thread of WinINet's choosing and reads no module state.
void CALLBACK WebRequestStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status,
                                       LPVOID statusInformation, DWORD statusInformationLength);
