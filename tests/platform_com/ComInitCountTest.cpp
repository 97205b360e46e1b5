// The per-thread COM initialisation count, observable on Linux only.
#include <gtest/gtest.h>

#include <thread>

#include "platform/Win32Api.h"
#include "platform/linux/PlatformTestSupport.h"

namespace {

TEST(ComInitCount, CountsBalancedCallsPerThread) {
  ASSERT_EQ(PlatformComInitCount(), 0);
  CoInitialize(nullptr);
  CoInitialize(nullptr);
  EXPECT_EQ(PlatformComInitCount(), 2);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  EXPECT_EQ(PlatformComInitCount(), 2);  // a refused call adds nothing
  int otherThread = -1;
  std::thread([&] {
    CoInitialize(nullptr);
    otherThread = PlatformComInitCount();
    CoUninitialize();
  }).join();
  EXPECT_EQ(otherThread, 1);
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();  // one too many is ignored
  EXPECT_EQ(PlatformComInitCount(), 0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(ComInitCount, BadArgumentsAreRefusedWithoutCounting) {
  int reserved = 0;
  EXPECT_EQ(CoInitialize(&reserved), E_INVALIDARG);
  EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
  EXPECT_EQ(PlatformComInitCount(), 0);
}

HRESULT CreateNothing(REFIID, void**) { return E_OUTOFMEMORY; }

TEST(ClassRegistry, CreatorFailureReachesTheCaller) {
  const CLSID failing = {0xFA11, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  ASSERT_TRUE(PlatformRegisterClass(failing, &CreateNothing));
  EXPECT_FALSE(PlatformRegisterClass(failing, nullptr));
  CoInitialize(nullptr);
  void* object = &object;
  EXPECT_EQ(CoCreateInstance(failing, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            E_OUTOFMEMORY);
  EXPECT_EQ(object, nullptr);
  int outer = 0;
  EXPECT_EQ(CoCreateInstance(failing, reinterpret_cast<IUnknown*>(&outer), CLSCTX_INPROC_SERVER,
                             IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(failing, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  CoUninitialize();
}

}  // namespace
