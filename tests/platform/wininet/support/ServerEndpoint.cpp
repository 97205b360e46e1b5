#include "ServerEndpoint.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include "PortFile.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

int ClosedPort() {
#ifdef _WIN32
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
#else
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
#endif
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
#ifdef _WIN32
  closesocket(probe);
#else
  close(probe);
#endif
  return ntohs(address.sin_port);
}
