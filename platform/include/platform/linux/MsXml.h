// The MSXML 6 DOM subset for the Linux build: the interfaces of msxml2.h that the module
// calls, with their method names, argument types and HRESULT results, implemented over
// libxml2. A document comes from CoCreateInstance(CLSID_DOMDocument60, ...), for which
// CreateDomDocument60 below is registered.
//
// Behaviour follows MSXML 6 with its secure defaults:
// - a document type declaration is a parse error ("DTD is prohibited."), nothing external is
//   ever loaded, nothing touches the network; libxml2's default size limits apply;
// - white-space-only text outside xml:space="preserve" is dropped on loading (MSXML's default,
//   preserveWhiteSpace off): XPath does not see it, an element's text loses
//   its leading and trailing white space, and xml writes a line break (CR LF) indented with one
//   tab per level below the serialised node where such text stood. Compact markup stays
//   compact (Wine's MSXML indents every element instead);
// - xml writes line breaks in content as CR LF, attribute values in double quotes, escapes
//   & < > (and " in attribute values), keeps other characters as they are, and adds the
//   namespace declarations that the node's subtree inherits from its ancestors;
// - parse errors carry libxml2's message as the reason (ending in CR LF as MSXML's do), its
//   line and column and the text of that source line.
#pragma once

#include "platform/ComSupport.h"
#include "platform/linux/OleAuto.h"
#include "platform/linux/WinTypes.h"

struct IXMLDOMNodeList;
struct IXMLDOMParseError;

struct IXMLDOMNode : IUnknown {
  static constexpr IID iid = {0x2933bf80, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

  virtual HRESULT STDMETHODCALLTYPE get_nodeName(BSTR* name) = 0;
  // Element or document: the concatenated text of all descendants; attribute: its value.
  virtual HRESULT STDMETHODCALLTYPE get_text(BSTR* text) = 0;
  // The node's markup with its content; an element gets no XML declaration.
  virtual HRESULT STDMETHODCALLTYPE get_xml(BSTR* xmlString) = 0;
  // XPath 1.0 with this node as context; absolute paths start at the node's document.
  virtual HRESULT STDMETHODCALLTYPE selectNodes(BSTR queryString, IXMLDOMNodeList** resultList) = 0;
  // S_FALSE and a null node when nothing matches.
  virtual HRESULT STDMETHODCALLTYPE selectSingleNode(BSTR queryString, IXMLDOMNode** resultNode) = 0;

 protected:
  ~IXMLDOMNode() = default;
};

// An element node; the module uses it only through IXMLDOMNode's methods.
struct IXMLDOMElement : IXMLDOMNode {
  static constexpr IID iid = {0x2933bf86, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

 protected:
  ~IXMLDOMElement() = default;
};

struct IXMLDOMNodeList : IUnknown {
  static constexpr IID iid = {0x2933bf82, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

  virtual HRESULT STDMETHODCALLTYPE get_length(LONG* listLength) = 0;
  // S_FALSE and a null node after the last one.
  virtual HRESULT STDMETHODCALLTYPE nextNode(IXMLDOMNode** nextItem) = 0;

 protected:
  ~IXMLDOMNodeList() = default;
};

// What went wrong in the last load; no reason and position 0 after a successful one.
struct IXMLDOMParseError : IUnknown {
  static constexpr IID iid = {0x3efaa426, 0x272f, 0x11d2, {0x83, 0x6f, 0x00, 0x00, 0xf8, 0x7a, 0x77, 0x82}};

  virtual HRESULT STDMETHODCALLTYPE get_reason(BSTR* reasonString) = 0;
  // The text of the source line in which the error was found.
  virtual HRESULT STDMETHODCALLTYPE get_srcText(BSTR* sourceString) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_line(LONG* lineNumber) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_linepos(LONG* linePosition) = 0;

 protected:
  ~IXMLDOMParseError() = default;
};

struct IXMLDOMDocument : IXMLDOMNode {
  static constexpr IID iid = {0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

  virtual HRESULT STDMETHODCALLTYPE get_documentElement(IXMLDOMElement** DOMElement) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_parseError(IXMLDOMParseError** errorObj) = 0;
  // Loading from text is synchronous whatever this flag says, as in MSXML.
  virtual HRESULT STDMETHODCALLTYPE put_async(VARIANT_BOOL isAsync) = 0;
  // S_OK when the text was loaded; S_FALSE when it is not well-formed (empty text included),
  // after which the document is empty and get_parseError tells why.
  virtual HRESULT STDMETHODCALLTYPE loadXML(BSTR bstrXML, VARIANT_BOOL* isSuccessful) = 0;

 protected:
  ~IXMLDOMDocument() = default;
};

struct IXMLDOMDocument2 : IXMLDOMDocument {
  static constexpr IID iid = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

  // "SelectionLanguage" ("XPath" only) and "SelectionNamespaces" (a list of xmlns:prefix='uri'
  // declarations); any other name is E_FAIL.
  virtual HRESULT STDMETHODCALLTYPE setProperty(BSTR name, VARIANT value) = 0;

 protected:
  ~IXMLDOMDocument2() = default;
};

// Interface identifiers, as msxml2.h has them (IID_IXMLDOMDocument2 comes with the
// class identifier in MsXmlSupport.h).
inline constexpr IID IID_IXMLDOMNode = IXMLDOMNode::iid;
inline constexpr IID IID_IXMLDOMDocument = IXMLDOMDocument::iid;
inline constexpr IID IID_IXMLDOMNodeList = IXMLDOMNodeList::iid;
inline constexpr IID IID_IXMLDOMElement = IXMLDOMElement::iid;
inline constexpr IID IID_IXMLDOMParseError = IXMLDOMParseError::iid;

// Creates an empty DOMDocument60 and returns the interface riid asks for (E_NOINTERFACE for
// one it does not implement).
HRESULT CreateDomDocument60(REFIID riid, void** object);
