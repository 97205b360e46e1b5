// The module loaded as a host loads it (dlopen / LoadLibraryA), its entry points looked up
// by their exported names. Unloading runs the module's static destructors, which unregister
// its notification handler.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace corvane::host {

class ModuleLibrary {
 public:
  using Entry = void (*)();
  enum class EntryPoint { InvokeWebTsm, OnFirstTimeSetup };

  // Throws std::runtime_error naming the file and the loader's reason.
  explicit ModuleLibrary(const std::filesystem::path& file);
  ~ModuleLibrary();
  ModuleLibrary(const ModuleLibrary&) = delete;
  ModuleLibrary& operator=(const ModuleLibrary&) = delete;

  // Throws std::runtime_error when the export is missing.
  void Call(EntryPoint entry) const;

  // libCorvane.so / Corvane.dll beside this program.
  static std::filesystem::path DefaultPath();

 private:
  void* Symbol(const char* name) const;

  std::filesystem::path m_file;
  void* m_handle = nullptr;
};

// The exported names of the entry points on this target.
const char* ExportName(ModuleLibrary::EntryPoint entry);

}  // namespace corvane::host
