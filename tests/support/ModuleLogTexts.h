// Log texts of the module that tests, fuzzers and benchmarks wait for or check. Free of
// GoogleTest, so that the fuzzers and benchmarks can include it too.
#pragma once

namespace corvane_test {

inline constexpr const char* kSavedLine = "Received the response and saved";

}  // namespace corvane_test
