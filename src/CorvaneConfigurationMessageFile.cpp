// The message store: the message set written as a file named after its checksum, then the
// checksum recorded in the host data INI file.
#include <string>

#include "CorvaneConfiguration.h"
#include "FileReplacement.h"
#include "MessageFileContent.h"
#include "ModuleLog.h"
#include "ModulePaths.h"
#include "WebTsmSettings.h"
#include "host/KXTool32.h"

namespace {

constexpr corvane::LogSite kStoreSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::StoreMessageFile",
    "void __cdecl CorvaneConfiguration::StoreMessageFile(const class Util::TString<char,class "
    "Util::TStringAllocator<char> > &,struct IXMLDOMNode *)"};

constexpr corvane::LogSite kSaveXmfSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::SaveXMF",
    "void __cdecl CorvaneConfiguration::SaveXMF(const class Util::TString<char,class "
    "Util::TStringAllocator<char> > &)"};

// The declaration, then the element's markup in the ANSI code page with CR LF line breaks.
std::string MessageFileContent(IXMLDOMNode* messages) {
  ATL::CComBSTR markup;
  static_cast<void>(messages->get_xml(&markup));
  const Util::TString narrow(static_cast<const WCHAR*>(markup.m_str));
  std::string content(corvane::kMessageFileDeclaration);
  content += corvane::WithCrLfLineBreaks(static_cast<const char*>(narrow));
  return content;
}

// The refused checksum as one short line: control characters shown as '?', long texts cut.
std::string LoggableCheckSum(const char* checksum) {
  constexpr std::size_t kMaxLogged = 120;
  std::string text;
  for (const char* cursor = checksum; *cursor != '\0'; ++cursor) {
    if (text.size() == kMaxLogged) {
      text += "...";
      break;
    }
    const auto byte = static_cast<unsigned char>(*cursor);
    text.push_back(byte < 0x20 || byte == 0x7F ? '?' : *cursor);
  }
  return text;
}

}  // namespace

void CorvaneConfiguration::StoreMessageFile(const Util::TString& checksum, IXMLDOMNode* messages) {
  // The checksum comes from the service; it must not name a file outside the folder.
  if (!corvane::IsUsableFileNamePrefix(static_cast<const char*>(checksum))) {
    CORVANE_LOG_PROGRESS(kStoreSite, "Refused the response checksum (%s): not usable in a file name",
                         LoggableCheckSum(checksum).c_str());
    return;
  }
  // Recorded, it must read back as the same text, or the next request names no stored set.
  if (!corvane::IsRecordableCheckSum(static_cast<const char*>(checksum))) {
    CORVANE_LOG_PROGRESS(kStoreSite,
                         "Refused the response checksum (%s): the data INI file would not keep it "
                         "unchanged",
                         LoggableCheckSum(checksum).c_str());
    return;
  }
  if (messages == nullptr) {
    _com_issue_error(E_POINTER);
  }
  Util::TString path = corvane::MessagesFolder();
  path += checksum;
  path += corvane::kMessageFileSuffix;
  if (!corvane::ReplaceFileContent(path, MessageFileContent(messages))) {
    return;
  }
  SaveXMF(checksum);
}

void CorvaneConfiguration::SaveXMF(const Util::TString& checksum) {
  const char* iniFile = GetKXDataIniFileName();
  if (iniFile == nullptr) {
    return;
  }
  if (!_UtilWritePrivateProfileString(corvane::kIniSection, corvane::kIniCheckSumKey, checksum,
                                      iniFile, corvane::kConfigurationSource, __LINE__)) {
    return;
  }
  CORVANE_LOG_PROGRESS(kSaveXmfSite, "Received the response and saved");
}
