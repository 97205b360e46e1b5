// Code-page conversion between narrow text and UTF-16, for the Linux build.
//
// Supported code pages: CP_ACP (0), CP_THREAD_ACP (3), CP_UTF8 (65001) and the single-byte
// pages 437, 850, 866, 874, 1250-1258, 20127 and 28591-28599, 28603, 28605 (tables built
// from iconv on first use). Double-byte pages are not supported: ERROR_INVALID_PARAMETER.
//
// The process ANSI code page (CP_ACP, and CP_THREAD_ACP, which follows it) is UTF-8 unless the
// environment variable CORVANE_ACP names another supported code page by number when the
// process first converts text, for example CORVANE_ACP=1252. An unusable value is reported
// once on stderr and UTF-8 stays in force. GetACP() reports the code page in force.
//
// Semantics follow Windows for the arguments this product passes: a negative input length
// (-1) converts up to and including the terminating NUL, an output size of 0 asks for the
// size, a too-small buffer fails with ERROR_INSUFFICIENT_BUFFER; invalid UTF-8 decodes to
// U+FFFD as Windows splits it unless MB_ERR_INVALID_CHARS; an unpaired surrogate encodes to
// U+FFFD in UTF-8; UTF-8 takes only the flags and no default character that Windows documents;
// characters a single-byte page lacks become its default character '?' (or lpDefaultChar) and
// set *lpUsedDefaultChar. No best-fit mapping is done.
#pragma once

#include "platform/linux/WinTypes.h"

#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_THREAD_ACP 3u
#define CP_UTF8 65001u

#define MB_PRECOMPOSED 0x00000001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_COMPOSITECHECK 0x00000200u
#define WC_NO_BEST_FIT_CHARS 0x00000400u
#define WC_ERR_INVALID_CHARS 0x00000080u

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteCount,
                        LPWSTR wide, int wideCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideCount, LPSTR multiByte,
                        int multiByteCount, LPCCH defaultChar, LPBOOL usedDefaultChar);
UINT GetACP();
