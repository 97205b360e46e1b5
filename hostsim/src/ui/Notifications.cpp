// The host's notification registry and the delivery of "going to the background".
#include <algorithm>
#include <mutex>
#include <vector>

#include "NoDestructor.h"
#include "host/Ui.h"
#include "hostsim/HostSim.h"

namespace hostsim::detail {
namespace {

struct Registry {
  std::mutex mutex;
  std::vector<CNotificationBase*> handlers;

  bool Contains(CNotificationBase* handler) {
    return std::find(handlers.begin(), handlers.end(), handler) != handlers.end();
  }
};

Registry& TheRegistry() {
  static NoDestructor<Registry> registry;
  return registry.get();
}

}  // namespace
}  // namespace hostsim::detail

CNotificationBase::CNotificationBase(int kind) : m_kind(kind) {
  hostsim::detail::Registry& registry = hostsim::detail::TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.handlers.push_back(this);
}

CNotificationBase::~CNotificationBase() {
  hostsim::detail::Registry& registry = hostsim::detail::TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::erase(registry.handlers, this);
}

namespace hostsim {

std::size_t RegisteredNotificationCount(int kind) {
  detail::Registry& registry = detail::TheRegistry();
  std::lock_guard lock(registry.mutex);
  return static_cast<std::size_t>(
      std::count_if(registry.handlers.begin(), registry.handlers.end(),
                    [kind](const CNotificationBase* handler) { return handler->Kind() == kind; }));
}

// Handlers registered when delivery starts are told in order; one that unregisters
// meanwhile (even from inside another handler's OnNotify) is skipped.
void DeliverGoingBackground() {
  detail::Registry& registry = detail::TheRegistry();
  std::vector<CNotificationBase*> handlers;
  {
    std::lock_guard lock(registry.mutex);
    handlers = registry.handlers;
  }
  const CNotifyKXGoingBackground notification{};
  for (CNotificationBase* handler : handlers) {
    {
      std::lock_guard lock(registry.mutex);
      if (!registry.Contains(handler) || handler->Kind() != CNotifyKXGoingBackground::kKind) {
        continue;
      }
    }
    handler->NotifyPasser(nullptr, &notification);
  }
}

}  // namespace hostsim
