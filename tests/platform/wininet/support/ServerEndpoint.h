// Where the scripted server's fixed routes are served: in this process on Linux; on Windows
// by the server program started by the test fixture, on the control port that the file
// CORVANE_TEST_SERVER_PORT_FILE names.
// Port 0 means there is no server (tests that need one skip).
#pragma once

int TestServerPort();

// A loopback port on which nothing listens.
int ClosedPort();

// Declares `port` as the test server's port, or skips the test when there is no server.
#define REQUIRE_SERVER(port)         \
  const int port = TestServerPort(); \
  if (port == 0) GTEST_SKIP() << "no test server for this platform"
