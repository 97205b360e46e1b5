// The IXMLDOMNode methods, shared by node objects and the document object: each works on the
// node that Target() names.
#pragma once

#include "MsXmlComObject.h"
#include "MsXmlTree.h"

namespace msxml {

template <class Interface>
class NodeMethods : public ComObject<Interface> {
public:
  HRESULT STDMETHODCALLTYPE get_nodeName(BSTR* name) override {
    return Guarded([&] { return ReturnBstr(NodeName(Target().node), name); });
  }

  HRESULT STDMETHODCALLTYPE get_text(BSTR* text) override {
    return Guarded([&] { return ReturnBstr(NodeText(Target()), text); });
  }

  HRESULT STDMETHODCALLTYPE get_xml(BSTR* xmlString) override {
    return Guarded([&] { return ReturnBstr(NodeXml(Target()), xmlString); });
  }

  HRESULT STDMETHODCALLTYPE selectNodes(BSTR queryString, IXMLDOMNodeList** resultList) override {
    if (resultList == nullptr) return E_INVALIDARG;
    *resultList = nullptr;
    return Guarded([&] {
      std::vector<xmlNode*> nodes;
      const HRESULT hr = Select(queryString, nodes);
      if (FAILED(hr)) return hr;
      *resultList = NewNodeList(Target().tree, std::move(nodes), Namespaces());
      return *resultList != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }

  HRESULT STDMETHODCALLTYPE selectSingleNode(BSTR queryString, IXMLDOMNode** resultNode) override {
    if (resultNode == nullptr) return E_INVALIDARG;
    *resultNode = nullptr;
    return Guarded([&] {
      std::vector<xmlNode*> nodes;
      const HRESULT hr = Select(queryString, nodes);
      if (FAILED(hr)) return hr;
      if (nodes.empty()) return S_FALSE;
      *resultNode = NewNode({Target().tree, nodes.front()}, Namespaces());
      return *resultNode != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }

protected:
  virtual NodeRef Target() const = 0;
  virtual std::shared_ptr<const NamespaceBindings> Namespaces() const = 0;

private:
  HRESULT Select(BSTR queryString, std::vector<xmlNode*>& nodes) const {
    return SelectNodes(Target(), ViewOf(queryString), *Namespaces(), nodes);
  }
};

}  // namespace msxml
