// How a test in another process (the Windows tests under Wine) steers the scripted server
// program through its control port, which is not the port that serves the scripted answers.
// Bodies both ways are CBOR (nlohmann-json's), which carries bytes that are not UTF-8 as they
// are; malformed requests are answered with status 400 and a text saying what is wrong.
//
//   POST /reset    starts afresh for a new test; {"port": P, "rawPort": R}, the ports that
//                  serve the scripted answers
//   PUT  /answer   the next answers: an HttpAnswer
//   POST /release  lets held answers go
//   GET  /state?count=N&timeoutMs=T
//                  {"arrived": bool, "releasedInTime": bool, "requests": [...]}, answered
//                  once N requests have arrived or the time is up (the server caps the wait)
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>

#include "ScriptedExchange.h"

namespace nlohmann {
template <>
struct adl_serializer<std::chrono::milliseconds> {
  static void to_json(json& value, std::chrono::milliseconds time) { value = time.count(); }
  static void from_json(const json& value, std::chrono::milliseconds& time) {
    time = std::chrono::milliseconds(value.get<long long>());
  }
};
}  // namespace nlohmann

namespace corvane_test {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(RecordedRequest, method, target, body, contentLength)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(HttpAnswer, status, body, chunked, trickleBytes, tricklePause,
                                   holdUntilReleased, raw, reset)

namespace control {

inline constexpr const char* kReset = "/reset";
inline constexpr const char* kAnswer = "/answer";
inline constexpr const char* kRelease = "/release";
inline constexpr const char* kState = "/state";

// The longest wait the server grants one request.
inline constexpr std::chrono::seconds kLongestWait{120};

}  // namespace control
}  // namespace corvane_test
