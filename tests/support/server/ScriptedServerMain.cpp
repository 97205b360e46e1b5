// The scripted server as a program of its own, for the Windows tests under Wine. The port it
// announces is its control port.
#include "ControlServer.h"
#include "ScriptedServer.h"
#include "ServerProgram.h"

int main(int argc, char** argv) {
  corvane_test::ServerProgram program(argc, argv);
  if (!program.Usable()) {
    return 2;
  }
  corvane_test::ScriptedServer scripted;
  corvane_test::ControlServer control(scripted);
  return program.ServeOn(scripted.Port() == 0 ? 0 : control.Port());
}
