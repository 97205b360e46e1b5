// BSTR layout and allocation, VARIANT life cycle and conversion to text, the thread's error
// object: the same on Linux and on Windows' oleaut32.
#include <climits>
#include <cstdint>
#include <cstring>

#include "../../../platform/common/UniqueBstr.h"
#include "../ComTestSupport.h"

namespace {

using Bstr = platform::UniqueBstr;

std::uint32_t PrefixOf(BSTR text) {
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text) - sizeof prefix, sizeof prefix);
  return prefix;
}

TEST(Bstr, ByteLengthPrecedesTheUnitsAndANulFollows) {
  Bstr text(SysAllocStringLen(Ole(std::u16string(u"h\xE9l\0o", 5)).c_str(), 5));
  ASSERT_TRUE(text);
  EXPECT_EQ(SysStringLen(text.get()), 5u);  // the embedded NUL counts
  EXPECT_EQ(SysStringByteLen(text.get()), 10u);
  EXPECT_EQ(PrefixOf(text.get()), 10u);
  EXPECT_EQ(text.get()[5], 0);
  Bstr odd(SysAllocStringByteLen("abc", 3));
  ASSERT_TRUE(odd);
  EXPECT_EQ(SysStringByteLen(odd.get()), 3u);
  EXPECT_EQ(SysStringLen(odd.get()), 1u);
  EXPECT_EQ(std::memcmp(odd.get(), "abc", 4), 0);  // with the NUL byte
}

TEST(Bstr, NullEmptyAndOversizedRequests) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  Bstr empty(SysAllocString(OLESTR("")));
  ASSERT_TRUE(empty);
  EXPECT_EQ(SysStringLen(empty.get()), 0u);
  EXPECT_EQ(empty.get()[0], 0);
  // A byte count must fit in 32 bits.
  EXPECT_EQ(SysAllocStringLen(nullptr, UINT_MAX), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, UINT_MAX / 2 + 1), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, UINT_MAX), nullptr);
}

TEST(Bstr, ReallocationMayReadItsOwnText) {
  BSTR text = SysAllocString(OLESTR("abcdef"));
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(SysReAllocStringLen(&text, text + 2, 3));
  Bstr owned(text);
  EXPECT_EQ(FromBstr(owned.get()), u"cde");
}

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

TEST(Variant, ClearReleasesWhatItOwnsAndOnlyThat) {
  CountedObject::Probe probe;
  ScopedVariant v;
  v.vt = VT_UNKNOWN;
  v.punkVal = CountedObject::Create(probe);
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_TRUE(probe.destroyed);

  Bstr text(SysAllocString(OLESTR("kept")));
  BSTR raw = text.get();
  v.vt = VT_BSTR | VT_BYREF;
  v.pbstrVal = &raw;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(SysStringLen(text.get()), 4u);

  v.vt = 0x0FFF;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  v.vt = VT_EMPTY;
}

TEST(Variant, CopyDuplicatesTextAndAddsObjectReference) {
  ScopedVariant source;
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(OLESTR("XPath"));
  ScopedVariant copy;
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_EQ(copy.vt, VT_BSTR);
  EXPECT_NE(copy.bstrVal, source.bstrVal);
  EXPECT_EQ(FromBstr(copy.bstrVal), u"XPath");

  CountedObject::Probe probe;
  ScopedVariant object;
  object.vt = VT_UNKNOWN;
  object.punkVal = CountedObject::Create(probe);
  ASSERT_EQ(VariantCopy(&copy, &object), S_OK);  // frees the text copy first
  EXPECT_EQ(probe.references, 2);
  VariantClear(&copy);
  EXPECT_EQ(probe.references, 1);
}

TEST(Variant, ChangeTypeToTextInPlace) {
  const struct {
    VARTYPE type;
    void (*fill)(VARIANT&);
    USHORT flags;
    HRESULT result;
    std::u16string text;
  } cases[] = {
      {VT_EMPTY, [](VARIANT&) {}, 0, S_OK, u""},
      {VT_I4, [](VARIANT& v) { v.lVal = -5; }, 0, S_OK, u"-5"},
      {VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }, 0, S_OK, u"-1"},
      {VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_FALSE; }, VARIANT_ALPHABOOL, S_OK, u"False"},
      {VT_R8, [](VARIANT& v) { v.dblVal = 2.5; }, 0, S_OK, u"2.5"},
      {VT_NULL, [](VARIANT&) {}, 0, DISP_E_TYPEMISMATCH, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    ScopedVariant v;
    v.vt = c.type;
    c.fill(v);
    ASSERT_EQ(VariantChangeType(&v, &v, c.flags, VT_BSTR), c.result);
    EXPECT_EQ(v.vt, c.result == S_OK ? VARTYPE{VT_BSTR} : c.type);  // unchanged on failure
    if (c.result == S_OK) {
      EXPECT_EQ(FromBstr(v.bstrVal), c.text);
    }
  }
}

TEST(ErrorInfo, ThreadErrorObjectIsHandedOverOnce) {
  ICreateErrorInfoPtr create;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  IErrorInfoPtr info(create);
  ASSERT_TRUE(info);
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  IErrorInfoPtr taken;
  EXPECT_EQ(GetErrorInfo(0, &taken), S_OK);
  EXPECT_EQ(taken.GetInterfacePtr(), info.GetInterfacePtr());
  IErrorInfoPtr again;
  EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
  EXPECT_FALSE(again);
}

}  // namespace
