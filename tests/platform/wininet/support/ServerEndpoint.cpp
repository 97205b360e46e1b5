#include "ServerEndpoint.h"

#include "LoopbackSocket.h"
#ifdef _WIN32
#include "PortFile.h"
#else
#include "server/ScriptedServer.h"
#endif

int TestServerPort() {
#ifdef _WIN32
  return corvane_test::PortFromFileNamedBy("CORVANE_TEST_SERVER_PORT_FILE");
#else
  static corvane_test::ScriptedServer server;
  return server.Port();
#endif
}

int ClosedPort() { return corvane_test::LoopbackSocket(false).port; }
