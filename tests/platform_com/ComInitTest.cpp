// COM initialisation results and object creation failures, which Windows defines.
#include <gtest/gtest.h>

#include <thread>

#include "platform/Win32Api.h"

namespace {

TEST(ComInit, RepeatsCountAndAnotherModelIsRefused) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();
}

TEST(ComInit, EachThreadHasItsOwnState) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  HRESULT onOtherThread = E_FAIL;
  std::thread([&] {
    onOtherThread = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
  }).join();
  EXPECT_EQ(onOtherThread, S_OK);
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
    IXMLDOMDocument2Ptr document;
    EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument60, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IXMLDOMDocument2, reinterpret_cast<void**>(&document)),
              S_OK);
    EXPECT_TRUE(document);
    document = nullptr;
    CoUninitialize();
  }).join();
}

}  // namespace
