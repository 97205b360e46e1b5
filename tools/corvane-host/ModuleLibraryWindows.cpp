#include <windows.h>

#include <stdexcept>
#include <string>

#include "ModuleLibrary.h"

namespace corvane::host {

const char* ExportName(ModuleLibrary::EntryPoint entry) {
  return entry == ModuleLibrary::EntryPoint::InvokeWebTsm
             ? "InvokeWebTsm"
             : "?OnFirstTimeSetup@WebTSMManager@@QEAAXXZ";
}

ModuleLibrary::ModuleLibrary(const std::filesystem::path& file) : m_file(file) {
  m_handle = reinterpret_cast<void*>(LoadLibraryA(file.string().c_str()));
  if (!m_handle) {
    const DWORD error = GetLastError();
    throw std::runtime_error(
        file.string() + ": cannot be loaded: error " + std::to_string(error) +
        (error == ERROR_MOD_NOT_FOUND ? " (it, or a library it imports, was not found)" : ""));
  }
}

ModuleLibrary::~ModuleLibrary() { FreeLibrary(static_cast<HMODULE>(m_handle)); }

void* ModuleLibrary::Symbol(const char* name) const {
  const FARPROC symbol = GetProcAddress(static_cast<HMODULE>(m_handle), name);
  if (!symbol) throw std::runtime_error(m_file.string() + ": no export named " + name);
  return reinterpret_cast<void*>(symbol);
}

std::filesystem::path ModuleLibrary::DefaultPath() {
  char self[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::filesystem::path program(std::string(self, length));
  return program.parent_path() / "Corvane.dll";
}

}  // namespace corvane::host
