#include "ControlServer.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "ControlProtocol.h"
#include "LoopbackListener.h"
#include "ScriptedServer.h"

namespace corvane_test {

namespace {

using nlohmann::json;

void Reply(httplib::Response& response, const json& value) {
  response.set_header("Cache-Control", "no-store");
  response.set_content(control::Text(value), "application/json");
}

}  // namespace

ControlServer::ControlServer(ScriptedServer& scripted)
    : m_server(std::make_unique<httplib::Server>()) {
  httplib::Server& server = *m_server;
  AddFixedRoutes(server);
  server.Post(control::kReset, [&scripted](const httplib::Request&, httplib::Response& response) {
    scripted.Reset();
    Reply(response, {{"port", scripted.Port()}, {"rawPort", scripted.RawPort()}});
  });
  server.Put(control::kAnswer,
             [&scripted](const httplib::Request& request, httplib::Response& response) {
               scripted.SetAnswer(control::AnswerFromRequestBody(request.body));
               Reply(response, json::object());
             });
  server.Post(control::kRelease, [&scripted](const httplib::Request&, httplib::Response& response) {
    scripted.Release();
    Reply(response, json::object());
  });
  server.Get(control::kReleasedInTime,
             [&scripted](const httplib::Request&, httplib::Response& response) {
               Reply(response, {{"value", scripted.ReleasedInTime()}});
             });
  // {"value": reached} once the count is reached or the time (capped) is up.
  server.Get(control::kRequestsArrived, [&scripted](const httplib::Request& request,
                                                    httplib::Response& response) {
    const auto count = std::stoull(request.get_param_value("count"));
    const auto timeout = std::min<std::chrono::milliseconds>(
        std::chrono::milliseconds(std::stoll(request.get_param_value("timeoutMs"))),
        control::kLongestWait);
    Reply(response, {{"value", scripted.WaitForRequests(count, timeout)}});
  });
  server.Get(control::kRequests, [&scripted](const httplib::Request&, httplib::Response& response) {
    Reply(response, json(scripted.Requests()));
  });

  m_listener = std::make_unique<LoopbackListener>(server);
}

ControlServer::~ControlServer() = default;

int ControlServer::Port() const { return m_listener->Port(); }

}  // namespace corvane_test
