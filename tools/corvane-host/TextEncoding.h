// The profile and the tool's output are UTF-8; the module and the host's narrow strings use
// the process's ANSI code page. These conversions bridge the two.
#pragma once

#include <string>
#include <string_view>

#include "platform/Win32Api.h"

namespace corvane::host {

using WideText = std::basic_string<WCHAR>;

// All through the platform's code-page conversion (CP_UTF8, CP_ACP): malformed UTF-8 becomes
// U+FFFD, characters the ANSI code page lacks become its default character.
WideText Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(const WideText& text);
std::string Utf8ToAnsi(std::string_view text);
std::string AnsiToUtf8(std::string_view text);

}  // namespace corvane::host
