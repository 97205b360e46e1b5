// How a test steers a scripted server in another process: requests to the server program's
// control port, which is not the port that serves the scripted answers. Malformed requests
// are answered with status 500.
//
//   POST /reset                        starts afresh for a new test; answers {"port": P,
//                                      "rawPort": R}, the ports that serve the scripted answers
//   PUT  /answer                       the next answers: the body is a line of the answer's
//                                      settings as JSON, then the answer's body byte for byte
//   POST /release                      lets held answers go
//   GET  /released-in-time             {"value": bool}
//   GET  /requests-arrived?count=N&timeoutMs=T
//                                      {"value": bool}, answered when the count is reached
//                                      or the time is up (the server caps the wait)
//   GET  /requests                     [{"method", "target", "version", "body",
//                                        "contentLength"}, ...]
//   the fixed routes of ScriptedServer.h   as on the scripted server's port
#pragma once

#include <chrono>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

#include "ScriptedExchange.h"

namespace corvane_test {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(RecordedRequest, method, target, version, body, contentLength)

namespace control {

inline constexpr const char* kReset = "/reset";
inline constexpr const char* kAnswer = "/answer";
inline constexpr const char* kRelease = "/release";
inline constexpr const char* kReleasedInTime = "/released-in-time";
inline constexpr const char* kRequestsArrived = "/requests-arrived";
inline constexpr const char* kRequests = "/requests";

// The longest wait the server grants one request.
inline constexpr std::chrono::seconds kLongestWait{120};

// The body of PUT /answer.
inline std::string AnswerRequestBody(const HttpAnswer& answer) {
  const nlohmann::json settings = {{"status", answer.status},
                                   {"chunked", answer.chunked},
                                   {"trickleBytes", answer.trickleBytes},
                                   {"tricklePauseMs", answer.tricklePause.count()},
                                   {"hold", answer.holdUntilReleased},
                                   {"raw", answer.raw},
                                   {"reset", answer.reset}};
  return settings.dump() + "\n" + answer.body;
}

// The answer from the body of PUT /answer; throws when the settings are malformed.
inline HttpAnswer AnswerFromRequestBody(const std::string& text) {
  const auto lineEnd = text.find('\n');
  const auto settings = nlohmann::json::parse(text.substr(0, lineEnd));
  HttpAnswer answer;
  answer.status = settings.at("status").get<int>();
  answer.body = lineEnd == std::string::npos ? "" : text.substr(lineEnd + 1);
  answer.chunked = settings.at("chunked").get<bool>();
  answer.trickleBytes = settings.at("trickleBytes").get<std::size_t>();
  answer.tricklePause = std::chrono::milliseconds(settings.at("tricklePauseMs").get<long long>());
  answer.holdUntilReleased = settings.at("hold").get<bool>();
  answer.raw = settings.at("raw").get<bool>();
  answer.reset = settings.at("reset").get<bool>();
  return answer;
}

inline std::string WaitQuery(std::size_t count, std::chrono::milliseconds timeout) {
  return "?count=" + std::to_string(count) + "&timeoutMs=" + std::to_string(timeout.count());
}

// Text of the server's answers. Bytes that are not UTF-8 (never seen in a request line of
// these tests) show as U+FFFD rather than failing the whole listing.
inline std::string Text(const nlohmann::json& value) {
  return value.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

}  // namespace control
}  // namespace corvane_test
