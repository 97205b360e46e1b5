#include "LoadedModule.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace corvane_test {

// The module file built beside the test programs.
LoadedModule::LoadedModule() {
  try {
    m_library = std::make_unique<corvane::host::ModuleLibrary>(CORVANE_MODULE_PATH);
  } catch (const std::runtime_error& error) {
    ADD_FAILURE() << error.what();
  }
}

void LoadedModule::Call(corvane::host::ModuleLibrary::EntryPoint entry) const {
  ASSERT_TRUE(m_library) << "the module is not loaded";
  try {
    m_library->Call(entry);
  } catch (const std::runtime_error& error) {
    ADD_FAILURE() << error.what();
  }
}

}  // namespace corvane_test
