#include "ExportTable.h"

#include <cstdint>

#include "ByteView.h"
#include "PeImage.h"

namespace corvane_test {

std::optional<std::vector<std::string>> PeExportNames(const std::string& image) {
  const auto pe = PeImage::Parse(image);
  return pe ? pe->ExportNames() : std::nullopt;
}

std::optional<std::vector<std::string>> ElfExportedFunctions(const std::string& image) {
  const ByteView bytes(image);
  if (image.compare(0, 4, "\x7f" "ELF") != 0 || bytes.At<std::uint8_t>(4) != 2) {
    return std::nullopt;  // not ELF64
  }
  const auto sectionTable = bytes.At<std::uint64_t>(0x28);
  const auto entrySize = bytes.At<std::uint16_t>(0x3A);
  const auto sectionCount = bytes.At<std::uint16_t>(0x3C);
  if (!sectionTable || !entrySize || !sectionCount) {
    return std::nullopt;
  }
  constexpr std::uint32_t kDynamicSymbols = 11;  // SHT_DYNSYM
  std::vector<std::string> names;
  for (std::uint16_t i = 0; i < *sectionCount; ++i) {
    const std::uint64_t header = *sectionTable + std::uint64_t{*entrySize} * i;
    if (bytes.At<std::uint32_t>(header + 4) != kDynamicSymbols) {
      continue;
    }
    const auto offset = bytes.At<std::uint64_t>(header + 24);
    const auto size = bytes.At<std::uint64_t>(header + 32);
    const auto link = bytes.At<std::uint32_t>(header + 40);
    const auto symbolSize = bytes.At<std::uint64_t>(header + 56);
    if (!offset || !size || !link || !symbolSize || *symbolSize == 0) {
      return std::nullopt;
    }
    const auto strings = bytes.At<std::uint64_t>(*sectionTable + std::uint64_t{*entrySize} * *link + 24);
    if (!strings) {
      return std::nullopt;
    }
    for (std::uint64_t symbol = *offset; symbol + *symbolSize <= *offset + *size;
         symbol += *symbolSize) {
      const auto nameIndex = bytes.At<std::uint32_t>(symbol);
      const auto info = bytes.At<std::uint8_t>(symbol + 4);
      const auto other = bytes.At<std::uint8_t>(symbol + 5);
      const auto sectionIndex = bytes.At<std::uint16_t>(symbol + 6);
      if (!nameIndex || !info || !other || !sectionIndex) {
        return std::nullopt;
      }
      const bool isFunction = (*info & 0xF) == 2;                      // STT_FUNC
      const bool isGlobal = (*info >> 4) == 1 || (*info >> 4) == 2;    // GLOBAL or WEAK
      const bool isDefault = (*other & 0x3) == 0;                      // STV_DEFAULT
      if (isFunction && isGlobal && isDefault && *sectionIndex != 0) {
        const auto name = bytes.CString(*strings + *nameIndex);
        if (!name) {
          return std::nullopt;
        }
        names.push_back(*name);
      }
    }
  }
  return names;
}

}  // namespace corvane_test
