// The module loaded the way corvane-host loads it: the shared library by file name, its entry
// points called by their exported names.
#pragma once

#include <memory>

#include "ModuleLibrary.h"

namespace corvane_test {

class LoadedModule {
 public:
  // Loads the module; a failure to load it, or to find an entry point when called, fails the
  // calling test.
  LoadedModule();

  bool IsLoaded() const { return m_library != nullptr; }

  void InvokeWebTsm() const { Call(corvane::host::ModuleLibrary::EntryPoint::InvokeWebTsm); }
  // Called on a manager object, as a host would.
  void OnFirstTimeSetup() const {
    Call(corvane::host::ModuleLibrary::EntryPoint::OnFirstTimeSetup);
  }

  // Unloads the module now (the destructor then does nothing).
  void Unload() { m_library.reset(); }

 private:
  void Call(corvane::host::ModuleLibrary::EntryPoint entry) const;

  std::unique_ptr<corvane::host::ModuleLibrary> m_library;
};

}  // namespace corvane_test
