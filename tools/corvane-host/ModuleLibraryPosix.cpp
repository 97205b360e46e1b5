#include <dlfcn.h>

#include <stdexcept>

#include "ModuleLibrary.h"

namespace corvane::host {

const char* ExportName(ModuleLibrary::EntryPoint entry) {
  return entry == ModuleLibrary::EntryPoint::InvokeWebTsm
             ? "InvokeWebTsm"
             : "_ZN13WebTSMManager16OnFirstTimeSetupEv";
}

ModuleLibrary::ModuleLibrary(const std::filesystem::path& file) : m_file(file) {
  m_handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!m_handle) {
    const char* reason = dlerror();
    throw std::runtime_error(file.string() + ": cannot be loaded: " + (reason ? reason : "?"));
  }
}

ModuleLibrary::~ModuleLibrary() { dlclose(m_handle); }

void* ModuleLibrary::Symbol(const char* name) const {
  void* symbol = dlsym(m_handle, name);
  if (!symbol) throw std::runtime_error(m_file.string() + ": no export named " + name);
  return symbol;
}

std::filesystem::path ModuleLibrary::DefaultPath() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return (error ? std::filesystem::path(".") : self.parent_path()) / "libCorvane.so";
}

}  // namespace corvane::host
