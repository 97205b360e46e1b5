// The checking allocator stops the process on a corrupted or mismatched release.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "TString.h"
#include "host/KXUtilities.h"
#include "hostsim/HostSim.h"

namespace {

void Overwrite(const Util::TString& s, std::size_t offset) {
  unsigned char* block =
      const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(s.Header()));
  std::memset(block + offset, 0x11, 4);
}

void ReleaseWithLeadGuardBroken() {
  Util::TString s("guarded text");
  Overwrite(s, 24);
}

void ReleaseWithTailGuardBroken() {
  Util::TString s("guarded text");
  Overwrite(s, s.Header()->allocSize - 4);  // a write one past the text's room
}

void ReleaseWithWrongSize() {
  std::size_t size = 64;
  void* block = Util::TStringAllocatorMemAllocate(size);
  std::memset(block, 0xFD, size);
  Util::TStringAllocatorMemRelease(block, 62);
}

void ReleaseSomethingElse() {
  std::vector<unsigned char> foreign(256, 0);
  Util::GetMemoryManager().Free(foreign.data() + 64);
}

void OverrunGeneralBlock() {
  void* block = Util::GetMemoryManager().Allocate(16);
  std::memset(block, 'x', 17);
  Util::GetMemoryManager().Free(block);
}

void GrowAfterTailGuardBroken() {
  Util::TString s("x");
  Overwrite(s, s.Header()->allocSize - 4);
  s += "grow past the block";
}

TEST(CheckingAllocatorDeathTest, CorruptionStopsTheProcessWithAClearMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(ReleaseWithLeadGuardBroken(), "heap corruption.*lead guard");
  EXPECT_DEATH(ReleaseWithTailGuardBroken(), "heap corruption.*tail guard");
  EXPECT_DEATH(ReleaseWithWrongSize(), "heap corruption.*size passed");
  EXPECT_DEATH(ReleaseSomethingElse(), "heap corruption.*hidden header");
  EXPECT_DEATH(OverrunGeneralBlock(), "heap corruption.*trailer");
  EXPECT_DEATH(GrowAfterTailGuardBroken(), "heap corruption in IMemoryManager::Reallocate");
}

TEST(CheckingAllocator, CountsLiveBlocksAndKeepsTheSizeItWasAsked) {
  const hostsim::MemoryStats before = hostsim::GetMemoryStats();
  std::size_t size = 38;
  void* block = Util::TStringAllocatorMemAllocate(size);
  EXPECT_EQ(size, 38u);
  std::memset(block, 0xFD, size);
  EXPECT_EQ(hostsim::GetMemoryStats().liveBlocks, before.liveBlocks + 1);
  EXPECT_EQ(hostsim::GetMemoryStats().liveBytes, before.liveBytes + 38);
  Util::TStringAllocatorMemRelease(block, size);
  const hostsim::MemoryStats after = hostsim::GetMemoryStats();
  EXPECT_EQ(after.liveBlocks, before.liveBlocks);
  EXPECT_EQ(after.allocations, before.allocations + 1);
  EXPECT_EQ(after.releases, before.releases + 1);
}

}  // namespace
