// The frame of a test server program for the Windows tests under Wine: one argument, the file
// to write the port to once the server serves; then it serves until SIGTERM or SIGINT.
#pragma once

#include <signal.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace corvane_test {

class ServerProgram {
public:
  // Blocks the stop signals before any server thread starts, so that every thread leaves
  // them to the wait in ServeOn.
  ServerProgram(int argc, char** argv) : m_name(argv[0]) {
    if (argc == 2) {
      m_portFile = argv[1];
    }
    sigemptyset(&m_stopSignals);
    sigaddset(&m_stopSignals, SIGTERM);
    sigaddset(&m_stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &m_stopSignals, nullptr);
  }

  // False (after a usage line) when the program was not given its one argument.
  bool Usable() const {
    if (m_portFile.empty()) {
      std::fprintf(stderr, "usage: %s PORT-FILE\n", m_name.c_str());
    }
    return !m_portFile.empty();
  }

  // Announces the port (whole, by renaming a finished file) and serves until stopped; the
  // exit status. Port 0: no server could be started.
  int ServeOn(int port) {
    if (port == 0) {
      std::fprintf(stderr, "%s: cannot bind a port on 127.0.0.1\n", m_name.c_str());
      return 1;
    }
    {
      std::ofstream out(m_portFile + ".tmp");
      out << port << '\n';
    }
    std::rename((m_portFile + ".tmp").c_str(), m_portFile.c_str());
    int received = 0;
    sigwait(&m_stopSignals, &received);
    return 0;
  }

private:
  std::string m_name;
  std::string m_portFile;
  sigset_t m_stopSignals;
};

}  // namespace corvane_test
