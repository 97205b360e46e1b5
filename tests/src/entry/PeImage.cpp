#include "PeImage.h"

#include <algorithm>
#include <utility>

namespace corvane_test {

namespace {

enum DirectoryIndex : std::size_t {
  kExports = 0,
  kImports = 1,
  kResources = 2,
  kDebug = 6,
  kDelayImports = 13
};

constexpr std::uint32_t kCodeViewDebugType = 2;
constexpr std::uint32_t kVersionResourceType = 16;  // RT_VERSION
constexpr std::uint32_t kResourceSubdirectory = 0x80000000;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

constexpr std::uint64_t Align4(std::uint64_t offset) { return (offset + 3) & ~std::uint64_t{3}; }

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    const bool high = c >= 0xD800 && c < 0xDC00;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // an unpaired surrogate
    }
    const auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | (c >> 6));
      put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      put(0xE0 | (c >> 12));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    } else {
      put(0xF0 | (c >> 18));
      put(0x80 | ((c >> 12) & 0x3F));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// UTF-16 up to a NUL or `end`; nullopt when a NUL is required and none comes before `end`.
std::optional<std::u16string> U16String(const ByteView& bytes, std::uint64_t offset,
                                        std::uint64_t end, bool requireNul) {
  std::u16string text;
  for (; offset + 2 <= end; offset += 2) {
    const auto unit = bytes.At<char16_t>(offset);
    if (!unit) {
      return std::nullopt;
    }
    if (*unit == u'\0') {
      return text;
    }
    text.push_back(*unit);
  }
  return requireNul ? std::nullopt : std::optional(text);
}

// One node of a VS_VERSIONINFO tree: header, key, value, children, each 32-bit aligned.
struct VersionBlock {
  std::u16string key;
  std::uint16_t valueLength;  // in bytes for binary values, in characters for text
  std::uint64_t value;
  std::uint64_t children;
  std::uint64_t end;
};

std::optional<VersionBlock> ReadVersionBlock(const ByteView& bytes, std::uint64_t offset,
                                             std::uint64_t limit) {
  const auto length = bytes.At<std::uint16_t>(offset);
  const auto valueLength = bytes.At<std::uint16_t>(offset + 2);
  const auto type = bytes.At<std::uint16_t>(offset + 4);
  if (!length || !valueLength || !type || *length < 6 || offset + *length > limit) {
    return std::nullopt;
  }
  const std::uint64_t end = offset + *length;
  auto key = U16String(bytes, offset + 6, end, true);
  if (!key) {
    return std::nullopt;
  }
  const std::uint64_t value = Align4(offset + 6 + 2 * (key->size() + 1));
  const std::uint64_t valueBytes = *type == 1 ? 2u * *valueLength : *valueLength;
  if (value > end) {
    return std::nullopt;
  }
  // Some resource compilers count a text value in bytes: children never start past the end.
  return VersionBlock{std::move(*key), *valueLength, value,
                      std::min(Align4(value + valueBytes), end), end};
}

// Calls visit(child) for each child block of `parent`; false when one is malformed.
template <class Visit>
bool ForEachChild(const ByteView& bytes, const VersionBlock& parent, Visit visit) {
  for (std::uint64_t offset = parent.children; offset < parent.end;) {
    const auto child = ReadVersionBlock(bytes, offset, parent.end);
    if (!child || !visit(*child)) {
      return false;
    }
    offset = Align4(child->end);
  }
  return true;
}

std::optional<PeVersionInfo> ParseVersionInfo(const ByteView& bytes) {
  const auto root = ReadVersionBlock(bytes, 0, bytes.Size());
  constexpr std::uint64_t kFixedFileInfoSize = 52;
  if (!root || root->key != u"VS_VERSION_INFO" || root->valueLength < kFixedFileInfoSize ||
      root->value + kFixedFileInfoSize > root->end ||
      bytes.At<std::uint32_t>(root->value) != kFixedFileInfoSignature) {
    return std::nullopt;
  }
  const auto versionHigh = bytes.At<std::uint32_t>(root->value + 8);
  const auto versionLow = bytes.At<std::uint32_t>(root->value + 12);
  if (!versionHigh || !versionLow) {
    return std::nullopt;
  }
  PeVersionInfo info;
  info.fileVersion = {
      static_cast<std::uint16_t>(*versionHigh >> 16), static_cast<std::uint16_t>(*versionHigh),
      static_cast<std::uint16_t>(*versionLow >> 16), static_cast<std::uint16_t>(*versionLow)};
  const auto addString = [&](const VersionBlock& entry) {
    const auto text = U16String(bytes, entry.value, entry.end, false);
    if (text) {
      info.strings.emplace(Utf8(entry.key), Utf8(*text));
    }
    return text.has_value();
  };
  const auto addTable = [&](const VersionBlock& table) {
    return ForEachChild(bytes, table, addString);
  };
  const bool wellFormed = ForEachChild(bytes, *root, [&](const VersionBlock& child) {
    return child.key != u"StringFileInfo" || ForEachChild(bytes, child, addTable);
  });
  return wellFormed ? std::optional(std::move(info)) : std::nullopt;
}

}  // namespace

std::optional<PeImage> PeImage::Parse(std::string bytes) {
  PeImage image;
  image.m_bytes = std::move(bytes);
  const ByteView view = image.Bytes();
  const auto peOffset = view.At<std::uint32_t>(0x3C);
  if (view.At<std::uint16_t>(0) != 0x5A4D || !peOffset ||  // "MZ"
      view.At<std::uint32_t>(*peOffset) != 0x00004550) {   // "PE\0\0"
    return std::nullopt;
  }
  const std::uint64_t fileHeader = std::uint64_t{*peOffset} + 4;
  const std::uint64_t optionalHeader = fileHeader + 20;
  const auto machine = view.At<std::uint16_t>(fileHeader);
  const auto sectionCount = view.At<std::uint16_t>(fileHeader + 2);
  const auto optionalSize = view.At<std::uint16_t>(fileHeader + 16);
  const auto characteristics = view.At<std::uint16_t>(fileHeader + 18);
  const auto dllCharacteristics = view.At<std::uint16_t>(optionalHeader + 70);
  const auto directoryCount = view.At<std::uint32_t>(optionalHeader + 108);
  if (!machine || !sectionCount || !optionalSize || !characteristics || !dllCharacteristics ||
      !directoryCount || *optionalSize < 112 ||
      view.At<std::uint16_t>(optionalHeader) != 0x20B) {  // PE32+
    return std::nullopt;
  }
  image.m_machine = *machine;
  image.m_characteristics = *characteristics;
  image.m_dllCharacteristics = *dllCharacteristics;

  const std::uint32_t directoriesInHeader = (*optionalSize - 112u) / 8u;
  for (std::uint32_t i = 0; i < std::min({*directoryCount, directoriesInHeader, 16u}); ++i) {
    const auto rva = view.At<std::uint32_t>(optionalHeader + 112 + 8u * i);
    const auto size = view.At<std::uint32_t>(optionalHeader + 116 + 8u * i);
    if (!rva || !size) {
      return std::nullopt;
    }
    image.m_directories.push_back({*rva, *size});
  }
  const std::uint64_t sectionTable = optionalHeader + *optionalSize;
  for (std::uint32_t i = 0; i < *sectionCount; ++i) {
    const std::uint64_t entry = sectionTable + 40u * i;
    const auto virtualSize = view.At<std::uint32_t>(entry + 8);
    const auto virtualAddress = view.At<std::uint32_t>(entry + 12);
    const auto rawSize = view.At<std::uint32_t>(entry + 16);
    const auto rawOffset = view.At<std::uint32_t>(entry + 20);
    if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) {
      return std::nullopt;
    }
    image.m_sections.push_back({*virtualAddress, *virtualSize, *rawSize, *rawOffset});
  }
  return image;
}

PeImage::DataDirectory PeImage::Directory(std::size_t index) const {
  return index < m_directories.size() ? m_directories[index] : DataDirectory{};
}

// Only bytes the file holds: the zero-filled tail of a section beyond its raw data has none.
std::optional<std::uint64_t> PeImage::OffsetOf(std::uint32_t rva) const {
  for (const auto& section : m_sections) {
    const std::uint32_t inFile =
        section.virtualSize == 0 ? section.rawSize : std::min(section.virtualSize, section.rawSize);
    if (rva >= section.virtualAddress && rva - section.virtualAddress < inFile) {
      return std::uint64_t{section.rawOffset} + (rva - section.virtualAddress);
    }
  }
  return std::nullopt;
}

std::optional<std::string> PeImage::CStringAt(std::uint32_t rva) const {
  const auto offset = OffsetOf(rva);
  return offset ? Bytes().CString(*offset) : std::nullopt;
}

std::optional<std::vector<std::string>> PeImage::ImportedFunctions(
    std::uint32_t lookupTableRva) const {
  const ByteView view = Bytes();
  const auto table = OffsetOf(lookupTableRva);
  if (!table) {
    return std::nullopt;
  }
  std::vector<std::string> functions;
  for (std::uint64_t entry = *table;; entry += 8) {
    const auto thunk = view.At<std::uint64_t>(entry);
    if (!thunk) {
      return std::nullopt;
    }
    if (*thunk == 0) {
      return functions;
    }
    if (*thunk >> 63) {
      functions.push_back("#" + std::to_string(*thunk & 0xFFFF));
      continue;
    }
    const auto hintName =
        *thunk >> 32 ? std::nullopt : OffsetOf(static_cast<std::uint32_t>(*thunk));
    const auto name = hintName ? view.CString(*hintName + 2) : std::nullopt;
    if (!name) {
      return std::nullopt;
    }
    functions.push_back(*name);
  }
}

std::optional<std::vector<PeImportedDll>> PeImage::Imports() const {
  const ByteView view = Bytes();
  std::vector<PeImportedDll> dlls;
  // Ordinary descriptors are 20 bytes, delay-load ones 32; a zero name ends either table.
  struct Layout {
    DirectoryIndex directory;
    std::uint64_t entrySize;
    std::uint64_t nameField;
    std::uint64_t lookupField;
    std::uint64_t fallbackLookupField;  // the address table, when there is no lookup table
  };
  for (const Layout& layout :
       {Layout{kImports, 20, 12, 0, 16}, Layout{kDelayImports, 32, 4, 16, 16}}) {
    const std::uint32_t tableRva = Directory(layout.directory).rva;
    if (tableRva == 0) {
      continue;
    }
    const auto table = OffsetOf(tableRva);
    if (!table) {
      return std::nullopt;
    }
    const bool delayLoaded = layout.directory == kDelayImports;
    for (std::uint64_t entry = *table;; entry += layout.entrySize) {
      const auto name = view.At<std::uint32_t>(entry + layout.nameField);
      const auto lookup = view.At<std::uint32_t>(entry + layout.lookupField);
      const auto fallback = view.At<std::uint32_t>(entry + layout.fallbackLookupField);
      if (!name || !lookup || !fallback) {
        return std::nullopt;
      }
      if (*name == 0) {
        break;
      }
      // A delay-load descriptor holds addresses unless its first attribute bit says RVAs.
      if (delayLoaded && (view.At<std::uint32_t>(entry).value_or(0) & 1) == 0) {
        return std::nullopt;
      }
      auto dllName = CStringAt(*name);
      auto functions = ImportedFunctions(*lookup != 0 ? *lookup : *fallback);
      if (!dllName || !functions) {
        return std::nullopt;
      }
      dlls.push_back({std::move(*dllName), delayLoaded, std::move(*functions)});
    }
  }
  return dlls;
}

std::optional<std::vector<std::string>> PeImage::ExportNames() const {
  const ByteView view = Bytes();
  std::vector<std::string> names;
  const std::uint32_t directoryRva = Directory(kExports).rva;
  if (directoryRva == 0) {
    return names;
  }
  const auto directory = OffsetOf(directoryRva);
  const auto nameCount = directory ? view.At<std::uint32_t>(*directory + 24) : std::nullopt;
  const auto nameTableRva = directory ? view.At<std::uint32_t>(*directory + 32) : std::nullopt;
  if (!nameCount || !nameTableRva) {
    return std::nullopt;
  }
  if (*nameCount == 0) {
    return names;  // exports by ordinal only
  }
  const auto nameTable = OffsetOf(*nameTableRva);
  if (!nameTable) {
    return std::nullopt;
  }
  for (std::uint32_t i = 0; i < *nameCount; ++i) {
    const auto nameRva = view.At<std::uint32_t>(*nameTable + std::uint64_t{4} * i);
    auto name = nameRva ? CStringAt(*nameRva) : std::nullopt;
    if (!name) {
      return std::nullopt;
    }
    names.push_back(std::move(*name));
  }
  return names;
}

std::optional<std::string> PeImage::PdbPath() const {
  const ByteView view = Bytes();
  const DataDirectory debug = Directory(kDebug);
  const auto table = debug.rva != 0 ? OffsetOf(debug.rva) : std::nullopt;
  if (!table) {
    return std::nullopt;
  }
  constexpr std::uint32_t kEntrySize = 28;
  for (std::uint32_t i = 0; i < debug.size / kEntrySize; ++i) {
    const std::uint64_t entry = *table + kEntrySize * i;
    const auto type = view.At<std::uint32_t>(entry + 12);
    const auto size = view.At<std::uint32_t>(entry + 16);
    const auto fileOffset = view.At<std::uint32_t>(entry + 24);
    if (!type || !size || !fileOffset) {
      return std::nullopt;
    }
    if (*type != kCodeViewDebugType) {
      continue;
    }
    // "RSDS", the PDB's GUID and age, then its path.
    const auto record = view.Sub(*fileOffset, *size);
    const auto signature = record ? record->At<std::array<char, 4>>(0) : std::nullopt;
    if (signature != std::array{'R', 'S', 'D', 'S'}) {
      return std::nullopt;
    }
    return record->CString(24);
  }
  return std::nullopt;
}

// The resource tree is type, then name, then language; the first name and language serve.
std::optional<ByteView> PeImage::VersionResource() const {
  const DataDirectory resources = Directory(kResources);
  const auto start = resources.rva != 0 ? OffsetOf(resources.rva) : std::nullopt;
  if (!start) {
    return std::nullopt;
  }
  const ByteView view = Bytes();
  const auto tree = view.Sub(*start, view.Size() - std::min(*start, view.Size()));
  if (!tree) {
    return std::nullopt;
  }
  // The target of the entry of the directory at `directory` with `id` (any when nullopt).
  const auto child = [&tree](std::uint32_t directory,
                             std::optional<std::uint32_t> id) -> std::optional<std::uint32_t> {
    const auto named = tree->At<std::uint16_t>(directory + 12);
    const auto numbered = tree->At<std::uint16_t>(directory + 14);
    if (!named || !numbered) {
      return std::nullopt;
    }
    for (std::uint32_t i = 0; i < std::uint32_t{*named} + *numbered; ++i) {
      const std::uint64_t entry = directory + 16u + 8u * i;
      const auto name = tree->At<std::uint32_t>(entry);
      const auto target = tree->At<std::uint32_t>(entry + 4);
      if (!name || !target) {
        return std::nullopt;
      }
      if (!id || *name == *id) {
        return *target;
      }
    }
    return std::nullopt;
  };
  std::uint32_t directory = 0;
  for (const auto id : {std::optional(kVersionResourceType), std::optional<std::uint32_t>()}) {
    const auto target = child(directory, id);
    if (!target || (*target & kResourceSubdirectory) == 0) {
      return std::nullopt;
    }
    directory = *target & ~kResourceSubdirectory;
  }
  const auto leaf = child(directory, std::nullopt);
  if (!leaf || (*leaf & kResourceSubdirectory) != 0) {
    return std::nullopt;
  }
  const auto dataRva = tree->At<std::uint32_t>(*leaf);
  const auto dataSize = tree->At<std::uint32_t>(*leaf + 4);
  const auto data = dataRva && dataSize ? OffsetOf(*dataRva) : std::nullopt;
  return data ? view.Sub(*data, *dataSize) : std::nullopt;
}

std::optional<PeVersionInfo> PeImage::VersionInfo() const {
  const auto resource = VersionResource();
  return resource ? ParseVersionInfo(*resource) : std::nullopt;
}

}  // namespace corvane_test
