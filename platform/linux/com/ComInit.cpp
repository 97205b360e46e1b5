#include "ComInternal.h"
#include "platform/linux/OleAuto.h"
#include "platform/linux/PlatformTestSupport.h"

namespace {

constexpr DWORD kKnownFlags = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE |
                              COINIT_SPEED_OVER_MEMORY;

struct ThreadCom {
  int count = 0;
  bool apartment = false;  // single-threaded apartment, else multithreaded
};
thread_local ThreadCom t_com;

}  // namespace

HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit) {
  if (reserved != nullptr || (coInit & ~kKnownFlags) != 0) return E_INVALIDARG;
  const bool apartment = (coInit & COINIT_APARTMENTTHREADED) != 0;
  if (t_com.count == 0) {
    t_com = {1, apartment};
    return S_OK;
  }
  if (t_com.apartment != apartment) return RPC_E_CHANGED_MODE;
  ++t_com.count;
  return S_FALSE;
}

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (t_com.count > 0) --t_com.count;
}

int PlatformComInitCount() { return t_com.count; }

bool platform::com::IsInitialisedOnThisThread() { return t_com.count > 0; }
