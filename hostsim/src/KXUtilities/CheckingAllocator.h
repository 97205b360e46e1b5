// The host's checking allocator behind the string allocator and the memory manager. Every
// block carries a hidden header before it and a hidden guard after it; every release and
// resize checks them, and for string blocks also the block's own lead and tail guards. A
// mismatch is a corrupted heap: the process stops with a message on stderr.
#pragma once

#include <cstddef>

#include "hostsim/HostSim.h"

namespace hostsim::detail {

enum class BlockKind : unsigned { String = 1, General = 2 };

void* AllocateChecked(std::size_t size, BlockKind kind);
// sizeKnown: the caller states the block's size and it must match the recorded one.
void ReleaseChecked(void* block, std::size_t size, bool sizeKnown, const char* operation);
void* ResizeChecked(void* block, std::size_t newSize);

}  // namespace hostsim::detail
