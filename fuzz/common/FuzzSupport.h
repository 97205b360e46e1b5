// Shared by the fuzz harnesses. A broken invariant prints what broke and aborts, which
// libFuzzer reports as a crash and saves the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace corvane_fuzz {

[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

inline void Require(bool holds, const std::string& what) {
  if (!holds) Fail(what);
}

}  // namespace corvane_fuzz
