// Internals of the MSXML DOM subset: the libxml2 tree that documents and nodes share, and the
// operations the COM objects are thin shells over.
#pragma once

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/linux/MsXml.h"

namespace msxml {

struct XmlDocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

// One parsed document. Nodes and node lists hold it by shared pointer, so that a node stays
// valid after its document object is released or reloaded, as COM nodes do.
struct XPathContextDeleter {
  void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};

struct Tree {
  std::unique_ptr<xmlDoc, XmlDocDeleter> doc;
  // The XPath context of the document's selections, made by the first and kept for the
  // others: a new context registers every XPath function again. Goes before the document.
  mutable std::mutex selectionMutex;
  mutable std::unique_ptr<xmlXPathContext, XPathContextDeleter> selectionContext;
};
using TreePtr = std::shared_ptr<const Tree>;

// A node of a tree, kept alive by its tree.
struct NodeRef {
  TreePtr tree;
  xmlNode* node = nullptr;
};

// Why a text could not be loaded, in MSXML's terms.
struct ParseFailure {
  std::u16string reason;
  std::u16string srcText;
  LONG line = 0;
  LONG linepos = 0;
};

// Parses text into a tree with MSXML 6's secure defaults. White-space-only text nodes outside
// xml:space="preserve" are removed and marked on their neighbours so that serialisation can
// show where they were.
std::variant<TreePtr, ParseFailure> ParseXml(std::u16string_view text);

// A tree holding an empty document, as a new or failed document has.
TreePtr EmptyTree();

// Where white-space-only text was removed on loading, kept in the neighbouring node's
// _private field: before the node itself, or (on an element) before its end tag.
enum WhitespaceMark : unsigned { kSpaceBefore = 1U, kSpaceBeforeEndTag = 2U };
void MarkWhitespace(xmlNode* node, WhitespaceMark mark);
bool HasWhitespace(const xmlNode* node, WhitespaceMark mark);

// ---- text --------------------------------------------------------------------------------
inline const xmlChar* AsXmlChars(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}
std::u16string Utf16FromUtf8(std::string_view utf8);
void AppendUtf16FromUtf8(std::u16string& out, std::string_view utf8);
std::u16string Utf16FromXmlChars(const xmlChar* text);
// nullopt when the text holds a lone surrogate.
std::optional<std::string> Utf8FromUtf16(std::u16string_view utf16);
std::u16string_view ViewOf(BSTR text);
// Stores a freshly allocated BSTR in *out; E_OUTOFMEMORY when allocation fails.
HRESULT ReturnBstr(std::u16string_view text, BSTR* out);

// ---- node content ------------------------------------------------------------------------
std::u16string NodeName(const xmlNode* node);
std::u16string NodeText(const NodeRef& node);
std::u16string NodeXml(const NodeRef& node);

// ---- XPath selection ---------------------------------------------------------------------
// A namespace prefix the selection language may use, from "SelectionNamespaces".
struct NamespaceBinding {
  std::string prefix;
  std::string uri;
};
using NamespaceBindings = std::vector<NamespaceBinding>;

// Parses a "SelectionNamespaces" value; nullopt when it is not a list of xmlns declarations.
std::optional<NamespaceBindings> ParseSelectionNamespaces(std::u16string_view declarations);

// The nodes an XPath expression selects from the context node, in document order; E_FAIL
// when the expression is not valid XPath or does not give a node set.
HRESULT SelectNodes(const NodeRef& context, std::u16string_view expression,
                    const NamespaceBindings& namespaces, std::vector<xmlNode*>& result);

// ---- COM objects -------------------------------------------------------------------------
// Each returns a new object with one reference, or null when out of memory. Every node object
// carries the element interface; QueryInterface grants IXMLDOMElement to elements only.
IXMLDOMElement* NewNode(NodeRef node, std::shared_ptr<const NamespaceBindings> namespaces);
IXMLDOMNodeList* NewNodeList(TreePtr tree, std::vector<xmlNode*> nodes,
                             std::shared_ptr<const NamespaceBindings> namespaces);
IXMLDOMParseError* NewParseError(std::optional<ParseFailure> failure);

}  // namespace msxml
