#include <atomic>
#include <memory>
#include <string>

#include "platform/ComSupport.h"

// The shared text of _bstr_t copies: the BSTR and, made on demand, its narrow form.
class _bstr_t::Data {
 public:
  explicit Data(BSTR owned) noexcept : m_wide(owned) {}
  Data(const Data&) = delete;
  Data& operator=(const Data&) = delete;
  ~Data() {
    SysFreeString(m_wide);
    delete[] m_narrow;
  }

  void AddRef() noexcept { ++m_references; }
  bool Release() noexcept { return --m_references == 0; }
  BSTR Wide() const noexcept { return m_wide; }
  BSTR& WideSlot() noexcept {
    FreeNarrow();
    return m_wide;
  }
  char* Narrow() const {
    if (m_narrow == nullptr) m_narrow = _com_util::ConvertBSTRToString(m_wide);
    return m_narrow;
  }
  void FreeNarrow() noexcept {
    delete[] m_narrow;
    m_narrow = nullptr;
  }

 private:
  std::atomic<long> m_references{1};
  BSTR m_wide;
  mutable char* m_narrow = nullptr;  // new[] from ConvertBSTRToString
};

namespace {

BSTR CopyOrThrow(BSTR source) {
  if (source == nullptr) return nullptr;
  BSTR copy = SysAllocStringByteLen(static_cast<const char*>(static_cast<const void*>(source)),
                                    SysStringByteLen(source));
  if (copy == nullptr) _com_issue_error(E_OUTOFMEMORY);
  return copy;
}

}  // namespace

_bstr_t::_bstr_t(const _bstr_t& other) noexcept : m_data(other.m_data) {
  if (m_data != nullptr) m_data->AddRef();
}

_bstr_t::_bstr_t(const char* text) {
  BSTR converted = _com_util::ConvertStringToBSTR(text);
  if (converted == nullptr && text != nullptr) _com_issue_error(E_OUTOFMEMORY);
  m_data = new Data(converted);
}

_bstr_t::_bstr_t(const OLECHAR* text) {
  BSTR copy = SysAllocString(text);
  if (copy == nullptr && text != nullptr) _com_issue_error(E_OUTOFMEMORY);
  m_data = new Data(copy);
}

_bstr_t::_bstr_t(BSTR text, bool copy) : m_data(new Data(copy ? CopyOrThrow(text) : text)) {}

_bstr_t::~_bstr_t() { Release(); }

void _bstr_t::Release() noexcept {
  if (m_data != nullptr && m_data->Release()) delete m_data;
  m_data = nullptr;
}

_bstr_t& _bstr_t::operator=(const _bstr_t& other) noexcept {
  if (m_data != other.m_data) {
    Release();
    m_data = other.m_data;
    if (m_data != nullptr) m_data->AddRef();
  }
  return *this;
}

_bstr_t& _bstr_t::operator=(const char* text) { return *this = _bstr_t(text); }
_bstr_t& _bstr_t::operator=(const OLECHAR* text) { return *this = _bstr_t(text); }

_bstr_t& _bstr_t::operator+=(const _bstr_t& other) {
  using Text = std::basic_string<OLECHAR>;
  static constexpr OLECHAR kEmpty[] = {0};
  const Text joined = Text(GetBSTR() != nullptr ? GetBSTR() : kEmpty, length()) +
                      Text(other.GetBSTR() != nullptr ? other.GetBSTR() : kEmpty, other.length());
  BSTR text = SysAllocStringLen(joined.data(), static_cast<UINT>(joined.size()));
  if (text == nullptr) _com_issue_error(E_OUTOFMEMORY);
  Release();
  m_data = new Data(text);
  return *this;
}

_bstr_t::operator const OLECHAR*() const noexcept { return GetBSTR(); }
_bstr_t::operator OLECHAR*() const noexcept { return GetBSTR(); }
_bstr_t::operator const char*() const { return m_data != nullptr ? m_data->Narrow() : nullptr; }
_bstr_t::operator char*() const { return m_data != nullptr ? m_data->Narrow() : nullptr; }

bool _bstr_t::operator!() const noexcept { return GetBSTR() == nullptr; }

// Null and empty texts compare equal, as they do for the Windows class.
bool _bstr_t::operator==(const _bstr_t& other) const noexcept {
  const UINT n = length();
  if (n != other.length()) return false;
  return n == 0 || std::char_traits<OLECHAR>::compare(GetBSTR(), other.GetBSTR(), n) == 0;
}

UINT _bstr_t::length() const noexcept { return SysStringLen(GetBSTR()); }

BSTR _bstr_t::copy(bool makeCopy) const { return makeCopy ? CopyOrThrow(GetBSTR()) : GetBSTR(); }

BSTR _bstr_t::GetBSTR() const noexcept { return m_data != nullptr ? m_data->Wide() : nullptr; }

BSTR* _bstr_t::GetAddress() {
  Attach(nullptr);
  return &m_data->WideSlot();
}

void _bstr_t::Attach(BSTR text) {
  Release();
  m_data = new Data(text);
}

BSTR _bstr_t::Detach() {
  if (m_data == nullptr) return nullptr;
  BSTR text = m_data->WideSlot();
  if (m_data->Release()) {
    m_data->WideSlot() = nullptr;
    delete m_data;
    m_data = nullptr;
    return text;
  }
  // Shared with other copies: they keep the text, the caller gets its own.
  m_data = nullptr;
  return CopyOrThrow(text);
}

void _bstr_t::Assign(BSTR text) { *this = _bstr_t(text, true); }
