// The scripted server as a program of its own, for the Windows tests under Wine, steered
// through a control port (ControlProtocol.h). Its one argument is the file to write the
// control port to once it serves; then it serves until it is stopped (SIGTERM).
#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "ControlProtocol.h"
#include "ScriptedServer.h"

namespace {

using corvane_test::ScriptedServer;
using nlohmann::json;
namespace control = corvane_test::control;

void Reply(httplib::Response& response, const json& value) {
  response.set_header("Cache-Control", "no-store");
  const auto bytes = json::to_cbor(value);
  response.set_content(std::string(bytes.begin(), bytes.end()), "application/cbor");
}

void Refuse(httplib::Response& response, const std::string& problem) {
  response.status = 400;
  response.set_content(problem + "\n", "text/plain");
}

// A query parameter that is a whole number within the range of `Number`, and nothing else.
template <class Number>
std::optional<Number> WholeNumber(const httplib::Request& request, const char* name) {
  const std::string text = request.get_param_value(name);
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void AddControlRoutes(httplib::Server& server, ScriptedServer& scripted) {
  server.Post(control::kReset, [&scripted](const httplib::Request&, httplib::Response& response) {
    scripted.Reset();
    Reply(response, {{"port", scripted.Port()}, {"rawPort", scripted.RawPort()}});
  });
  server.Put(control::kAnswer,
             [&scripted](const httplib::Request& request, httplib::Response& response) {
               try {
                 scripted.SetAnswer(json::from_cbor(request.body).get<corvane_test::HttpAnswer>());
                 Reply(response, json::object());
               } catch (const json::exception& error) {
                 Refuse(response, std::string("malformed answer: ") + error.what());
               }
             });
  server.Post(control::kRelease, [&scripted](const httplib::Request&, httplib::Response& response) {
    scripted.Release();
    Reply(response, json::object());
  });
  server.Get(control::kState, [&scripted](const httplib::Request& request,
                                          httplib::Response& response) {
    const auto count = WholeNumber<std::size_t>(request, "count");
    const auto timeoutMs = WholeNumber<std::int64_t>(request, "timeoutMs");
    if (!count || !timeoutMs) {
      return Refuse(response, "count and timeoutMs must be whole numbers (count not negative)");
    }
    const auto timeout = std::min<std::chrono::milliseconds>(std::chrono::milliseconds(*timeoutMs),
                                                             control::kLongestWait);
    const bool arrived = scripted.WaitForRequests(*count, timeout);
    Reply(response, {{"arrived", arrived},
                     {"releasedInTime", scripted.ReleasedInTime()},
                     {"requests", json(scripted.Requests())}});
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PORT-FILE\n", argv[0]);
    return 2;
  }
  ScriptedServer scripted;
  httplib::Server controlServer;
  AddControlRoutes(controlServer, scripted);
  const int controlPort = controlServer.bind_to_any_port("127.0.0.1");
  if (scripted.Port() == 0 || controlPort <= 0) {
    std::fprintf(stderr, "%s: cannot bind a port on 127.0.0.1\n", argv[0]);
    return 1;
  }
  // Announced whole, by renaming a finished file.
  const std::string portFile = argv[1];
  std::ofstream(portFile + ".tmp") << controlPort << '\n';
  std::rename((portFile + ".tmp").c_str(), portFile.c_str());
  return controlServer.listen_after_bind() ? 0 : 1;
}
