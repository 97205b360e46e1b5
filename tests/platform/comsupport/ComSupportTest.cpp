// The COM support classes: the owning interface pointer's reference counting against an
// object that counts, _com_error and its raisers with the thread's error object, and the
// narrow-text wrappers.
#include <string>

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

IErrorInfoPtr MakeErrorInfo(const OLECHAR* description) {
  ICreateErrorInfoPtr create;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(description));
  create->SetSource(const_cast<LPOLESTR>(OLESTR("tests")));
  return IErrorInfoPtr(create);
}

TEST(ComError, IssueErrorCarriesTheCodeAndCopiesShareTheErrorObject) {
  const _com_error issued = Raised([] { _com_issue_error(E_FAIL); });
  EXPECT_EQ(issued.Error(), E_FAIL);
  EXPECT_EQ(issued.ErrorInfo(), nullptr);
  EXPECT_NE(issued.ErrorMessage(), nullptr);
  _com_error original(E_FAIL, MakeErrorInfo(OLESTR("shared")), true);
  _com_error copy(original);
  _com_error assigned(S_OK);
  assigned = copy;
  EXPECT_EQ(assigned.Error(), E_FAIL);
  EXPECT_STREQ(static_cast<const char*>(assigned.Description()), "shared");
}

TEST(ComError, IssueErrorExTakesErrorInfoOnlyWhenTheObjectSupportsIt) {
  for (const bool supports : {true, false}) {
    SCOPED_TRACE(supports ? "supports error info" : "no error info");
    CountedObject::Probe probe;
    ISupportErrorInfoPtr object(CountedObject::Create(probe, supports), false);
    SetErrorInfo(0, MakeErrorInfo(OLESTR("broken")));
    const _com_error error =
        Raised([&] { _com_issue_errorex(E_INVALIDARG, object, IID_IUnknown); });
    EXPECT_EQ(error.Error(), E_INVALIDARG);
    IErrorInfoPtr info(error.ErrorInfo(), false);
    EXPECT_EQ(static_cast<bool>(info), supports);
    EXPECT_STREQ(static_cast<const char*>(error.Description()), supports ? "broken" : nullptr);
    EXPECT_EQ(probe.references, 1);
    IErrorInfoPtr left;  // the error object is handed over once
    EXPECT_EQ(GetErrorInfo(0, &left), supports ? S_FALSE : S_OK);
    EXPECT_EQ(static_cast<bool>(left), !supports);
    SetErrorInfo(0, nullptr);
  }
}

TEST(NarrowTextWrappers, BstrAndVariantFromNarrowText) {
  _bstr_t text("XPath");
  EXPECT_EQ(text.length(), 5u);
  EXPECT_EQ(FromBstr(text), u"XPath");
  EXPECT_STREQ(static_cast<const char*>(text), "XPath");
  _bstr_t copy = text;
  EXPECT_EQ(copy.GetBSTR(), text.GetBSTR());  // copies share the BSTR
  _bstr_t null(static_cast<const char*>(nullptr));
  EXPECT_EQ(null.GetBSTR(), nullptr);
  EXPECT_EQ(static_cast<const char*>(null), nullptr);
  _variant_t value("XPath");
  EXPECT_EQ(value.vt, VT_BSTR);
  EXPECT_EQ(FromBstr(value.bstrVal), u"XPath");
  _variant_t valueCopy(value);
  EXPECT_NE(valueCopy.bstrVal, value.bstrVal);
}

}  // namespace
