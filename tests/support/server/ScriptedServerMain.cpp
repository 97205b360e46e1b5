// The scripted server as a program of its own, for the Windows tests under Wine, steered
// through a control port (ControlProtocol.h). Its one argument is the file to write the
// control port to once it serves; then it serves until SIGTERM or SIGINT.
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "ControlProtocol.h"
#include "LoopbackListener.h"
#include "ScriptedServer.h"

namespace {

using corvane_test::ScriptedServer;
using nlohmann::json;
namespace control = corvane_test::control;

void Reply(httplib::Response& response, const json& value) {
  response.set_header("Cache-Control", "no-store");
  // Recorded bytes that are not UTF-8 show as U+FFFD rather than failing the whole answer.
  response.set_content(value.dump(-1, ' ', true, json::error_handler_t::replace),
                       "application/json");
}

void AddControlRoutes(httplib::Server& server, ScriptedServer& scripted) {
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
  server.Get(control::kState, [&scripted](const httplib::Request& request,
                                          httplib::Response& response) {
    const auto timeout = std::min<std::chrono::milliseconds>(
        std::chrono::milliseconds(std::stoll(request.get_param_value("timeoutMs"))),
        control::kLongestWait);
    const bool arrived =
        scripted.WaitForRequests(std::stoull(request.get_param_value("count")), timeout);
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
  // The stop signals are blocked before any server thread starts, so that every thread leaves
  // them to the wait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  ScriptedServer scripted;
  httplib::Server controlServer;
  AddControlRoutes(controlServer, scripted);
  const corvane_test::LoopbackListener control(controlServer);
  if (scripted.Port() == 0 || control.Port() == 0) {
    std::fprintf(stderr, "%s: cannot bind a port on 127.0.0.1\n", argv[0]);
    return 1;
  }
  // Announced whole, by renaming a finished file.
  const std::string portFile = argv[1];
  std::ofstream(portFile + ".tmp") << control.Port() << '\n';
  std::rename((portFile + ".tmp").c_str(), portFile.c_str());
  int received = 0;
  sigwait(&stopSignals, &received);
  return 0;
}
