// Bounds-checked little-endian reads from a file's bytes: a read that does not fit yields
// nullopt, so a reader of untrusted images cannot run past the end.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace corvane_test {

static_assert(std::endian::native == std::endian::little, "fields are read in place");

class ByteView {
public:
  explicit ByteView(std::string_view bytes) : m_bytes(bytes) {}

  std::uint64_t Size() const { return m_bytes.size(); }

  bool Fits(std::uint64_t offset, std::uint64_t size) const {
    return offset <= m_bytes.size() && m_bytes.size() - offset >= size;
  }

  template <class T>
  std::optional<T> At(std::uint64_t offset) const {
    static_assert(std::is_trivially_copyable_v<T>);
    if (!Fits(offset, sizeof(T))) {
      return std::nullopt;
    }
    T value{};
    std::memcpy(&value, m_bytes.data() + offset, sizeof(T));
    return value;
  }

  // The bytes [offset, offset + size) as a view of their own, offsets starting at 0.
  std::optional<ByteView> Sub(std::uint64_t offset, std::uint64_t size) const {
    if (!Fits(offset, size)) {
      return std::nullopt;
    }
    return ByteView(m_bytes.substr(offset, size));
  }

  // A NUL-terminated string; nullopt when no NUL follows before the end.
  std::optional<std::string> CString(std::uint64_t offset) const {
    if (offset >= m_bytes.size()) {
      return std::nullopt;
    }
    const auto end = m_bytes.find('\0', offset);
    if (end == std::string_view::npos) {
      return std::nullopt;
    }
    return std::string(m_bytes.substr(offset, end - offset));
  }

private:
  std::string_view m_bytes;
};

}  // namespace corvane_test
