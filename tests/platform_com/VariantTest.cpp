// VARIANT life cycle: what VariantClear frees and what VariantCopy duplicates, and the
// conversions to text the module may ask for.
#include <gtest/gtest.h>

#include "CountedObject.h"
#include "WideText.h"

namespace {

// A VARIANT that is cleared at the end of the test, whatever it holds then.
struct ScopedVariant : VARIANT {
  ScopedVariant() : VARIANT() { VariantInit(this); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant() { VariantClear(this); }
};

TEST(Variant, LayoutMatchesWindowsX64) {
  EXPECT_EQ(sizeof(VARIANT), 24u);
  VARIANT v;
  EXPECT_EQ(reinterpret_cast<char*>(&v.bstrVal) - reinterpret_cast<char*>(&v), 8);
}

TEST(Variant, ClearReleasesAnObjectAndEmpties) {
  CountedObject::Probe probe;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_UNKNOWN;
  v.punkVal = CountedObject::Create(probe);
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_TRUE(probe.destroyed);
}

TEST(Variant, ClearLeavesByReferenceValuesAlone) {
  BSTR text = SysAllocString(OLESTR("kept"));
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR | VT_BYREF;
  v.pbstrVal = &text;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(SysStringLen(text), 4u);
  SysFreeString(text);
}

TEST(Variant, ClearRejectsUnknownType) {
  VARIANT v;
  VariantInit(&v);
  v.vt = 0x0FFF;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

TEST(Variant, CopyDuplicatesTextAndAddsObjectReference) {
  ScopedVariant source;
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(OLESTR("XPath"));
  ScopedVariant copy;
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_EQ(copy.vt, VT_BSTR);
  EXPECT_NE(copy.bstrVal, source.bstrVal);
  EXPECT_EQ(FromBstr(copy.bstrVal), FromBstr(source.bstrVal));

  CountedObject::Probe probe;
  ScopedVariant object;
  object.vt = VT_UNKNOWN;
  object.punkVal = CountedObject::Create(probe);
  ASSERT_EQ(VariantCopy(&copy, &object), S_OK);  // frees the text copy first
  EXPECT_EQ(probe.references, 2);
  VariantClear(&copy);
  EXPECT_EQ(probe.references, 1);
}

struct ToTextCase {
  const char* name;
  VARTYPE type;
  void (*fill)(VARIANT&);
  USHORT flags;
  WideString expected;
};
void PrintTo(const ToTextCase& c, std::ostream* os) { *os << c.name; }

class VariantToText : public testing::TestWithParam<ToTextCase> {};

TEST_P(VariantToText, ConvertsInPlace) {
  const ToTextCase& c = GetParam();
  ScopedVariant v;
  v.vt = c.type;
  c.fill(v);
  ASSERT_EQ(VariantChangeType(&v, &v, c.flags, VT_BSTR), S_OK);
  ASSERT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(FromBstr(v.bstrVal), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VariantToText,
    testing::Values(
        ToTextCase{"Empty", VT_EMPTY, [](VARIANT&) {}, 0, WideString()},
        ToTextCase{"NegativeI4", VT_I4, [](VARIANT& v) { v.lVal = -5; }, 0, Units({'-', '5'})},
        ToTextCase{"BoolTrueNumeric", VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }, 0,
                   Units({'-', '1'})},
        ToTextCase{"BoolFalseAlpha", VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_FALSE; },
                   VARIANT_ALPHABOOL, Units({'F', 'a', 'l', 's', 'e'})},
        ToTextCase{"Double", VT_R8, [](VARIANT& v) { v.dblVal = 2.5; }, 0, Units({'2', '.', '5'})}),
    CaseName());

TEST(Variant, NullHasNoText) {
  ScopedVariant v;
  v.vt = VT_NULL;
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(v.vt, VT_NULL);
}

}  // namespace
