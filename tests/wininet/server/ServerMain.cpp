// The test server as a program of its own, for test programs that cannot host it (the
// Windows build under Wine).
#include "ServerProgram.h"
#include "TestServer.h"

int main(int argc, char** argv) {
  corvane_test::ServerProgram program(argc, argv);
  if (!program.Usable()) {
    return 2;
  }
  TestServer server;
  return program.ServeOn(server.Port());
}
