// What a message file holds and what it may be named.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The XML declaration that opens every message file, 39 bytes.
inline constexpr std::string_view kMessageFileDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";
inline constexpr const char* kMessageFileSuffix = "WebTSMFile.xmf";

// The text with every line break (CR LF, a lone CR or a lone LF) written as one CR LF.
std::string WithCrLfLineBreaks(std::string_view text);

// Whether a checksum can stand at the start of a file name in the messages folder: no path
// separator, parent step or drive colon, none of < > : " / \ | ? * or a control character,
// and not "." or "..".
bool IsUsableFileNamePrefix(std::string_view checksum);

// Whether the host data INI file gives the checksum back unchanged. The host's profile reader
// trims blanks around a value and takes off a pair of matching quotes around it, so a checksum
// with a blank at either end or within such quotes would be read back as another text, which
// names no message file.
bool IsRecordableCheckSum(std::string_view checksum);

}  // namespace corvane
