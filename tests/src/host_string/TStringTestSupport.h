// Reading a host string's block the way the host's libraries see it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "TString.h"
#include "hostsim/HostSim.h"

namespace tstring_test {

inline std::size_t Capacity(const Util::TString& s) {
  return s.Header()->allocSize - s.Header()->overhead;
}

inline std::uint32_t WordAt(const Util::TString& s, std::size_t offset) {
  std::uint32_t word = 0;
  std::memcpy(&word, reinterpret_cast<const unsigned char*>(s.Header()) + offset, sizeof word);
  return word;
}

inline std::string Text(const Util::TString& s) { return static_cast<const char*>(s); }

inline std::basic_string<WCHAR> Wide(const char* ascii) {
  std::basic_string<WCHAR> wide;
  for (const char* c = ascii; *c != '\0'; ++c) {
    wide.push_back(static_cast<WCHAR>(*c));
  }
  return wide;
}

// Live blocks of the host's allocator now, to check that a test gave back all it took.
inline std::uint64_t LiveBlocks() { return hostsim::GetMemoryStats().liveBlocks; }

}  // namespace tstring_test
