// The DOM steps that the request and answer documents share: XPath selection and attribute
// text. Every failing call raises _com_error with its HRESULT; a missing object where one
// is required raises E_POINTER.
#pragma once

#include "TString.h"
#include "platform/Win32Api.h"

namespace corvane {

// Raises _com_error carrying a failing result, with the error information the object gives
// for the interface when it supports any.
template <typename Interface>
void RaiseOnFailure(HRESULT result, Interface* object) {
  if (FAILED(result)) {
    _com_issue_errorex(result, object, __uuidof(Interface));
  }
}

void SetXPathSelection(IXMLDOMDocument2* document);
IXMLDOMElementPtr DocumentElement(IXMLDOMDocument2* document);

// The first node matching the query from the context node, or an empty pointer.
IXMLDOMNodePtr SelectSingleNode(IXMLDOMNode* context, const char* query);
// Every node matching the query from the context node; never empty.
IXMLDOMNodeListPtr SelectNodes(IXMLDOMNode* context, const char* query);

// The node's text in the ANSI code page.
Util::TString NodeText(IXMLDOMNode* node);

}  // namespace corvane
