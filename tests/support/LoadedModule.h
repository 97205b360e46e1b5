// The module loaded the way a host loads it: the shared library by file name, both entry
// points looked up by their exported names.
#pragma once

#include <string>

namespace corvane_test {

class LoadedModule {
public:
  // Loads the module; a failure to load or to find either export fails the calling test.
  LoadedModule();
  ~LoadedModule();  // unloads it
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  bool IsLoaded() const { return m_handle != nullptr; }

  void InvokeWebTsm() const;
  void OnFirstTimeSetup() const;  // called on a manager object, as a host would

  // Unloads the module now (the destructor then does nothing).
  void Unload();

private:
  void* m_handle = nullptr;
  void (*m_invokeWebTsm)() = nullptr;
  void (*m_onFirstTimeSetup)(void*) = nullptr;
};

}  // namespace corvane_test
