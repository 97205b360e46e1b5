#include <algorithm>

#include "platform/AtlMfc.h"

// Out-of-range arguments are clamped, as MFC does.
CStringA CStringA::Left(int count) const {
  const auto length = static_cast<std::size_t>(std::clamp(count, 0, GetLength()));
  return CStringA(m_text.substr(0, length).c_str());
}

CStringA CStringA::Mid(int first, int count) const {
  const int start = std::clamp(first, 0, GetLength());
  const int available = GetLength() - start;
  const int taken = count < 0 ? available : std::min(count, available);
  return CStringA(m_text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(taken)).c_str());
}
