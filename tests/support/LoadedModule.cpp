#include "LoadedModule.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

namespace corvane_test {

namespace {

#ifdef _WIN32
constexpr const char* kOnFirstTimeSetupExport = "?OnFirstTimeSetup@WebTSMManager@@QEAAXXZ";
void* OpenLibrary(const std::string& path) {
  return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
}
void* FindSymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
std::string LastLoadError() { return "error " + std::to_string(GetLastError()); }
#else
constexpr const char* kOnFirstTimeSetupExport = "_ZN13WebTSMManager16OnFirstTimeSetupEv";
void* OpenLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* FindSymbol(void* handle, const char* name) { return dlsym(handle, name); }
void CloseLibrary(void* handle) { dlclose(handle); }
std::string LastLoadError() {
  const char* error = dlerror();
  return error != nullptr ? error : "unknown error";
}
#endif
constexpr const char* kInvokeWebTsmExport = "InvokeWebTsm";

}  // namespace

LoadedModule::LoadedModule() {
  // The module file built beside the test programs.
  m_handle = OpenLibrary(CORVANE_MODULE_PATH);
  if (m_handle == nullptr) {
    ADD_FAILURE() << "cannot load " << CORVANE_MODULE_PATH << ": " << LastLoadError();
    return;
  }
  m_invokeWebTsm = reinterpret_cast<void (*)()>(FindSymbol(m_handle, kInvokeWebTsmExport));
  m_onFirstTimeSetup =
      reinterpret_cast<void (*)(void*)>(FindSymbol(m_handle, kOnFirstTimeSetupExport));
  EXPECT_NE(m_invokeWebTsm, nullptr) << kInvokeWebTsmExport;
  EXPECT_NE(m_onFirstTimeSetup, nullptr) << kOnFirstTimeSetupExport;
}

LoadedModule::~LoadedModule() { Unload(); }

void LoadedModule::Unload() {
  if (m_handle != nullptr) {
    CloseLibrary(m_handle);
    m_handle = nullptr;
    m_invokeWebTsm = nullptr;
    m_onFirstTimeSetup = nullptr;
  }
}

void LoadedModule::InvokeWebTsm() const {
  ASSERT_NE(m_invokeWebTsm, nullptr);
  m_invokeWebTsm();
}

void LoadedModule::OnFirstTimeSetup() const {
  ASSERT_NE(m_onFirstTimeSetup, nullptr);
  // The member function never touches its object; a host calls it on a manager of its own.
  struct Manager {
    char unused;
  } manager{};
  m_onFirstTimeSetup(&manager);
}

}  // namespace corvane_test
