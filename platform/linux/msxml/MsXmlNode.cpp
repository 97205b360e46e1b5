// A node of a loaded document: element, attribute, text or any other kind.
#include "MsXmlNodeMethods.h"

namespace msxml {

namespace {

class DomNode final : public NodeMethods<IXMLDOMElement> {
public:
  DomNode(NodeRef node, std::shared_ptr<const NamespaceBindings> namespaces)
      : m_node(std::move(node)), m_namespaces(std::move(namespaces)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (m_node.node->type == XML_ELEMENT_NODE) {
      return Query(riid, object, {&IID_IXMLDOMNode, &IID_IXMLDOMElement});
    }
    return Query(riid, object, {&IID_IXMLDOMNode});
  }

private:
  NodeRef Target() const override { return m_node; }
  std::shared_ptr<const NamespaceBindings> Namespaces() const override { return m_namespaces; }

  NodeRef m_node;
  std::shared_ptr<const NamespaceBindings> m_namespaces;
};

}  // namespace

IXMLDOMElement* NewNode(NodeRef node, std::shared_ptr<const NamespaceBindings> namespaces) {
  return new (std::nothrow) DomNode(std::move(node), std::move(namespaces));
}

}  // namespace msxml
