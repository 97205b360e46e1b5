// The COM support classes: the owning interface pointer's reference counting against an
// object that counts, and _com_error with its raisers.
#include "../ComTestSupport.h"

namespace {

TEST(ComPtr, ReferencesFollowConstructionCopiesAndConversions) {
  CountedObject::Probe probe;
  ISupportErrorInfo* raw = CountedObject::Create(probe);
  {
    ISupportErrorInfoPtr held(raw);  // adds a reference
    EXPECT_EQ(held.GetInterfacePtr(), raw);
    ISupportErrorInfoPtr copy(held);
    ISupportErrorInfoPtr assigned;
    assigned = copy;
    ISupportErrorInfoPtr& alias = assigned;
    assigned = alias;
    EXPECT_EQ(probe.references, 4);
    IUnknownPtr unknown(held);  // queries the other interface
    EXPECT_TRUE(unknown);
    EXPECT_EQ(probe.references, 5);
    IErrorInfoPtr missing(held);  // the object lacks it
    EXPECT_FALSE(missing);
    EXPECT_EQ(probe.references, 5);
  }
  EXPECT_EQ(probe.references, 1);
  raw->Release();
  EXPECT_TRUE(probe.destroyed);
}

// The _com_error a call raises; one carrying S_OK when it raises none.
template <class Call>
_com_error Raised(Call call) {
  try {
    call();
  } catch (const _com_error& error) {
    return error;
  }
  return _com_error(S_OK);
}

TEST(ComPtr, OwnershipIsHandedOverAndUseOfAnEmptyPointerRaisesPointerError) {
  CountedObject::Probe first;
  ISupportErrorInfoPtr held(CountedObject::Create(first), false);
  ISupportErrorInfo** slot = &held;  // releases what is held, for a creating call to fill
  EXPECT_TRUE(first.destroyed);
  EXPECT_EQ(*slot, nullptr);
  CountedObject::Probe second;
  *slot = CountedObject::Create(second);
  ISupportErrorInfo* raw = held.Detach();
  EXPECT_FALSE(held);
  held.Attach(raw);
  EXPECT_EQ(second.references, 1);
  held.Release();
  EXPECT_TRUE(second.destroyed);
  EXPECT_EQ(Raised([&] { held.Release(); }).Error(), E_POINTER);
// mingw-w64 raises through a handler pointer not marked noreturn, so GCC sees the null call.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnonnull"
  EXPECT_EQ(Raised([&] { held->InterfaceSupportsErrorInfo(IID_IUnknown); }).Error(), E_POINTER);
#pragma GCC diagnostic pop
}

// Whether or not the object claims error information, the code comes through, a copy keeps
// it and the object's references are given back.
TEST(ComError, IssueErrorExRaisesTheCodeAndReleasesTheObject) {
  for (const bool supports : {true, false}) {
    SCOPED_TRACE(supports ? "supports error info" : "no error info");
    CountedObject::Probe probe;
    ISupportErrorInfoPtr object(CountedObject::Create(probe, supports), false);
    const _com_error error =
        Raised([&] { _com_issue_errorex(E_INVALIDARG, object, IID_IUnknown); });
    _com_error assigned(S_OK);
    assigned = error;
    EXPECT_EQ(assigned.Error(), E_INVALIDARG);
    EXPECT_EQ(probe.references, 1);
  }
}

}  // namespace
