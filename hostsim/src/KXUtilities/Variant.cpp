// Util::Variant: the host's tagged value. It owns the strings it holds; copies are deep.
#include <cstring>
#include <memory>

#include "host/KXUtilities.h"

namespace Util {
namespace {

bool IsNarrowString(std::uint32_t tag) { return tag == Variant::TagString; }
bool IsWideString(std::uint32_t tag) { return tag == Variant::TagWideString; }

char* CopyNarrow(const char* text) {
  if (text == nullptr) {
    return nullptr;
  }
  const std::size_t size = std::strlen(text) + 1;
  auto copy = std::make_unique<char[]>(size);
  std::memcpy(copy.get(), text, size);
  return copy.release();
}

WCHAR* CopyWide(const WCHAR* text) {
  if (text == nullptr) {
    return nullptr;
  }
  std::size_t length = 0;
  while (text[length] != 0) {
    ++length;
  }
  auto copy = std::make_unique<WCHAR[]>(length + 1);
  std::memcpy(copy.get(), text, (length + 1) * sizeof(WCHAR));
  return copy.release();
}

}  // namespace

Variant::Variant() : m_type(TagEmpty), m_value{} {}

Variant::Variant(const Variant& other) : Variant() { *this = other; }

Variant& Variant::operator=(const Variant& other) {
  if (this == &other) {
    return *this;
  }
  Clear();
  if (IsNarrowString(other.m_type)) {
    m_value.string = CopyNarrow(other.m_value.string);
  } else if (IsWideString(other.m_type)) {
    m_value.wideString = CopyWide(other.m_value.wideString);
  } else {
    m_value = other.m_value;
  }
  m_type = other.m_type;
  return *this;
}

Variant::~Variant() { Clear(); }

void Variant::SetInteger(std::uint32_t tag, std::int64_t value) {
  Clear();
  m_type = tag;
  m_value.integer = value;
}

void Variant::SetDouble(double value) {
  Clear();
  m_type = TagDouble;
  m_value.real = value;
}

void Variant::SetBool(bool value) {
  Clear();
  m_type = TagBool;
  m_value.boolean = value ? 1 : 0;
}

void Variant::SetString(const char* value) {
  Clear();
  m_value.string = CopyNarrow(value);
  m_type = TagString;
}

void Variant::SetWideString(const WCHAR* value) {
  Clear();
  m_value.wideString = CopyWide(value);
  m_type = TagWideString;
}

// For the string tags the bits are the string's address; the variant keeps a copy of the
// string, as it does for every string it holds.
void Variant::SetRaw(std::uint32_t tag, std::int64_t bits) {
  if (IsNarrowString(tag)) {
    SetString(reinterpret_cast<const char*>(bits));
  } else if (IsWideString(tag)) {
    SetWideString(reinterpret_cast<const WCHAR*>(bits));
  } else {
    SetInteger(tag, bits);
  }
}

void Variant::Clear() {
  if (IsNarrowString(m_type)) {
    std::unique_ptr<char[]> owned(m_value.string);
  } else if (IsWideString(m_type)) {
    std::unique_ptr<WCHAR[]> owned(m_value.wideString);
  }
  m_type = TagEmpty;
  m_value = Value{};
}

}  // namespace Util
