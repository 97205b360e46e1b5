// The result of selectNodes: a fixed list of nodes in document order with a cursor.
#include "MsXmlNodeMethods.h"

namespace msxml {

namespace {

class DomNodeList final : public ComObject<IXMLDOMNodeList> {
public:
  DomNodeList(TreePtr tree, std::vector<xmlNode*> nodes,
              std::shared_ptr<const NamespaceBindings> namespaces)
      : m_tree(std::move(tree)), m_nodes(std::move(nodes)), m_namespaces(std::move(namespaces)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return Query(riid, object, {&IID_IXMLDOMNodeList});
  }

  HRESULT STDMETHODCALLTYPE get_length(LONG* listLength) override {
    if (listLength == nullptr) return E_INVALIDARG;
    *listLength = static_cast<LONG>(m_nodes.size());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE nextNode(IXMLDOMNode** nextItem) override {
    if (nextItem == nullptr) return E_INVALIDARG;
    *nextItem = nullptr;
    if (m_next >= m_nodes.size()) return S_FALSE;
    const HRESULT hr = Hand(m_nodes[m_next], nextItem);
    if (SUCCEEDED(hr)) ++m_next;
    return hr;
  }

private:
  HRESULT Hand(xmlNode* node, IXMLDOMNode** out) {
    return Guarded([&] {
      *out = NewNode({m_tree, node}, m_namespaces);
      return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }

  TreePtr m_tree;
  std::vector<xmlNode*> m_nodes;
  std::shared_ptr<const NamespaceBindings> m_namespaces;
  std::size_t m_next = 0;
};

}  // namespace

IXMLDOMNodeList* NewNodeList(TreePtr tree, std::vector<xmlNode*> nodes,
                             std::shared_ptr<const NamespaceBindings> namespaces) {
  return new (std::nothrow) DomNodeList(std::move(tree), std::move(nodes), std::move(namespaces));
}

}  // namespace msxml
