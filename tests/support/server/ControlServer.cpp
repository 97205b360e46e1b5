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

void Refuse(httplib::Response& response, const std::string& why) {
  response.status = 400;
  response.set_content(why, "text/plain");
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
               auto answer = control::AnswerFrom(
                   [&](const char* name) { return request.get_param_value(name); }, request.body);
               if (!answer) {
                 Refuse(response, "malformed answer settings");
                 return;
               }
               scripted.SetAnswer(std::move(*answer));
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
    const auto count = control::Decimal(request.get_param_value("count"));
    const auto milliseconds = control::Decimal(request.get_param_value("timeoutMs"));
    if (!count || !milliseconds) {
      Refuse(response, "count and timeoutMs must be decimal numbers");
      return;
    }
    const auto timeout = std::min<std::chrono::milliseconds>(
        std::chrono::milliseconds(*milliseconds), control::kLongestWait);
    Reply(response,
          {{"value", scripted.WaitForRequests(static_cast<std::size_t>(*count), timeout)}});
  });
  server.Get(control::kRequests, [&scripted](const httplib::Request&, httplib::Response& response) {
    json listing = json::array();
    for (const auto& request : scripted.Requests()) {
      listing.push_back(control::ToJson(request));
    }
    Reply(response, listing);
  });

  m_listener = std::make_unique<LoopbackListener>(server);
}

ControlServer::~ControlServer() = default;

int ControlServer::Port() const { return m_listener->Port(); }

}  // namespace corvane_test
