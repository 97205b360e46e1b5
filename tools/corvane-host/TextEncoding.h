// The profile and the tool's output are UTF-8; the module and the host's narrow strings use
// the process's ANSI code page. These conversions bridge the two.
#pragma once

#include <string>
#include <string_view>

#include "platform/Win32Api.h"

namespace corvane::host {

using WideText = std::basic_string<WCHAR>;

// Malformed sequences become U+FFFD.
WideText Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(const WideText& text);

// Through the platform's code-page conversion (CP_ACP); characters the code page lacks
// become its default character.
std::string Utf8ToAnsi(std::string_view text);
std::string AnsiToUtf8(std::string_view text);

}  // namespace corvane::host
