// WinINet's error number for a failed libcurl transfer.
#pragma once

#include <curl/curl.h>

#include "platform/linux/WinInet.h"

namespace wininet {

DWORD ErrorFromCurl(CURLcode code, CURL* easy);

}  // namespace wininet
