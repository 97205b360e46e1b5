// The checking allocator and the host's string allocator and memory manager built on it.
#include "KXUtilities/CheckingAllocator.h"

#include <atomic>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "NoDestructor.h"
#include "TString.h"
#include "host/KXUtilities.h"

namespace hostsim::detail {
namespace {

constexpr std::uint64_t kLiveMagic = 0x4B58484F53544D45ull;   // "KXHOSTME"
constexpr std::uint64_t kFreedMagic = 0x4652454544424C4Bull;  // "FREEDBLK"
constexpr std::uint64_t kTrailer = 0xCBCBCBCBCBCBCBCBull;
constexpr std::size_t kStringLeadGuardOffset = 24;

struct Hidden {
  std::uint64_t magic;
  std::uint64_t size;
  std::uint64_t kind;
  std::uint64_t check;  // magic ^ size ^ kind: a header overwritten by a stray write fails it
};
static_assert(sizeof(Hidden) % 16 == 0, "blocks keep the platform's malloc alignment");

struct Counters {
  std::atomic<std::uint64_t> liveBlocks{0};
  std::atomic<std::uint64_t> liveBytes{0};
  std::atomic<std::uint64_t> allocations{0};
  std::atomic<std::uint64_t> releases{0};
};

Counters& TheCounters() {
  static NoDestructor<Counters> counters;
  return counters.get();
}

[[noreturn]] void Corrupted(const char* operation, const void* block, const char* what,
                            std::uint64_t found, std::uint64_t expected) {
  std::fprintf(stderr,
               "hostsim: heap corruption in %s: block %p: %s is 0x%" PRIx64 ", expected 0x%" PRIx64
               "\n",
               operation, block, what, found, expected);
  std::fflush(stderr);
  std::abort();
}

Hidden* HiddenOf(void* block) { return static_cast<Hidden*>(block) - 1; }
unsigned char* Bytes(void* block) { return static_cast<unsigned char*>(block); }

void WriteTrailer(void* block, std::size_t size) {
  std::memcpy(Bytes(block) + size, &kTrailer, sizeof kTrailer);
}

void Stamp(Hidden* hidden, std::size_t size, BlockKind kind) {
  hidden->magic = kLiveMagic;
  hidden->size = size;
  hidden->kind = static_cast<std::uint64_t>(kind);
  hidden->check = hidden->magic ^ hidden->size ^ hidden->kind;
}

std::uint32_t ReadWord(const void* where) {
  std::uint32_t word = 0;
  std::memcpy(&word, where, sizeof word);
  return word;
}

// Checks everything the block carries and returns its hidden header.
Hidden* Verify(void* block, const char* operation) {
  Hidden* hidden = HiddenOf(block);
  if (hidden->magic == kFreedMagic) {
    Corrupted(operation, block, "block already released (header)", hidden->magic, kLiveMagic);
  }
  if (hidden->magic != kLiveMagic) {
    Corrupted(operation, block, "hidden header", hidden->magic, kLiveMagic);
  }
  const std::uint64_t check = hidden->magic ^ hidden->size ^ hidden->kind;
  if (hidden->check != check) {
    Corrupted(operation, block, "hidden header check word", hidden->check, check);
  }
  std::uint64_t trailer = 0;
  std::memcpy(&trailer, Bytes(block) + hidden->size, sizeof trailer);
  if (trailer != kTrailer) {
    Corrupted(operation, block, "hidden trailer after the block", trailer, kTrailer);
  }
  if (hidden->kind == static_cast<std::uint64_t>(BlockKind::String)) {
    const std::uint32_t lead = ReadWord(Bytes(block) + kStringLeadGuardOffset);
    if (lead != Util::TString::kGuard) {
      Corrupted(operation, block, "string lead guard (offset 24)", lead, Util::TString::kGuard);
    }
    const std::uint32_t tail = ReadWord(Bytes(block) + hidden->size - 4);
    if (tail != Util::TString::kGuard) {
      Corrupted(operation, block, "string tail guard (allocSize - 4)", tail, Util::TString::kGuard);
    }
  }
  return hidden;
}

}  // namespace

void* AllocateChecked(std::size_t size, BlockKind kind) {
  auto* hidden = static_cast<Hidden*>(std::malloc(sizeof(Hidden) + size + sizeof kTrailer));
  if (hidden == nullptr) {
    std::fprintf(stderr, "hostsim: out of memory allocating %zu bytes\n", size);
    std::abort();
  }
  Stamp(hidden, size, kind);
  void* block = hidden + 1;
  WriteTrailer(block, size);
  Counters& counters = TheCounters();
  counters.liveBlocks.fetch_add(1, std::memory_order_relaxed);
  counters.liveBytes.fetch_add(size, std::memory_order_relaxed);
  counters.allocations.fetch_add(1, std::memory_order_relaxed);
  return block;
}

void ReleaseChecked(void* block, std::size_t size, bool sizeKnown, const char* operation) {
  Hidden* hidden = Verify(block, operation);
  if (sizeKnown && hidden->size != size) {
    Corrupted(operation, block, "size passed with the block", size, hidden->size);
  }
  Counters& counters = TheCounters();
  counters.liveBlocks.fetch_sub(1, std::memory_order_relaxed);
  counters.liveBytes.fetch_sub(hidden->size, std::memory_order_relaxed);
  counters.releases.fetch_add(1, std::memory_order_relaxed);
  hidden->magic = kFreedMagic;
  std::free(hidden);
}

void* ResizeChecked(void* block, std::size_t newSize) {
  Hidden* hidden = Verify(block, "IMemoryManager::Reallocate");
  const std::size_t oldSize = hidden->size;
  const auto kind = static_cast<BlockKind>(hidden->kind);
  auto* moved =
      static_cast<Hidden*>(std::realloc(hidden, sizeof(Hidden) + newSize + sizeof kTrailer));
  if (moved == nullptr) {
    std::fprintf(stderr, "hostsim: out of memory resizing a block to %zu bytes\n", newSize);
    std::abort();
  }
  Stamp(moved, newSize, kind);
  void* resized = moved + 1;
  WriteTrailer(resized, newSize);
  Counters& counters = TheCounters();
  counters.liveBytes.fetch_add(newSize, std::memory_order_relaxed);
  counters.liveBytes.fetch_sub(oldSize, std::memory_order_relaxed);
  return resized;
}

}  // namespace hostsim::detail

namespace hostsim {

MemoryStats GetMemoryStats() {
  detail::Counters& counters = detail::TheCounters();
  return MemoryStats{counters.liveBlocks.load(), counters.liveBytes.load(),
                     counters.allocations.load(), counters.releases.load()};
}

}  // namespace hostsim

namespace Util {
namespace {

class CheckingMemoryManager final : public IMemoryManager {
 public:
  void* Allocate(std::size_t size) override {
    return hostsim::detail::AllocateChecked(size, hostsim::detail::BlockKind::General);
  }
  void Free(void* block) override {
    if (block != nullptr) {
      hostsim::detail::ReleaseChecked(block, 0, false, "IMemoryManager::Free");
    }
  }
  bool Reallocate(void*& block, std::size_t newSize) override {
    block = block == nullptr ? Allocate(newSize) : hostsim::detail::ResizeChecked(block, newSize);
    return true;
  }
};

}  // namespace

IMemoryManager::~IMemoryManager() = default;

IMemoryManager& GetMemoryManager() {
  static hostsim::detail::NoDestructor<CheckingMemoryManager> manager;
  return manager.get();
}

void* TStringAllocatorMemAllocate(std::size_t& size) {
  return hostsim::detail::AllocateChecked(size, hostsim::detail::BlockKind::String);
}

void TStringAllocatorMemRelease(void* block, std::size_t size) {
  hostsim::detail::ReleaseChecked(block, size, true, "TStringAllocatorMemRelease");
}

}  // namespace Util
