// An HTTP server on 127.0.0.1 (ephemeral port) for the WinINet tests. Routes:
//   /bytes/<n>              n bytes of BodyPattern with a Content-Length
//   /chunked/<n>            the same, chunked, in pieces of 1000 bytes
//   /trickle/<pieces>/<ms>  chunked, 10-byte pieces of the pattern, one every <ms> ms
//   /status/<code>          that status, body "status <code>"
//   /echo...                the request line and headers as received (one per line)
//   /hang                   headers and 7 bytes of body, then nothing until the client
//                           leaves (at most 5 s)
//   /stall                  no answer for 1 s
#pragma once

#include <httplib.h>

#include "LoopbackListener.h"

class TestServer {
public:
  TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int Port() const { return m_listener.Port(); }

private:
  httplib::Server m_server;
  corvane_test::LoopbackListener m_listener;
};
