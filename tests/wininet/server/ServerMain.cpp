// The test server as a program of its own, for test programs that cannot host it (the
// Windows build under Wine). Writes its port to the file named by its argument, then
// serves until SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "TestServer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PORT-FILE\n", argv[0]);
    return 2;
  }
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  TestServer server;
  const std::string path = argv[1];
  {
    std::ofstream out(path + ".tmp");
    out << server.Port() << '\n';
  }
  std::rename((path + ".tmp").c_str(), path.c_str());
  int received = 0;
  sigwait(&stopSignals, &received);
  return 0;
}
