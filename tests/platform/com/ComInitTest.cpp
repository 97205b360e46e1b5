// COM initialisation per thread and object creation failures, which Windows defines; on
// Linux also the per-thread count and the class registry behind CoCreateInstance.
#include <thread>

#include "../ComTestSupport.h"

#ifndef _WIN32
#include "platform/linux/PlatformTestSupport.h"
#define EXPECT_COM_INIT_COUNT(n) EXPECT_EQ(PlatformComInitCount(), n)
#else
#define EXPECT_COM_INIT_COUNT(n)
#endif

namespace {

TEST(ComInit, RepeatsCountPerThreadAndAnotherModelIsRefused) {
#ifndef _WIN32
  int reserved = 0;
  EXPECT_EQ(CoInitialize(&reserved), E_INVALIDARG);
  EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
#endif
  EXPECT_COM_INIT_COUNT(0);  // bad arguments count nothing
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  EXPECT_COM_INIT_COUNT(3);  // a refused call adds nothing
  HRESULT onOtherThread = E_FAIL;
  std::thread([&] {
    onOtherThread = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_COM_INIT_COUNT(1);
    CoUninitialize();
  }).join();
  EXPECT_EQ(onOtherThread, S_OK);
  for (int i = 0; i < 3; ++i) CoUninitialize();
#ifndef _WIN32
  CoUninitialize();  // one too many is ignored
#endif
  EXPECT_COM_INIT_COUNT(0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(ComCreate, NeedsInitialisationAndAKnownClass) {
  std::thread([] {
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument60, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const CLSID unknownClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(CoCreateInstance(unknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
    CoUninitialize();
  }).join();
}

#ifndef _WIN32
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
#endif

}  // namespace
