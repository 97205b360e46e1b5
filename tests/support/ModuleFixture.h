// A test with the module freshly loaded by file name and a fresh host profile. The profile
// ends before the module is unloaded, so that queued messages are discarded while their
// code is still loaded.
#pragma once

#include <gtest/gtest.h>

#include "HostProfile.h"
#include "LoadedModule.h"
#include "hostsim/HostSim.h"

namespace corvane_test {

class ModuleTest : public ::testing::Test {
protected:
  ~ModuleTest() override {
    // Whatever the test left open is closed before the module goes away.
    hostsim::DeliverGoingBackground();
  }

  LoadedModule m_module;
  HostProfile m_profile;
};

}  // namespace corvane_test
