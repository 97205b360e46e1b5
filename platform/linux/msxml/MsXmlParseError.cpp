// The parse-error object: a snapshot of why the last load failed, or of its success.
#include "MsXmlComObject.h"
#include "MsXmlTree.h"

namespace msxml {

namespace {

class DomParseError final : public ComObject<IXMLDOMParseError> {
public:
  explicit DomParseError(std::optional<ParseFailure> failure) : m_failure(std::move(failure)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return Query(riid, object, {&IID_IXMLDOMParseError});
  }

  HRESULT STDMETHODCALLTYPE get_reason(BSTR* reasonString) override {
    return Text(&ParseFailure::reason, reasonString);
  }

  HRESULT STDMETHODCALLTYPE get_srcText(BSTR* sourceString) override {
    return Text(&ParseFailure::srcText, sourceString);
  }

  HRESULT STDMETHODCALLTYPE get_line(LONG* lineNumber) override {
    return Number(&ParseFailure::line, lineNumber);
  }

  HRESULT STDMETHODCALLTYPE get_linepos(LONG* linePosition) override {
    return Number(&ParseFailure::linepos, linePosition);
  }

private:
  // After a successful load every number is 0.
  HRESULT Number(LONG ParseFailure::*field, LONG* out) const {
    if (out == nullptr) return E_INVALIDARG;
    *out = m_failure ? (*m_failure).*field : 0;
    return S_OK;
  }

  // After a successful load there is no text: S_FALSE and a null string.
  HRESULT Text(std::u16string ParseFailure::*field, BSTR* out) const {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    if (!m_failure) return S_FALSE;
    return Guarded([&] { return ReturnBstr((*m_failure).*field, out); });
  }

  std::optional<ParseFailure> m_failure;
};

}  // namespace

IXMLDOMParseError* NewParseError(std::optional<ParseFailure> failure) {
  return new (std::nothrow) DomParseError(std::move(failure));
}

}  // namespace msxml
