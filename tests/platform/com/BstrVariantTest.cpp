// BSTR layout and allocation and the VARIANT life cycle: the same on Linux and on Windows'
// oleaut32.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../../../platform/common/UniqueBstr.h"
#include "../ComTestSupport.h"

namespace {

using Bstr = platform::UniqueBstr;

// The layout callers on Windows x64 rely on.
static_assert(sizeof(VARIANT) == 24 && offsetof(VARIANT, bstrVal) == 8);

TEST(Bstr, ByteLengthPrecedesTheUnitsAndANulFollows) {
  Bstr text(SysAllocStringLen(Ole(std::u16string(u"h\xE9l\0o", 5)).c_str(), 5));
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text.get()) - sizeof prefix, sizeof prefix);
  EXPECT_EQ(prefix, 10u);
  EXPECT_EQ(SysStringLen(text.get()), 5u);  // the embedded NUL counts
  EXPECT_EQ(text.get()[5], 0);
  Bstr odd(SysAllocStringByteLen("abc", 3));
  EXPECT_EQ(SysStringByteLen(odd.get()), 3u);
  EXPECT_EQ(SysStringLen(odd.get()), 1u);
  EXPECT_EQ(std::memcmp(odd.get(), "abc", 4), 0);  // with the NUL byte
}

// Cleared at the end of the test, whatever it holds then.
using ScopedVariant = ATL::CComVariant;

TEST(Variant, ClearAndCopyReleaseAndShareOnlyWhatIsOwned) {
  CountedObject::Probe probe;
  ScopedVariant object;
  object.vt = VT_UNKNOWN;
  object.punkVal = CountedObject::Create(probe);
  ScopedVariant copy;
  copy.vt = VT_BSTR;
  copy.bstrVal = SysAllocString(OLESTR("XPath"));
  ASSERT_EQ(VariantCopy(&copy, &object), S_OK);  // frees the text first
  EXPECT_EQ(probe.references, 2);
  EXPECT_EQ(VariantClear(&object), S_OK);
  EXPECT_EQ(object.vt, VT_EMPTY);
  EXPECT_EQ(VariantClear(&copy), S_OK);
  EXPECT_TRUE(probe.destroyed);

  Bstr text(SysAllocString(OLESTR("kept")));
  BSTR raw = text.get();
  object.vt = VT_BSTR | VT_BYREF;
  object.pbstrVal = &raw;
  EXPECT_EQ(VariantClear(&object), S_OK);  // a reference owns nothing
  EXPECT_EQ(SysStringLen(text.get()), 4u);
  object.vt = VT_BSTR;
  object.bstrVal = SysAllocString(OLESTR("XPath"));
  ASSERT_EQ(VariantCopy(&copy, &object), S_OK);
  EXPECT_NE(copy.bstrVal, object.bstrVal);
  EXPECT_EQ(FromBstr(copy.bstrVal), u"XPath");
  EXPECT_EQ(VariantClear(&copy), S_OK);

  copy.vt = 0x0FFF;
  EXPECT_EQ(VariantClear(&copy), DISP_E_BADVARTYPE);
  copy.vt = VT_EMPTY;
}

}  // namespace
