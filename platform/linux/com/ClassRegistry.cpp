#include <mutex>
#include <utility>
#include <vector>

#include "ComInternal.h"
#include "platform/linux/OleAuto.h"

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::pair<CLSID, PlatformClassCreator>> classes;
};

// Made on first use: classes register from static initialisers in other source files.
Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

PlatformClassCreator Find(REFCLSID clsid) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  for (const auto& [id, creator] : registry.classes) {
    if (id == clsid) return creator;
  }
  return nullptr;
}

}  // namespace

bool PlatformRegisterClass(REFCLSID clsid, PlatformClassCreator creator) {
  if (creator == nullptr) return false;
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  for (auto& entry : registry.classes) {
    if (entry.first == clsid) {
      entry.second = creator;
      return true;
    }
  }
  registry.classes.emplace_back(clsid, creator);
  return true;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid,
                         LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!platform::com::IsInitialisedOnThisThread()) return CO_E_NOTINITIALIZED;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  PlatformClassCreator creator = Find(clsid);
  if (creator == nullptr || (context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0) {
    return REGDB_E_CLASSNOTREG;
  }
  const HRESULT hr = creator(riid, object);
  if (FAILED(hr)) *object = nullptr;
  return hr;
}
