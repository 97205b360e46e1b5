// The stand-in APPCORE: messages made on any thread run on the host thread, one at a time, in
// order, and nothing that leaves Execute brings the host down.
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

std::mutex g_mutex;
std::vector<std::pair<std::thread::id, int>> g_ran;  // the running thread and the producer
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
      g_ran.emplace_back(std::this_thread::get_id(), Producer);
    }
    g_running.fetch_sub(1);
  }
};

// The host's own exceptions leaving Execute are met by every module test that makes the host
// throw; these are the others.
template <bool Standard>
class Throwing final : public SequencedAppMsg {
 public:
  ~Throwing() override { ++g_destroyed; }
  void Execute() override {
    if constexpr (Standard) throw std::runtime_error("plain failure");
    throw 5;
  }
};

class MessageQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    hostsim::Reset();
    g_ran.clear();
    g_destroyed = 0;
    g_overlaps = 0;
  }
  void TearDown() override { hostsim::Reset(); }
};

// Starts late, so that the host thread waits for it with nothing to run.
template <int Producer>
void Produce(int count) {
  std::this_thread::sleep_for(20ms);
  for (int i = 0; i < count; ++i) new Recorded<Producer>;
}

TEST_F(MessageQueue, MessagesFromSeveralThreadsRunOnTheHostThreadOneAtATimeUntilTheWaitEnds) {
  constexpr int kPerProducer = 300;
  std::vector<std::thread> producers;
  for (void (*produce)(int) : {Produce<0>, Produce<1>, Produce<2>, Produce<3>}) {
    producers.emplace_back(produce, kPerProducer);
  }
  const bool done = hostsim::RunMessagesUntil(
      [] { return hostsim::MessagesExecuted() == 4 * kPerProducer; }, 20s);
  for (std::thread& producer : producers) producer.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(g_overlaps, 0);
  EXPECT_EQ(g_destroyed, 4 * kPerProducer);
  std::map<int, int> perProducer;
  for (const auto& [thread, producer] : g_ran) {
    EXPECT_EQ(thread, std::this_thread::get_id());
    ++perProducer[producer];
  }
  EXPECT_EQ(perProducer,
            (std::map<int, int>{
                {0, kPerProducer}, {1, kPerProducer}, {2, kPerProducer}, {3, kPerProducer}}));

  // With nothing to run the wait gives up after its timeout; a condition that looks at the
  // queue itself must not find it locked when the wait ends.
  EXPECT_FALSE(hostsim::RunMessagesUntil([] { return false; }, 30ms));
  new Recorded<0>;
  EXPECT_FALSE(hostsim::RunMessagesUntil([] { return hostsim::PendingMessageCount() > 1; }, 30ms));
}

// Pending messages run in order; one deleted before it runs leaves the queue; what leaves
// Execute is caught, logged and counted.
TEST_F(MessageQueue, PendingMessagesRunInOrderAndWhatLeavesExecuteIsCaught) {
  new Recorded<0>;
  delete new Recorded<2>;
  new Throwing<true>;
  new Throwing<false>;
  new Recorded<1>;
  EXPECT_EQ(hostsim::RunPendingMessages(), 4u);
  EXPECT_EQ(hostsim::MessagesFailed(), 2u);
  EXPECT_EQ(g_destroyed, 5);
  ASSERT_EQ(g_ran.size(), 2u);
  EXPECT_EQ(g_ran[0].second, 0);
  EXPECT_EQ(g_ran[1].second, 1);
  const std::vector<hostsim::LogRecord> records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), 2u);
  const char* expected[] = {"plain failure", "unknown type"};
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(std::make_pair(records[i].level, records[i].eventType), std::make_pair(3, 5));
    EXPECT_NE(records[i].text.find(expected[i]), std::string::npos) << records[i].text;
  }
}

}  // namespace
