// How a test steers a scripted server in another process: requests to the server program's
// control port, which is not the port that serves the scripted answers.
//
//   POST /reset                        starts afresh for a new test; answers {"port": P,
//                                      "rawPort": R}, the ports that serve the scripted answers
//   PUT  /answer?status=..&chunked=..&trickleBytes=..&tricklePauseMs=..&hold=..&raw=..&reset=..
//                                      the next answers; the request's body is the answer's
//                                      body, byte for byte
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
#include <optional>
#include <string>
#include <vector>

#include "ScriptedExchange.h"

namespace corvane_test::control {

inline constexpr const char* kReset = "/reset";
inline constexpr const char* kAnswer = "/answer";
inline constexpr const char* kRelease = "/release";
inline constexpr const char* kReleasedInTime = "/released-in-time";
inline constexpr const char* kRequestsArrived = "/requests-arrived";
inline constexpr const char* kRequests = "/requests";

// The longest wait the server grants one request.
inline constexpr std::chrono::seconds kLongestWait{120};

// A query parameter's number: up to 12 decimal digits, nothing else.
inline std::optional<long long> Decimal(const std::string& text) {
  if (text.empty() || text.size() > 12 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return std::stoll(text);
}

// The answer's settings as the query of PUT /answer.
inline std::string AnswerQuery(const HttpAnswer& answer) {
  return "?status=" + std::to_string(answer.status) + "&chunked=" + (answer.chunked ? "1" : "0") +
         "&trickleBytes=" + std::to_string(answer.trickleBytes) +
         "&tricklePauseMs=" + std::to_string(answer.tricklePause.count()) +
         "&hold=" + (answer.holdUntilReleased ? "1" : "0") + "&raw=" + (answer.raw ? "1" : "0") +
         "&reset=" + (answer.reset ? "1" : "0");
}

// The answer from PUT /answer: `parameter` gives a query parameter's value (empty when
// absent). Nullopt when a number is missing or malformed.
template <typename Parameter>
std::optional<HttpAnswer> AnswerFrom(const Parameter& parameter, std::string body) {
  const auto number = [&](const char* name) { return Decimal(parameter(name)); };
  const auto status = number("status");
  const auto chunked = number("chunked");
  const auto trickleBytes = number("trickleBytes");
  const auto pause = number("tricklePauseMs");
  const auto hold = number("hold");
  const auto raw = number("raw");
  const auto reset = number("reset");
  if (!status || !chunked || !trickleBytes || !pause || !hold || !raw || !reset) {
    return std::nullopt;
  }
  HttpAnswer answer;
  answer.status = static_cast<int>(*status);
  answer.body = std::move(body);
  answer.chunked = *chunked != 0;
  answer.trickleBytes = static_cast<std::size_t>(*trickleBytes);
  answer.tricklePause = std::chrono::milliseconds(*pause);
  answer.holdUntilReleased = *hold != 0;
  answer.raw = *raw != 0;
  answer.reset = *reset != 0;
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

inline nlohmann::json ToJson(const RecordedRequest& request) {
  return {{"method", request.method},
          {"target", request.target},
          {"version", request.version},
          {"body", request.body},
          {"contentLength", request.contentLength}};
}

// Throws nlohmann::json::exception when the listing is not one of requests.
inline std::vector<RecordedRequest> RequestsFrom(const nlohmann::json& listing) {
  std::vector<RecordedRequest> requests;
  for (const auto& item : listing) {
    requests.push_back({item.at("method").get<std::string>(), item.at("target").get<std::string>(),
                        item.at("version").get<std::string>(), item.at("body").get<std::string>(),
                        item.at("contentLength").get<std::string>()});
  }
  return requests;
}

}  // namespace corvane_test::control
