#include "UniqueBstr.h"

namespace platform {

UniqueBstr NarrowToBstr(const char* text, UINT codePage) {
  if (text == nullptr) return nullptr;
  const int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  // A failed size query (0) asks for 0xFFFFFFFF characters, which no allocation satisfies.
  UniqueBstr converted(SysAllocStringLen(nullptr, static_cast<UINT>(length - 1)));
  if (converted && MultiByteToWideChar(codePage, 0, text, -1, converted.get(), length) != length) {
    converted.reset();
  }
  return converted;
}

}  // namespace platform
