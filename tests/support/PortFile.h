// The port of a test server started beside the test program: read from the file whose Linux
// path the environment variable names. Under Wine the Linux root is drive Z:.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace corvane_test {

// The port, or 0 when the variable is unset or the file holds no port.
inline int PortFromFileNamedBy(const char* variable) {
  const char* file = std::getenv(variable);
  if (file == nullptr || *file == 0) {
    return 0;
  }
  std::string path = file;
#ifdef _WIN32
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.front() == '\\') path = "Z:" + path;
#endif
  std::ifstream in(path);
  int port = 0;
  in >> port;
  return port > 0 && port < 65536 ? port : 0;
}

}  // namespace corvane_test
