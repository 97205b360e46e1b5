// Observation and control points of the Linux platform layer, for tests only.
#pragma once

#include "platform/linux/WinTypes.h"

// How many CoInitialize/CoInitializeEx calls on the calling thread are not yet balanced by
// CoUninitialize.
int PlatformComInitCount();

// Switches the process ANSI code page (CP_ACP, CP_THREAD_ACP, GetACP) to a supported code
// page, as CORVANE_ACP does at start-up. Returns false, changing nothing, for an unsupported
// one. Not for use while other threads convert text.
bool PlatformSetAnsiCodePage(UINT codePage);
