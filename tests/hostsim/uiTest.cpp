// The stand-in ui: registration, unregistration and delivery of "going to the background".
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "host/Ui.h"
#include "hostsim/HostSim.h"

namespace {

class Handler final : public CNotify<CNotifyKXGoingBackground> {
 public:
  void OnNotify(const CNotifyKXGoingBackground&) override {
    ++calls;
    if (toRemove != nullptr) toRemove->reset();
  }
  int calls = 0;
  std::unique_ptr<Handler>* toRemove = nullptr;
};

constexpr int kKind = CNotifyKXGoingBackground::kKind;

// Handlers come and go on several threads, then one removes another during delivery.
TEST(Notifications, HandlersAreCalledForTheirLifetimeButNotOnceRemovedDuringDelivery) {
  const std::size_t before = hostsim::RegisteredNotificationCount(kKind);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) Handler handler;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(hostsim::RegisteredNotificationCount(kKind), before);
  {
    auto first = std::make_unique<Handler>();
    auto second = std::make_unique<Handler>();
    hostsim::DeliverGoingBackground();
    EXPECT_EQ(second->calls, 1);
    first->toRemove = &second;
    hostsim::DeliverGoingBackground();
    EXPECT_EQ(first->calls, 2);
    EXPECT_EQ(second, nullptr);
  }
  EXPECT_EQ(hostsim::RegisteredNotificationCount(kKind), before);
}

}  // namespace
