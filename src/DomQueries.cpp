#include "DomQueries.h"

#include "BstrText.h"

namespace corvane {
namespace {

void RequireObject(const void* object) {
  if (object == nullptr) {
    _com_issue_error(E_POINTER);
  }
}

}  // namespace

void SetXPathSelection(IXMLDOMDocument2* document) {
  RequireObject(document);
  const ATL::CComBSTR name = NarrowToBstr("SelectionLanguage");
  const ATL::CComBSTR language = NarrowToBstr("XPath");
  const ATL::CComVariant value(language.m_str);
  RaiseOnFailure(document->setProperty(name.m_str, value), document);
}

IXMLDOMElementPtr DocumentElement(IXMLDOMDocument2* document) {
  RequireObject(document);
  IXMLDOMElementPtr root;
  RaiseOnFailure(document->get_documentElement(&root), document);
  RequireObject(root.GetInterfacePtr());
  return root;
}

IXMLDOMNodePtr SelectSingleNode(IXMLDOMNode* context, const char* query) {
  RequireObject(context);
  const ATL::CComBSTR path = NarrowToBstr(query);
  IXMLDOMNodePtr node;
  RaiseOnFailure(context->selectSingleNode(path.m_str, &node), context);
  return node;
}

IXMLDOMNodeListPtr SelectNodes(IXMLDOMNode* context, const char* query) {
  RequireObject(context);
  const ATL::CComBSTR path = NarrowToBstr(query);
  IXMLDOMNodeListPtr nodes;
  RaiseOnFailure(context->selectNodes(path.m_str, &nodes), context);
  RequireObject(nodes.GetInterfacePtr());
  return nodes;
}

Util::TString NodeText(IXMLDOMNode* node) {
  RequireObject(node);
  ATL::CComBSTR text;
  RaiseOnFailure(node->get_text(&text), node);
  return Util::TString(static_cast<const WCHAR*>(text.m_str));
}

}  // namespace corvane
