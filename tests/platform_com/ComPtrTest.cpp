// Reference counting of the owning interface pointer, against an object that counts.
#include <gtest/gtest.h>

#include <utility>

#include "CountedObject.h"

namespace {

class ComPtr : public testing::Test {
 protected:
  CountedObject::Probe probe;
  // A fresh object whose creation reference the test owns through `owner`.
  ISupportErrorInfoPtr MakeOwned() { return ISupportErrorInfoPtr(CountedObject::Create(probe), false); }
};

TEST_F(ComPtr, FromRawAddsAReferenceAndReleasesItAtScopeEnd) {
  ISupportErrorInfo* raw = CountedObject::Create(probe);
  {
    ISupportErrorInfoPtr held(raw);
    EXPECT_EQ(probe.references, 2);
    EXPECT_EQ(held.GetInterfacePtr(), raw);
  }
  EXPECT_EQ(probe.references, 1);
  raw->Release();
  EXPECT_TRUE(probe.destroyed);
}

TEST_F(ComPtr, CopiesShareTheObject) {
  ISupportErrorInfoPtr first = MakeOwned();
  {
    ISupportErrorInfoPtr second(first);
    ISupportErrorInfoPtr third;
    third = second;
    EXPECT_EQ(probe.references, 3);
  }
  EXPECT_EQ(probe.references, 1);
  first = nullptr;
  EXPECT_TRUE(probe.destroyed);
}

TEST_F(ComPtr, SelfAssignmentKeepsTheObject) {
  ISupportErrorInfoPtr held = MakeOwned();
  ISupportErrorInfoPtr& alias = held;
  held = alias;
  EXPECT_EQ(probe.references, 1);
  EXPECT_FALSE(probe.destroyed);
}

TEST_F(ComPtr, AddressOfReleasesWhatIsHeldForTheOutParameter) {
  ISupportErrorInfoPtr held = MakeOwned();
  ISupportErrorInfo** slot = &held;
  EXPECT_TRUE(probe.destroyed);
  EXPECT_EQ(*slot, nullptr);
  CountedObject::Probe second;
  *slot = CountedObject::Create(second);  // as a creating call fills its out-parameter
  EXPECT_EQ(second.references, 1);
  held = nullptr;
  EXPECT_TRUE(second.destroyed);
}

TEST_F(ComPtr, AttachTakesOverAndDetachHandsBack) {
  ISupportErrorInfoPtr held;
  held.Attach(CountedObject::Create(probe));
  EXPECT_EQ(probe.references, 1);
  ISupportErrorInfo* raw = held.Detach();
  EXPECT_FALSE(held);
  EXPECT_EQ(probe.references, 1);
  raw->Release();
  EXPECT_TRUE(probe.destroyed);
}

TEST_F(ComPtr, ExplicitReleaseEmptiesAndSecondReleaseRaisesPointerError) {
  ISupportErrorInfoPtr held = MakeOwned();
  held.Release();
  EXPECT_TRUE(probe.destroyed);
  EXPECT_FALSE(held);
  try {
    held.Release();
    FAIL() << "no _com_error";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), E_POINTER);
  }
}

TEST_F(ComPtr, MemberAccessThroughEmptyPointerRaisesPointerError) {
  ISupportErrorInfoPtr empty;
  try {
// mingw-w64 raises through a handler pointer not marked noreturn, so GCC sees the null call.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnonnull"
    empty->InterfaceSupportsErrorInfo(IID_IUnknown);
#pragma GCC diagnostic pop
    FAIL() << "no _com_error";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), E_POINTER);
  }
}

TEST_F(ComPtr, ConversionQueriesTheOtherInterface) {
  ISupportErrorInfoPtr held = MakeOwned();
  {
    IUnknownPtr unknown(held);
    EXPECT_TRUE(unknown);
    EXPECT_EQ(probe.references, 2);
  }
  EXPECT_EQ(probe.references, 1);
}

TEST_F(ComPtr, ConversionToAnInterfaceTheObjectLacksIsEmpty) {
  ISupportErrorInfoPtr held = MakeOwned();
  IErrorInfoPtr missing(held);
  EXPECT_FALSE(missing);
  EXPECT_EQ(probe.references, 1);
}

}  // namespace
