// Reads the names a module file exports, from the file itself: the export directory of a
// PE32+ image, or the defined global functions of an ELF shared object's dynamic symbols.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane_test {

// The exported names of a PE32+ image, or nullopt when the bytes are no such image.
std::optional<std::vector<std::string>> PeExportNames(const std::string& image);

// The defined, globally visible function symbols of an ELF64 shared object, or nullopt.
std::optional<std::vector<std::string>> ElfExportedFunctions(const std::string& image);

}  // namespace corvane_test
