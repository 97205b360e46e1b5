// The scripted server as a program of its own, for the Windows tests under Wine. Its one
// argument is the file to write the control port to once it serves; then it serves until
// SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "ControlServer.h"
#include "ScriptedServer.h"

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

  corvane_test::ScriptedServer scripted;
  corvane_test::ControlServer control(scripted);
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
