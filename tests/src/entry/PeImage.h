// Reads a PE32+ image (a 64-bit Windows DLL or program) from its bytes, on any system: header
// fields, imports, exports, the CodeView debug record and the version resource. Each accessor
// answers nullopt when its part of the file is malformed, and reads nothing outside the file.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ByteView.h"

namespace corvane_test {

namespace pe {
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kFileDll = 0x2000;  // Characteristics()
// DllCharacteristics()
inline constexpr std::uint16_t kHighEntropyVa = 0x0020;
inline constexpr std::uint16_t kDynamicBase = 0x0040;
inline constexpr std::uint16_t kNxCompat = 0x0100;
inline constexpr std::uint16_t kGuardCf = 0x4000;
}  // namespace pe

struct PeImportedDll {
  std::string name;  // as the image spells it
  bool delayLoaded = false;
  std::vector<std::string> functions;  // by name; an import by ordinal reads "#<ordinal>"

  bool operator==(const PeImportedDll&) const = default;
};

struct PeVersionInfo {
  std::array<std::uint16_t, 4> fileVersion{};  // VS_FIXEDFILEINFO: major, minor, build, revision
  std::map<std::string, std::string> strings;  // StringFileInfo in UTF-8; the first table wins

  bool operator==(const PeVersionInfo&) const = default;
};

class PeImage {
public:
  // nullopt unless the bytes hold a PE32+ image's headers and section table.
  static std::optional<PeImage> Parse(std::string bytes);

  std::uint16_t Machine() const { return m_machine; }
  std::uint16_t Characteristics() const { return m_characteristics; }
  std::uint16_t DllCharacteristics() const { return m_dllCharacteristics; }

  // The import table's DLLs, then the delay-loaded ones; empty when the image imports nothing.
  std::optional<std::vector<PeImportedDll>> Imports() const;
  // The names in the export directory; empty when there is none.
  std::optional<std::vector<std::string>> ExportNames() const;
  // The PDB path of the first CodeView debug entry, which must be an RSDS record.
  std::optional<std::string> PdbPath() const;
  // The first RT_VERSION resource, which must carry a VS_FIXEDFILEINFO.
  std::optional<PeVersionInfo> VersionInfo() const;

private:
  struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
  };
  struct DataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
  };

  PeImage() = default;
  ByteView Bytes() const { return ByteView(m_bytes); }
  DataDirectory Directory(std::size_t index) const;
  std::optional<std::uint64_t> OffsetOf(std::uint32_t rva) const;
  std::optional<std::string> CStringAt(std::uint32_t rva) const;
  std::optional<std::vector<std::string>> ImportedFunctions(std::uint32_t lookupTableRva) const;
  std::optional<ByteView> VersionResource() const;

  std::string m_bytes;
  std::uint16_t m_machine = 0;
  std::uint16_t m_characteristics = 0;
  std::uint16_t m_dllCharacteristics = 0;
  std::vector<Section> m_sections;
  std::vector<DataDirectory> m_directories;
};

}  // namespace corvane_test
