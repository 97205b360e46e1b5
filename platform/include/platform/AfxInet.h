// MFC's URL parse (narrow form) and its service types, for both targets: mingw-w64 has no
// MFC, and the Linux build has no Windows SDK.
#pragma once

#ifdef _WIN32
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#  include <wininet.h>
#else
#  include "platform/linux/WinInet.h"
#endif

#include "platform/AtlMfc.h"

#define AFX_INET_SERVICE_FTP INTERNET_SERVICE_FTP
#define AFX_INET_SERVICE_HTTP INTERNET_SERVICE_HTTP
#define AFX_INET_SERVICE_GOPHER INTERNET_SERVICE_GOPHER
#define AFX_INET_SERVICE_UNK 0x1000u
#define AFX_INET_SERVICE_FILE (AFX_INET_SERVICE_UNK + 1)
#define AFX_INET_SERVICE_MAILTO (AFX_INET_SERVICE_UNK + 2)
#define AFX_INET_SERVICE_MID (AFX_INET_SERVICE_UNK + 3)
#define AFX_INET_SERVICE_CID (AFX_INET_SERVICE_UNK + 4)
#define AFX_INET_SERVICE_NEWS (AFX_INET_SERVICE_UNK + 5)
#define AFX_INET_SERVICE_NNTP (AFX_INET_SERVICE_UNK + 6)
#define AFX_INET_SERVICE_PROSPERO (AFX_INET_SERVICE_UNK + 7)
#define AFX_INET_SERVICE_TELNET (AFX_INET_SERVICE_UNK + 8)
#define AFX_INET_SERVICE_WAIS (AFX_INET_SERVICE_UNK + 9)
#define AFX_INET_SERVICE_AFS (AFX_INET_SERVICE_UNK + 10)
#define AFX_INET_SERVICE_HTTPS (AFX_INET_SERVICE_UNK + 11)

// Splits "scheme://[user[:password]@]server[:port][/path][?query][#fragment]" into the
// service type of the scheme, the server name (an IPv6 literal without its brackets), the
// object (path and query, "/" at least; the fragment is never part of a request) and the
// port (the explicit one, or the scheme's default).
// Returns FALSE for a null, empty or unparseable URL or an unknown scheme; then the service
// type is AFX_INET_SERVICE_UNK, server and object are emptied and the port is left as it was.
BOOL AfxParseURL(LPCSTR url, DWORD& serviceType, CStringA& server, CStringA& object,
                 INTERNET_PORT& port);
