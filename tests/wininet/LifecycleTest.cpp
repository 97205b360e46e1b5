// Resources across many exchanges, and a body far larger than what the layer buffers.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "BodyPattern.h"
#include "Exchange.h"
#include "ServerEndpoint.h"

#ifndef _WIN32
#  include <dirent.h>
#endif

namespace {

using namespace std::chrono_literals;


TEST(Lifecycle, HugeBodyReadSlowlyArrivesWhole) {
  REQUIRE_SERVER(port);
  constexpr std::size_t kSize = 4 * 1024 * 1024;
  Exchange exchange(port, ("/bytes/" + std::to_string(kSize)).c_str());
  exchange.Send();
  INTERNET_ASYNC_RESULT result{};
  ASSERT_TRUE(exchange.WaitForResponse(result));
  // Let the transfer run into the reader's limit before reading at all.
  std::this_thread::sleep_for(200ms);
  const ReadOutcome read = exchange.ReadAll(65536);
  ASSERT_TRUE(read.ok) << "read error " << read.error;
  ASSERT_EQ(read.body.size(), kSize);
  EXPECT_TRUE(read.body == BodyPattern(kSize));
}

#ifndef _WIN32
std::size_t CountEntries(const char* folder) {
  std::size_t count = 0;
  if (DIR* dir = opendir(folder)) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

// Counts settle shortly after the last close (the server side closes its end later).
bool SettlesAt(const char* folder, std::size_t expected) {
  for (int i = 0; i < 200; ++i) {
    if (CountEntries(folder) <= expected) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

TEST(Lifecycle, ThousandExchangesLeaveNoDescriptorsOrThreads) {
  REQUIRE_SERVER(port);
  {
    // One exchange first, so that one-time allocations are out of the count.
    Exchange warmUp(port, "/bytes/100");
    ASSERT_TRUE(warmUp.Run().ok);
  }
  ASSERT_TRUE(SettlesAt("/proc/self/task", CountEntries("/proc/self/task")));
  std::this_thread::sleep_for(100ms);
  const std::size_t descriptors = CountEntries("/proc/self/fd");
  const std::size_t threads = CountEntries("/proc/self/task");

  for (int i = 0; i < 1000; ++i) {
    Exchange exchange(port, "/bytes/100");
    const ReadOutcome read = exchange.Run();
    ASSERT_TRUE(read.ok) << "exchange " << i << " error " << read.error;
    ASSERT_EQ(read.body.size(), 100u);
  }
  EXPECT_TRUE(SettlesAt("/proc/self/fd", descriptors)) << CountEntries("/proc/self/fd");
  EXPECT_TRUE(SettlesAt("/proc/self/task", threads)) << CountEntries("/proc/self/task");
}
#endif

}  // namespace
