// The DOMDocument60 object: loading, the parse error, the selection properties, and the
// document node's own IXMLDOMNode methods.
#include "MsXmlNodeMethods.h"
#include "platform/MsXmlSupport.h"

namespace msxml {

namespace {

constexpr std::u16string_view kSelectionLanguage = u"SelectionLanguage";
constexpr std::u16string_view kSelectionNamespaces = u"SelectionNamespaces";
constexpr std::u16string_view kXPath = u"XPath";

class DomDocument final : public NodeMethods<IXMLDOMDocument2> {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return Query(riid, object, {&IID_IXMLDOMNode, &IID_IXMLDOMDocument, &IXMLDOMDocument2::iid});
  }

  HRESULT STDMETHODCALLTYPE get_documentElement(IXMLDOMElement** DOMElement) override {
    if (DOMElement == nullptr) return E_INVALIDARG;
    *DOMElement = nullptr;
    xmlNode* root = xmlDocGetRootElement(m_tree->doc.get());
    if (root == nullptr) return S_FALSE;
    return Guarded([&] {
      *DOMElement = NewNode({m_tree, root}, m_namespaces);
      return *DOMElement != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }

  HRESULT STDMETHODCALLTYPE get_parseError(IXMLDOMParseError** errorObj) override {
    if (errorObj == nullptr) return E_INVALIDARG;
    *errorObj = nullptr;
    return Guarded([&] {
      *errorObj = NewParseError(m_lastFailure);
      return *errorObj != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }

  // Loading from text is synchronous either way, so the flag changes nothing.
  HRESULT STDMETHODCALLTYPE put_async(VARIANT_BOOL) override { return S_OK; }

  HRESULT STDMETHODCALLTYPE loadXML(BSTR bstrXML, VARIANT_BOOL* isSuccessful) override {
    if (isSuccessful != nullptr) *isSuccessful = VARIANT_FALSE;
    return Guarded([&] {
      auto parsed = ParseXml(ViewOf(bstrXML));
      if (auto* failure = std::get_if<ParseFailure>(&parsed)) {
        // A failed load leaves the document empty, whatever it held before.
        m_tree = EmptyTree();
        m_lastFailure = std::move(*failure);
        return S_FALSE;
      }
      m_tree = std::get<TreePtr>(std::move(parsed));
      m_lastFailure.reset();
      if (isSuccessful != nullptr) *isSuccessful = VARIANT_TRUE;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE setProperty(BSTR name, VARIANT value) override {
    const std::u16string_view property = ViewOf(name);
    if (property != kSelectionLanguage && property != kSelectionNamespaces) return E_FAIL;
    if (value.vt != VT_BSTR) return E_INVALIDARG;
    const std::u16string_view text = ViewOf(value.bstrVal);
    if (property == kSelectionLanguage) return text == kXPath ? S_OK : E_FAIL;
    return Guarded([&] {
      std::optional<NamespaceBindings> bindings = ParseSelectionNamespaces(text);
      if (!bindings) return E_FAIL;
      // Nodes already handed out share the bindings and see the new ones.
      *m_namespaces = std::move(*bindings);
      return S_OK;
    });
  }

private:
  NodeRef Target() const override {
    return {m_tree, reinterpret_cast<xmlNode*>(m_tree->doc.get())};
  }
  std::shared_ptr<const NamespaceBindings> Namespaces() const override { return m_namespaces; }

  TreePtr m_tree = EmptyTree();
  std::optional<ParseFailure> m_lastFailure;
  std::shared_ptr<NamespaceBindings> m_namespaces = std::make_shared<NamespaceBindings>();
};

}  // namespace

}  // namespace msxml

HRESULT CreateDomDocument60(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  return msxml::Guarded([&] {
    auto* document = new msxml::DomDocument();
    const HRESULT hr = document->QueryInterface(riid, object);
    document->Release();
    return hr;
  });
}

namespace {
// CoCreateInstance(CLSID_DOMDocument60, ...) finds the document through this registration.
[[maybe_unused]] const bool g_registered =
    PlatformRegisterClass(CLSID_DOMDocument60, &CreateDomDocument60);
}  // namespace
