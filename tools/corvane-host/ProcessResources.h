// Open descriptors and threads of this process, read before the module is loaded and after it
// is unloaded, so that a long run shows whether activations give back what they take.
#pragma once

#include <cstddef>
#include <optional>

namespace corvane::host {

struct ProcessResources {
  std::size_t descriptors = 0;
  std::size_t threads = 0;
  std::size_t residentKiB = 0;
};

// nullopt where the system offers no cheap count (Windows).
std::optional<ProcessResources> CurrentProcessResources();

}  // namespace corvane::host
