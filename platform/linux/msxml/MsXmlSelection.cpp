// XPath 1.0 selection over libxml2's evaluator, and the "SelectionNamespaces" property.
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include "MsXmlTree.h"

namespace msxml {

namespace {

struct XPathExpressionDeleter {
  void operator()(xmlXPathCompExpr* expression) const { xmlXPathFreeCompExpr(expression); }
};
struct XPathObjectDeleter {
  void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};

// A bad expression is the caller's error, reported through the HRESULT, not on stderr.
void IgnoreXPathError(void* /*userData*/, xmlError* /*error*/) {}

}  // namespace

HRESULT SelectNodes(const NodeRef& context, std::u16string_view expression,
                    const NamespaceBindings& namespaces, std::vector<xmlNode*>& result) {
  result.clear();
  const std::optional<std::string> utf8 = Utf8FromUtf16(expression);
  if (!utf8 || utf8->find('\0') != std::string::npos) return E_FAIL;

  const Tree& tree = *context.tree;
  const std::lock_guard lock(tree.selectionMutex);
  auto& xpath = tree.selectionContext;
  if (xpath == nullptr) {
    xpath.reset(xmlXPathNewContext(tree.doc.get()));
    if (xpath == nullptr) return E_OUTOFMEMORY;
    xpath->error = IgnoreXPathError;
  }
  // What an earlier selection left behind does not carry over.
  xmlXPathRegisteredNsCleanup(xpath.get());
  xmlResetError(&xpath->lastError);
  xpath->doc = tree.doc.get();
  xpath->node = context.node;
  xpath->contextSize = -1;
  xpath->proximityPosition = -1;
  for (const NamespaceBinding& binding : namespaces) {
    if (xmlXPathRegisterNs(xpath.get(), AsXmlChars(binding.prefix.c_str()),
                           AsXmlChars(binding.uri.c_str())) != 0) {
      return E_OUTOFMEMORY;
    }
  }

  const std::unique_ptr<xmlXPathCompExpr, XPathExpressionDeleter> compiled(
      xmlXPathCtxtCompile(xpath.get(), AsXmlChars(utf8->c_str())));
  if (compiled == nullptr) return E_FAIL;
  const std::unique_ptr<xmlXPathObject, XPathObjectDeleter> selected(
      xmlXPathCompiledEval(compiled.get(), xpath.get()));
  if (selected == nullptr || selected->type != XPATH_NODESET) return E_FAIL;

  const xmlNodeSet* nodes = selected->nodesetval;
  if (nodes == nullptr) return S_OK;
  result.reserve(static_cast<std::size_t>(nodes->nodeNr));
  for (int i = 0; i < nodes->nodeNr; ++i) {
    // Namespace nodes are copies owned by the result; the DOM subset has no object for them.
    if (nodes->nodeTab[i]->type != XML_NAMESPACE_DECL) result.push_back(nodes->nodeTab[i]);
  }
  return S_OK;
}

std::optional<NamespaceBindings> ParseSelectionNamespaces(std::u16string_view declarations) {
  // The declarations are parsed as those of an otherwise empty element, by the XML parser.
  std::u16string element = u"<n ";
  element += declarations;
  element += u"/>";
  const auto parsed = ParseXml(element);
  const auto* tree = std::get_if<TreePtr>(&parsed);
  if (tree == nullptr) return std::nullopt;
  const xmlNode* root = xmlDocGetRootElement((*tree)->doc.get());
  const bool onlyDeclarations = (*tree)->doc->children == root && root->next == nullptr &&
                                root->properties == nullptr && root->children == nullptr;
  if (!onlyDeclarations) {
    return std::nullopt;
  }
  NamespaceBindings bindings;
  for (const xmlNs* ns = root->nsDef; ns != nullptr; ns = ns->next) {
    // A default namespace has no use in XPath 1.0, where un-prefixed names are in no namespace.
    if (ns->prefix == nullptr) continue;
    bindings.push_back({reinterpret_cast<const char*>(ns->prefix),
                        reinterpret_cast<const char*>(ns->href)});
  }
  return bindings;
}

}  // namespace msxml
