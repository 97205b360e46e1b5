// Test support for the MSXML DOM tests: a DOMDocument60 made through COM as the module makes
// it, and UTF-8 text in and out of BSTRs. The same tests run against Wine's MSXML 6 (Windows
// build) and against the platform's own implementation (Linux build).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "platform/Win32Api.h"

namespace dom_test {

#ifdef _WIN32
inline constexpr bool kWine = true;
#else
inline constexpr bool kWine = false;
#endif

// What a test expects on this platform, where Wine's MSXML and ours differ.
template <class T>
constexpr T PlatformExpectation(T linux, T wine) {
  return kWine ? wine : linux;
}

// One BSTR, freed on destruction.
class Bstr {
public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8);
  Bstr(Bstr&& other) noexcept : m_text(std::exchange(other.m_text, nullptr)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr& operator=(Bstr&&) = delete;
  ~Bstr() { SysFreeString(m_text); }

  BSTR get() const { return m_text; }
  // For out-parameters: frees what is held first.
  BSTR* out() {
    SysFreeString(m_text);
    m_text = nullptr;
    return &m_text;
  }
  std::string Utf8() const;

private:
  BSTR m_text = nullptr;
};

// Names a parameterised case after the `name` field of its parameter.
struct CaseName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
    return info.param.name;
  }
};

// A BSTR holding UTF-16 code units as they are, lone surrogates included.
Bstr RawUtf16(std::u16string_view units);

std::string Text(IXMLDOMNode* node);
std::string Xml(IXMLDOMNode* node);

// A fresh DOMDocument60 per test, in a COM apartment of the test's thread.
class DomTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // loadXML's HRESULT; the out-flag must agree with it.
  HRESULT Load(std::string_view utf8);
  // Loads text that must be well-formed and returns its root element.
  IXMLDOMElementPtr LoadRoot(std::string_view utf8);
  IXMLDOMNodePtr SelectOne(IXMLDOMNode* context, std::string_view query, HRESULT expected = S_OK);
  IXMLDOMNodeListPtr SelectAll(IXMLDOMNode* context, std::string_view query);
  IXMLDOMParseErrorPtr ParseError();

  IXMLDOMDocument2Ptr m_document;
};

IXMLDOMDocument2Ptr NewDocument();

}  // namespace dom_test
