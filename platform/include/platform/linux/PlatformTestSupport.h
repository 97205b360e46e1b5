// Observation and control points of the Linux platform layer, for tests only.
#pragma once

#include <cstddef>

#include "platform/linux/WinInet.h"
#include "platform/linux/WinTypes.h"

// How many CoInitialize/CoInitializeEx calls on the calling thread are not yet balanced by
// CoUninitialize.
int PlatformComInitCount();

// Switches the process ANSI code page (CP_ACP, CP_THREAD_ACP, GetACP) to a supported code
// page, as CORVANE_ACP does at start-up. Returns false, changing nothing, for an unsupported
// one. Not for use while other threads convert text.
bool PlatformSetAnsiCodePage(UINT codePage);

// WinINet handles open in the process now.
std::size_t PlatformOpenInternetHandles();

// InternetReadFileExA calls in the process so far.
std::size_t PlatformInternetReadCalls();

// The most response body bytes that one request has held for its reader, over the process's
// life so far.
std::size_t PlatformPeakBufferedBody();

// Whether a request raises no more notifications unless its reader reads: its transfer has
// ended, was never sent or is paused for the reader, no read of it is queued, and every
// notification raised so far has been delivered. True for a handle that is not open.
bool PlatformInternetRequestSettled(HINTERNET request);

// The WinINet calls a test can make fail, in the order the module makes them.
enum class PlatformInternetCall { Open, SetStatusCallback, Connect, OpenRequest, SendRequest };

// The next call of `call` in the process fails at once with `error` as the thread's last
// error, and does nothing else.
void PlatformFailNextInternetCall(PlatformInternetCall call, DWORD error);
