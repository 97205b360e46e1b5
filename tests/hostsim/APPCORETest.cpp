// The stand-in APPCORE: messages made on any thread run on the host thread, one at a time, in
// order; nothing that leaves Execute brings the host down; launch approval.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "host/AppCore.h"
#include "hostsim/HostSim.h"

namespace {

using namespace std::chrono_literals;

struct Ran {
  std::thread::id thread;
  int producer;
};

std::mutex g_mutex;
std::vector<Ran> g_ran;
std::atomic<int> g_destroyed{0};
std::atomic<int> g_running{0};
std::atomic<int> g_overlaps{0};

// Messages keep no members of their own: the host may run one made on another thread as
// soon as its type is set. The producer is in the type.
template <int Producer>
class Recorded final : public SequencedAppMsg {
 public:
  ~Recorded() override { ++g_destroyed; }
  void Execute() override {
    if (g_running.fetch_add(1) != 0) ++g_overlaps;
    {
      std::lock_guard lock(g_mutex);
      g_ran.push_back(Ran{std::this_thread::get_id(), Producer});
    }
    g_running.fetch_sub(1);
  }
};

enum class Throws { HostException, StdException, Integer };

template <Throws What>
class Throwing final : public SequencedAppMsg {
 public:
  ~Throwing() override { ++g_destroyed; }
  void Execute() override {
    switch (What) {
      case Throws::HostException: {
        Util::LocalOps local(Util::SourceContext("file", 1, "F", "void F(void)"));
        Util::LocalOps::ThrowStatusCodeFunctor(local, 7)(42, "broken %s", "thing");
      }
      case Throws::StdException:
        throw std::runtime_error("plain failure");
      case Throws::Integer:
        throw 5;
    }
  }
};

class MessageQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    hostsim::Reset();
    std::lock_guard lock(g_mutex);
    g_ran.clear();
    g_destroyed = 0;
    g_overlaps = 0;
  }
  void TearDown() override { hostsim::Reset(); }
};

template <int Producer>
void Produce(int count) {
  for (int i = 0; i < count; ++i) new Recorded<Producer>;
}

TEST_F(MessageQueue, MessagesFromSeveralThreadsRunOnTheHostThreadOneAtATime) {
  constexpr int kPerProducer = 300;
  std::vector<std::thread> producers;
  producers.emplace_back(Produce<0>, kPerProducer);
  producers.emplace_back(Produce<1>, kPerProducer);
  producers.emplace_back(Produce<2>, kPerProducer);
  producers.emplace_back(Produce<3>, kPerProducer);
  const bool done = hostsim::RunMessagesUntil(
      [] { return hostsim::MessagesExecuted() == 4 * kPerProducer; }, 20s);
  for (std::thread& producer : producers) producer.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(g_overlaps, 0);
  EXPECT_EQ(g_destroyed, 4 * kPerProducer);
  std::lock_guard lock(g_mutex);
  std::map<int, int> perProducer;
  for (const Ran& ran : g_ran) {
    EXPECT_EQ(ran.thread, std::this_thread::get_id());
    ++perProducer[ran.producer];
  }
  EXPECT_EQ(perProducer,
            (std::map<int, int>{
                {0, kPerProducer}, {1, kPerProducer}, {2, kPerProducer}, {3, kPerProducer}}));
}

TEST_F(MessageQueue, PendingMessagesRunInOrderOrAreDeletedUnrun) {
  new Recorded<0>;
  new Recorded<1>;
  delete new Recorded<2>;  // deleted before it runs: leaves the queue
  const std::vector<std::string> types = hostsim::PendingMessageTypes();
  ASSERT_EQ(types.size(), 2u);
  EXPECT_NE(types[0].find("Recorded<0>"), std::string::npos) << types[0];
  EXPECT_EQ(hostsim::RunPendingMessages(), 2u);
  EXPECT_EQ(g_destroyed, 3);
  EXPECT_EQ(g_ran.at(0).producer, 0);
  EXPECT_EQ(g_ran.at(1).producer, 1);
  new Recorded<3>;
  hostsim::DiscardPendingMessages();
  EXPECT_EQ(g_destroyed, 4);
  EXPECT_EQ(hostsim::MessagesExecuted(), 2u);
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
}

TEST_F(MessageQueue, RunUntilWaitsForAnotherThreadAndGivesUpAfterItsTimeout) {
  std::thread later([] {
    std::this_thread::sleep_for(50ms);
    new Recorded<9>;
  });
  EXPECT_TRUE(hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() == 1; }, 10s));
  later.join();
  EXPECT_FALSE(hostsim::RunMessagesUntil([] { return false; }, 30ms));
  EXPECT_FALSE(hostsim::WaitForMessage(10ms));
  new Recorded<0>;
  EXPECT_TRUE(hostsim::WaitForMessage(10ms));
  // A condition that looks at the queue itself must not find it locked when the wait ends.
  EXPECT_FALSE(hostsim::RunMessagesUntil(
      [] { return hostsim::PendingMessageCount() > 1 && hostsim::MessagesExecuted() > 1; }, 30ms));
}

TEST_F(MessageQueue, WhatLeavesExecuteIsCaughtLoggedAndCounted) {
  new Throwing<Throws::HostException>;
  new Throwing<Throws::StdException>;
  new Throwing<Throws::Integer>;
  new Recorded<0>;
  EXPECT_EQ(hostsim::RunPendingMessages(), 4u);
  EXPECT_EQ(hostsim::MessagesExecuted(), 4u);
  EXPECT_EQ(hostsim::MessagesFailed(), 3u);
  EXPECT_EQ(g_destroyed, 4);
  const std::vector<hostsim::LogRecord> records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), 3u);
  const char* expected[] = {"(42) broken thing", "plain failure", "unknown type"};
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(std::make_pair(records[i].level, records[i].eventType), std::make_pair(3, 5));
    EXPECT_NE(records[i].text.find(expected[i]), std::string::npos) << records[i].text;
  }
}

TEST_F(MessageQueue, LaunchApprovalIsRecordedAndConfigurable) {
  const ApproveLaunchFeature approval(ProgramFeatureWebTsm, UserActionNone, false);
  EXPECT_TRUE(approval.ApproveAll().Succeeded());
  hostsim::SetLaunchApproval(false);
  const Util::Status refused = approval.ApproveAll();
  EXPECT_TRUE(refused.Failed());
  EXPECT_NE(std::string(refused.GetStatusMessage()).find("1077"), std::string::npos);
  const std::vector<hostsim::ApprovalRequest> requests = hostsim::ApprovalRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].feature, 1077);
  EXPECT_EQ(requests[0].action, 0);
  EXPECT_FALSE(requests[0].interactive);
}

}  // namespace
