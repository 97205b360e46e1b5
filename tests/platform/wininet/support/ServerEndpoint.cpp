#include "ServerEndpoint.h"

#include "LoopbackSocket.h"
#ifdef _WIN32
#include "PortFile.h"
#else
#include <gtest/gtest.h>

#include <memory>

#include "server/ScriptedServer.h"

namespace {

// The server lives from the first test that asks for it to the end of the tests, and stops
// before the process's static objects go: cpp-httplib makes some of its own lazily, on the
// server's threads, and they would otherwise be destroyed while those threads still run.
class ServerEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { server.reset(); }
  std::unique_ptr<corvane_test::ScriptedServer> server;
};

ServerEnvironment* const environment =
    static_cast<ServerEnvironment*>(::testing::AddGlobalTestEnvironment(new ServerEnvironment));

}  // namespace
#endif

int TestServerPort() {
#ifdef _WIN32
  return corvane_test::PortFromFileNamedBy("CORVANE_TEST_SERVER_PORT_FILE");
#else
  if (!environment->server) environment->server = std::make_unique<corvane_test::ScriptedServer>();
  return environment->server->Port();
#endif
}

int ClosedPort() { return corvane_test::LoopbackSocket(false).port; }
