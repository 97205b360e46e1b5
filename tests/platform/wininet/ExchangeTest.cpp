// Whole exchanges against the scripted server's fixed routes: bodies of every size class,
// chunked, trickled and huge bodies, an error status's body, what goes on the wire, and
// transfers that fail.
#include <chrono>
#include <string>
#include <thread>

#include "WinInetExchange.h"

namespace {

using namespace std::chrono_literals;

struct BodyCase {
  std::string object;
  std::string body;
  bool queued = false;      // pieces come 15 ms apart: the reader catches up and has to wait
  bool lateReader = false;  // the transfer runs into the reader's limit before any read
};

void PrintTo(const BodyCase& body, std::ostream* out) { *out << body.object; }

class BodyTest : public WinInetTest, public testing::WithParamInterface<BodyCase> {};

TEST_P(BodyTest, ArrivesWholeThroughQueuedAndImmediateReads) {
  Exchange exchange(port, GetParam().object.c_str());
  const auto complete = exchange.SendAndWait();
  ASSERT_TRUE(complete);
  EXPECT_NE(complete->result, 0u);
  EXPECT_EQ(complete->error, 0u);
  EXPECT_EQ(complete->handle, exchange.request);
  EXPECT_NE(complete->thread, std::this_thread::get_id());

  if (GetParam().lateReader) std::this_thread::sleep_for(200ms);
  const ReadOutcome read = exchange.ReadAll(GetParam().lateReader ? 65536 : 2047);
  ASSERT_TRUE(read.ok) << "read error " << read.error;
  ASSERT_EQ(read.body.size(), GetParam().body.size());
  EXPECT_TRUE(read.body == GetParam().body);
  EXPECT_TRUE(!GetParam().queued || read.queuedReads > 0) << read.queuedReads;
}

using corvane_test::BodyPattern;
constexpr std::size_t kHuge = 4 * 1024 * 1024;
INSTANTIATE_TEST_SUITE_P(
    Sizes, BodyTest,
    testing::Values(BodyCase{"/bytes/0", ""}, BodyCase{"/bytes/2048", BodyPattern(2048)},
                    BodyCase{"/bytes/102400", BodyPattern(102400)},
                    BodyCase{"/chunked/1", BodyPattern(1)},
                    BodyCase{"/chunked/102400", BodyPattern(102400)},
                    BodyCase{"/trickle/20/15", BodyPattern(200), true},
                    BodyCase{"/status/500", "status 500"},
                    BodyCase{"/bytes/" + std::to_string(kHuge), BodyPattern(kHuge), false, true}));

// The request line as sent (spaces in the object escaped), the agent and the host; on Linux
// nothing else: direct to the server WinINet adds no cache headers for RELOAD/PRAGMA_NOCACHE.
TEST_F(WinInetTest, WireCarriesTheVerbObjectAndAgentAsGiven) {
  for (const auto& [object, line] :
       {std::pair{"/echo/a/b?x=1&y=%41&z=a+b", "GET /echo/a/b?x=1&y=%41&z=a+b HTTP/1.1"},
        std::pair{"/echo?v=a b", "GET /echo?v=a%20b HTTP/1.1"}}) {
    Exchange exchange(port, object);
    ASSERT_TRUE(exchange.SendAndWait());
    const ReadOutcome read = exchange.ReadAll();
    ASSERT_TRUE(read.ok);
    const std::string host = "\nHost: 127.0.0.1:" + std::to_string(port) + "\n";
    EXPECT_EQ(read.body.substr(0, read.body.find('\n')), line);
    EXPECT_NE(read.body.find("\nUser-Agent: asynchttp\n"), std::string::npos) << read.body;
    EXPECT_NE(read.body.find(host), std::string::npos) << read.body;
#ifndef _WIN32
    EXPECT_EQ(read.body, line + ("\nAccept: */*" + host + "User-Agent: asynchttp\n"));
#endif
  }
}

// The send is left pending and completes with the error; the one read the module makes
// after any completion ends the exchange cleanly.
TEST_F(WinInetTest, FailedConnectionsCompleteTheSendWithTheirError) {
  const int closedPort = corvane_test::LoopbackSocket(false).port;
  for (const auto& [server, serverPort, error] :
       {std::tuple{"127.0.0.1", closedPort, ERROR_INTERNET_CANNOT_CONNECT},
        std::tuple{"no-such-host.invalid", port, ERROR_INTERNET_NAME_NOT_RESOLVED}}) {
    SCOPED_TRACE(server);
    Exchange exchange(serverPort, "/bytes/10", server);
    const auto complete = exchange.SendAndWait();
    ASSERT_TRUE(complete);
    EXPECT_EQ(complete->result, 0u);
    EXPECT_EQ(complete->error, DWORD(error));
    const ReadOutcome read = exchange.ReadAll();
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.queuedReads, 0u);
    EXPECT_EQ(read.body, "");
  }
}

}  // namespace
