// Local XML documents: the placement configuration's path, loading a file of that folder,
// and parsing text into a DOM document with the parse error logged.
#include "BstrText.h"
#include "CorvaneConfiguration.h"
#include "ModuleLog.h"
#include "ModulePaths.h"

namespace {

constexpr corvane::LogSite kLoadLocalDocumentSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::LoadLocalDocument",
    "class _com_ptr_t<class _com_IIID<struct IXMLDOMDocument2,&_GUID_2933bf95_7b36_11d2_b20e_"
    "00c04f983e60> > __cdecl CorvaneConfiguration::LoadLocalDocument(const class "
    "Util::TString<char,class Util::TStringAllocator<char> > &)"};

constexpr corvane::LogSite kLoadIntoXmlSite{
    corvane::kConfigurationSource, "CorvaneConfiguration::LoadIntoXML",
    "void __cdecl CorvaneConfiguration::LoadIntoXML(class ATL::CComBSTR &,class "
    "_com_ptr_t<class _com_IIID<struct IXMLDOMDocument2,&_GUID_2933bf95_7b36_11d2_b20e_"
    "00c04f983e60> > &)"};

Util::SourceContext SourceContextAt(const corvane::LogSite& site, int line) {
  return Util::SourceContext(site.file, line, site.function, site.signature);
}

}  // namespace

Util::TString CorvaneConfiguration::GetPlacementConfigurationFilePath(
    const Util::TString& fileName) {
  Util::TString path = corvane::PlacementConfigurationFolder();
  path += fileName;
  return path;
}

IXMLDOMDocument2Ptr CorvaneConfiguration::LoadLocalDocument(const Util::TString& fileName) {
  Util::LocalOps localOps(SourceContextAt(kLoadLocalDocumentSite, __LINE__));
  IXMLDOMDocument2Ptr document;
  Util::TString text;
  const Util::Status status =
      FileSystem::ReadTextFile(GetPlacementConfigurationFilePath(fileName), text);
  if (!status.Succeeded()) {
    return document;
  }

  // Not undone here: the returned document must stay usable by the caller.
  static_cast<void>(CoInitialize(nullptr));

  const HRESULT created = Util::MSXML_XML::CreateDOMDocument(&document);
  if (FAILED(created)) {
    Util::LocalOps::ThrowStatusCodeFunctor(localOps, __LINE__)(
        created, "MSXML could not CoCreateInstance HRESULT=%08X", static_cast<unsigned>(created));
  }
  if (!document) {
    _com_issue_error(E_POINTER);
  }
  static_cast<void>(document->put_async(VARIANT_FALSE));

  ATL::CComBSTR xml = corvane::NarrowToBstr(text);
  LoadIntoXML(xml, document);
  return document;
}

void CorvaneConfiguration::LoadIntoXML(ATL::CComBSTR& text, IXMLDOMDocument2Ptr& document) {
  const Util::LocalOps localOps(SourceContextAt(kLoadIntoXmlSite, __LINE__));
  if (!document) {
    _com_issue_error(E_POINTER);
  }
  VARIANT_BOOL loaded = VARIANT_FALSE;
  // Only S_OK counts: MSXML answers S_FALSE for text that is not well-formed.
  if (document->loadXML(text.m_str, &loaded) == S_OK) {
    return;
  }

  ATL::CComBSTR reason;
  ATL::CComBSTR sourceText;
  LONG line = 0;
  LONG position = 0;
  {
    IXMLDOMParseErrorPtr parseError;
    if (SUCCEEDED(document->get_parseError(&parseError)) && parseError) {
      static_cast<void>(parseError->get_reason(&reason));
      static_cast<void>(parseError->get_srcText(&sourceText));
      static_cast<void>(parseError->get_line(&line));
      static_cast<void>(parseError->get_linepos(&position));
    }
  }
  document = nullptr;

  const Util::TString narrowSource(static_cast<const WCHAR*>(sourceText.m_str));
  const Util::TString narrowReason(static_cast<const WCHAR*>(reason.m_str));
  CORVANE_LOG_ERROR(kLoadIntoXmlSite,
                    "XSD parsing error in %d line, pos %d and text is \n %s with reason %s\n",
                    static_cast<int>(line), static_cast<int>(position),
                    static_cast<const char*>(narrowSource), static_cast<const char*>(narrowReason));
}
