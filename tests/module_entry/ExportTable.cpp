#include "ExportTable.h"

#include <cstdint>
#include <cstring>

namespace corvane_test {

namespace {

// Little-endian fields read with bounds checks; a read past the end yields nullopt.
class Bytes {
public:
  explicit Bytes(const std::string& data) : m_data(data) {}

  template <class T>
  std::optional<T> At(std::uint64_t offset) const {
    if (offset > m_data.size() || m_data.size() - offset < sizeof(T)) {
      return std::nullopt;
    }
    T value{};
    std::memcpy(&value, m_data.data() + offset, sizeof(T));
    return value;
  }

  std::optional<std::string> CString(std::uint64_t offset) const {
    if (offset >= m_data.size()) {
      return std::nullopt;
    }
    const auto end = m_data.find('\0', offset);
    if (end == std::string::npos) {
      return std::nullopt;
    }
    return m_data.substr(offset, end - offset);
  }

private:
  const std::string& m_data;
};

struct PeSection {
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  std::uint32_t rawOffset;
};

std::optional<std::uint64_t> RvaToOffset(const std::vector<PeSection>& sections,
                                         std::uint32_t rva) {
  for (const auto& section : sections) {
    if (rva >= section.virtualAddress && rva - section.virtualAddress < section.virtualSize) {
      return std::uint64_t{section.rawOffset} + (rva - section.virtualAddress);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<std::string>> PeExportNames(const std::string& image) {
  const Bytes bytes(image);
  if (bytes.At<std::uint16_t>(0) != 0x5A4D) {  // "MZ"
    return std::nullopt;
  }
  const auto peOffset = bytes.At<std::uint32_t>(0x3C);
  if (!peOffset || bytes.At<std::uint32_t>(*peOffset) != 0x00004550) {  // "PE\0\0"
    return std::nullopt;
  }
  const std::uint64_t fileHeader = *peOffset + 4;
  const auto sectionCount = bytes.At<std::uint16_t>(fileHeader + 2);
  const auto optionalSize = bytes.At<std::uint16_t>(fileHeader + 16);
  const std::uint64_t optionalHeader = fileHeader + 20;
  if (!sectionCount || !optionalSize || bytes.At<std::uint16_t>(optionalHeader) != 0x20B) {
    return std::nullopt;  // not PE32+
  }
  const auto exportRva = bytes.At<std::uint32_t>(optionalHeader + 112);  // data directory 0
  if (!exportRva) {
    return std::nullopt;
  }

  std::vector<PeSection> sections;
  const std::uint64_t sectionTable = optionalHeader + *optionalSize;
  for (std::uint16_t i = 0; i < *sectionCount; ++i) {
    const std::uint64_t entry = sectionTable + 40u * i;
    const auto virtualSize = bytes.At<std::uint32_t>(entry + 8);
    const auto virtualAddress = bytes.At<std::uint32_t>(entry + 12);
    const auto rawOffset = bytes.At<std::uint32_t>(entry + 20);
    if (!virtualSize || !virtualAddress || !rawOffset) {
      return std::nullopt;
    }
    sections.push_back({*virtualAddress, *virtualSize, *rawOffset});
  }

  std::vector<std::string> names;
  if (*exportRva == 0) {
    return names;
  }
  const auto directory = RvaToOffset(sections, *exportRva);
  if (!directory) {
    return std::nullopt;
  }
  const auto nameCount = bytes.At<std::uint32_t>(*directory + 24);
  const auto nameTableRva = bytes.At<std::uint32_t>(*directory + 32);
  if (!nameCount || !nameTableRva) {
    return std::nullopt;
  }
  const auto nameTable = RvaToOffset(sections, *nameTableRva);
  if (!nameTable) {
    return std::nullopt;
  }
  for (std::uint32_t i = 0; i < *nameCount; ++i) {
    const auto nameRva = bytes.At<std::uint32_t>(*nameTable + 4u * i);
    const auto nameOffset = nameRva ? RvaToOffset(sections, *nameRva) : std::nullopt;
    const auto name = nameOffset ? bytes.CString(*nameOffset) : std::nullopt;
    if (!name) {
      return std::nullopt;
    }
    names.push_back(*name);
  }
  return names;
}

std::optional<std::vector<std::string>> ElfExportedFunctions(const std::string& image) {
  const Bytes bytes(image);
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
