// The ATL/MFC subset: CComBSTR's ownership and AtlThrow's exception mapping.
#include "../ComTestSupport.h"

namespace {

TEST(CComBSTR, MovesHandOverTheTextAndAddressOfFreesItForTheOutParameter) {
  ATL::CComBSTR original("abc");
  ATL::CComBSTR moved(std::move(original));
  EXPECT_EQ(original.m_str, nullptr);
  EXPECT_EQ(FromBstr(moved), u"abc");
  BSTR* slot = &moved;
  EXPECT_EQ(*slot, nullptr);
  *slot = SysAllocString(OLESTR("new"));
  EXPECT_EQ(FromBstr(moved), u"new");
}

// E_OUTOFMEMORY raises the one shared memory exception, which Delete leaves alive; another
// code raises an OLE exception carrying it, which the catcher frees.
TEST(AtlThrow, RaisesTheMatchingMfcException) {
  CException* memory[2] = {};
  for (CException*& slot : memory) {
    try {
      ATL::AtlThrow(E_OUTOFMEMORY);
    } catch (CException* e) {
      slot = e;
      EXPECT_NE(dynamic_cast<CMemoryException*>(e), nullptr);
      e->Delete();
    }
  }
  EXPECT_EQ(memory[0], memory[1]);
  try {
    ATL::AtlThrow(E_FAIL);
    ADD_FAILURE() << "no exception";
  } catch (CException* raw) {
    MfcExceptionPtr exception(raw);
    const auto* ole = dynamic_cast<COleException*>(raw);
    ASSERT_NE(ole, nullptr);
    EXPECT_EQ(ole->m_sc, E_FAIL);
  }
}

}  // namespace
