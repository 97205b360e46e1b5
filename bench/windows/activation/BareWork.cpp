#include "BareWork.h"

#include <memory>
#include <optional>

#include "InternetHandle.h"
#include "platform/Win32Api.h"

namespace corvane_bench {
namespace {

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI;
constexpr DWORD kReadSize = 16 * 1024;
constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

std::optional<std::string> Fetch(const std::string& url) {
  const InternetHandle session(
      InternetOpenA("corvane-bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return std::nullopt;
  const InternetHandle request(
      InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0, kRequestFlags, 0));
  if (!request) return std::nullopt;
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                      &size, nullptr) ||
      status != HTTP_STATUS_OK) {
    return std::nullopt;
  }
  std::string body;
  char buffer[kReadSize];
  DWORD read = 0;
  while (InternetReadFile(request.get(), buffer, kReadSize, &read)) {
    if (read == 0) return body;
    body.append(buffer, read);
  }
  return std::nullopt;
}

struct MessageSet {
  std::string checksum;
  std::string markup;
};

std::optional<MessageSet> SelectMessageSet(const std::string& answer) {
  IXMLDOMDocument2Ptr document;
  if (CoCreateInstance(CLSID_DOMDocument60, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument2,
                       reinterpret_cast<void**>(&document)) != S_OK) {
    return std::nullopt;
  }
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (document->put_async(VARIANT_FALSE) != S_OK ||
      document->loadXML(_bstr_t(answer.c_str()), &loaded) != S_OK) {
    return std::nullopt;
  }
  IXMLDOMElementPtr root;
  _variant_t checksum;
  IXMLDOMNodePtr messages;
  _bstr_t markup;
  if (document->get_documentElement(&root) != S_OK ||
      root->getAttribute(_bstr_t(L"Userpref_CheckSum"), checksum.GetAddress()) != S_OK ||
      checksum.vt != VT_BSTR ||
      document->selectSingleNode(_bstr_t(L"/WebControlMessage/Messages"), &messages) != S_OK ||
      messages->get_xml(markup.GetAddress()) != S_OK) {
    return std::nullopt;
  }
  return MessageSet{static_cast<const char*>(_bstr_t(checksum.bstrVal)),
                    static_cast<const char*>(markup)};
}

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

bool WriteReplacing(const std::string& target, const std::string& content) {
  const std::string temporary = target + ".tmp";
  const HANDLE created = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE) return false;
  std::unique_ptr<void, HandleCloser> file(created);
  DWORD written = 0;
  const bool complete = WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()),
                                  &written, nullptr) &&
                        written == content.size();
  if (!CloseHandle(file.release()) || !complete) return false;
  return MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

}  // namespace

bool DoBareWork(const std::string& url, const std::string& messagesFolder,
                const std::string& iniFile) {
  const std::optional<std::string> answer = Fetch(url);
  if (!answer) return false;
  const std::optional<MessageSet> set = SelectMessageSet(*answer);
  if (!set) return false;
  return WriteReplacing(messagesFolder + "\\" + set->checksum + "WebTSMFile.xmf",
                        kDeclaration + set->markup) &&
         WritePrivateProfileStringA("WEBTSM", "CheckSum", set->checksum.c_str(), iniFile.c_str()) !=
             FALSE;
}

}  // namespace corvane_bench
