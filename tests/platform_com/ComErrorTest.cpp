// _com_error and its raisers, with the thread's error object.
#include <gtest/gtest.h>

#include <string>

#include "CountedObject.h"
#include "WideText.h"

namespace {

IErrorInfoPtr MakeErrorInfo(const OLECHAR* description) {
  ICreateErrorInfoPtr create;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(description));
  create->SetSource(const_cast<LPOLESTR>(OLESTR("tests")));
  return IErrorInfoPtr(create);
}

class ComError : public testing::Test {
 protected:
  void TearDown() override { SetErrorInfo(0, nullptr); }
};

TEST_F(ComError, ThreadErrorObjectIsHandedOverOnce) {
  IErrorInfoPtr info = MakeErrorInfo(OLESTR("first"));
  ASSERT_TRUE(info);
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  IErrorInfoPtr taken;
  EXPECT_EQ(GetErrorInfo(0, &taken), S_OK);
  EXPECT_EQ(taken.GetInterfacePtr(), info.GetInterfacePtr());
  IErrorInfoPtr again;
  EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
  EXPECT_FALSE(again);
}

TEST_F(ComError, IssueErrorCarriesTheCode) {
  try {
    _com_issue_error(E_FAIL);
    FAIL() << "no _com_error";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), E_FAIL);
    EXPECT_EQ(error.ErrorInfo(), nullptr);
    EXPECT_NE(error.ErrorMessage(), nullptr);
  }
}

TEST_F(ComError, IssueErrorExTakesErrorInfoOnlyWhenTheObjectSupportsIt) {
  struct Case {
    bool supports;
    bool expectInfo;
  };
  for (const Case c : {Case{true, true}, Case{false, false}}) {
    SCOPED_TRACE(c.supports ? "supports error info" : "no error info");
    CountedObject::Probe probe;
    ISupportErrorInfoPtr object(CountedObject::Create(probe, c.supports), false);
    SetErrorInfo(0, MakeErrorInfo(OLESTR("broken")));
    try {
      _com_issue_errorex(E_INVALIDARG, object, IID_IUnknown);
      FAIL() << "no _com_error";
    } catch (const _com_error& error) {
      EXPECT_EQ(error.Error(), E_INVALIDARG);
      IErrorInfoPtr info(error.ErrorInfo(), false);
      EXPECT_EQ(static_cast<bool>(info), c.expectInfo);
      if (c.expectInfo) {
        EXPECT_EQ(std::string(static_cast<const char*>(error.Description())), "broken");
      }
    }
    EXPECT_EQ(probe.references, 1);
    SetErrorInfo(0, nullptr);
  }
}

TEST_F(ComError, CopiesShareTheErrorObject) {
  IErrorInfoPtr info = MakeErrorInfo(OLESTR("shared"));
  _com_error original(E_FAIL, info, true);
  _com_error copy(original);
  _com_error assigned(S_OK);
  assigned = copy;
  EXPECT_EQ(assigned.Error(), E_FAIL);
  EXPECT_EQ(std::string(static_cast<const char*>(assigned.Description())), "shared");
}

TEST(BstrWrapper, NarrowRoundTripInTheAnsiCodePage) {
  _bstr_t text("XPath");
  EXPECT_EQ(text.length(), 5u);
  EXPECT_EQ(FromBstr(text), Units({'X', 'P', 'a', 't', 'h'}));
  EXPECT_EQ(std::string(static_cast<const char*>(text)), "XPath");
  _bstr_t copy = text;
  EXPECT_EQ(copy.GetBSTR(), text.GetBSTR());  // copies share the BSTR
  _bstr_t null(static_cast<const char*>(nullptr));
  EXPECT_EQ(null.GetBSTR(), nullptr);
  EXPECT_EQ(static_cast<const char*>(null), nullptr);
}

TEST(VariantWrapper, NarrowTextBecomesABstr) {
  _variant_t value("XPath");
  EXPECT_EQ(value.vt, VT_BSTR);
  EXPECT_EQ(FromBstr(value.bstrVal), Units({'X', 'P', 'a', 't', 'h'}));
  _variant_t copy(value);
  EXPECT_NE(copy.bstrVal, value.bstrVal);
}

}  // namespace
