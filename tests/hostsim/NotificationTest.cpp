// Registration, unregistration and delivery of the "going to the background" notification.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "host/Ui.h"
#include "hostsim/HostSim.h"

namespace {

class Handler final : public CNotify<CNotifyKXGoingBackground> {
public:
  Handler() = default;
  ~Handler() override = default;
  void OnNotify(const CNotifyKXGoingBackground&) override {
    ++calls;
    if (toRemove != nullptr) {
      toRemove->reset();
    }
  }
  int calls = 0;
  std::unique_ptr<Handler>* toRemove = nullptr;
};

constexpr int kKind = CNotifyKXGoingBackground::kKind;

TEST(Notifications, HandlersAreRegisteredForTheirLifetime) {
  const std::size_t before = hostsim::RegisteredNotificationCount(kKind);
  {
    Handler first;
    Handler second;
    EXPECT_EQ(hostsim::RegisteredNotificationCount(kKind), before + 2);
    hostsim::DeliverGoingBackground();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 1);
  }
  EXPECT_EQ(hostsim::RegisteredNotificationCount(kKind), before);
  hostsim::DeliverGoingBackground();  // nobody left to call
}

TEST(Notifications, AHandlerRemovedDuringDeliveryIsNotCalled) {
  auto first = std::make_unique<Handler>();
  auto second = std::make_unique<Handler>();
  first->toRemove = &second;
  hostsim::DeliverGoingBackground();
  EXPECT_EQ(first->calls, 1);
  EXPECT_EQ(second, nullptr);
}

TEST(Notifications, RegistrationFromManyThreadsIsConsistent) {
  const std::size_t before = hostsim::RegisteredNotificationCount(kKind);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) {
        Handler handler;
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(hostsim::RegisteredNotificationCount(kKind), before);
}

}  // namespace
