// What the HTTP session and the reading passes share: the WinINet context values and the
// status callback installed on the session.
#pragma once

#include "platform/Win32Api.h"

namespace corvane {

// Context values WinINet hands back to the status callback.
inline constexpr DWORD_PTR kConnectContext = 1;
inline constexpr DWORD_PTR kRequestContext = 2;  // the request and every read of its answer

}  // namespace corvane

// Turns each completion on the request (the send's, and every queued read's) into a
// DelayedWebRequest for the host's thread. Runs on a thread of WinINet's choosing and reads
// no module state.
void CALLBACK WebRequestStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status,
                                       LPVOID statusInformation, DWORD statusInformationLength);
