// A TCP socket bound to an ephemeral port of 127.0.0.1, on either target; listening (but
// never accepting: connections wait in its backlog) when asked. Closed with the object, its
// port is one on which nothing listens.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace corvane_test {

class LoopbackSocket {
 public:
  explicit LoopbackSocket(bool listening) {
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    int length = sizeof(sockaddr_in);
#else
    socklen_t length = sizeof(sockaddr_in);
#endif
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_socket = socket(AF_INET, SOCK_STREAM, 0);
    bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (listening) listen(m_socket, 4);
    getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }
  ~LoopbackSocket() {
#ifdef _WIN32
    closesocket(m_socket);
#else
    close(m_socket);
#endif
  }
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  int port = 0;
  auto Native() const { return m_socket; }

 private:
  decltype(socket(0, 0, 0)) m_socket;
};

}  // namespace corvane_test
