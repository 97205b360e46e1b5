// Whole exchanges against the scripted server's fixed routes: bodies of every size class,
// chunked, trickled and huge bodies, error statuses, what goes on the wire, and transfers
// that fail.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "Exchange.h"
#include "ScriptedExchange.h"
#include "ServerEndpoint.h"

namespace {

using namespace std::chrono_literals;

struct BodyCase {
  const char* object;
  std::size_t size;
};

class BodyTest : public testing::TestWithParam<BodyCase> {};

TEST_P(BodyTest, ArrivesWholeThroughQueuedAndImmediateReads) {
  REQUIRE_SERVER(port);
  Exchange exchange(port, GetParam().object);
  DWORD error = 0;
  EXPECT_FALSE(exchange.Send(&error));
  EXPECT_EQ(error, ERROR_IO_PENDING);

  INTERNET_ASYNC_RESULT result{};
  ASSERT_TRUE(exchange.WaitForResponse(result));
  EXPECT_NE(result.dwResult, 0u);
  EXPECT_EQ(result.dwError, 0u);
  EXPECT_EQ(exchange.StatusCode(), 200u);

  const ReadOutcome read = exchange.ReadAll();
  ASSERT_TRUE(read.ok) << "read error " << read.error;
  EXPECT_EQ(read.body.size(), GetParam().size);
  EXPECT_EQ(read.body, corvane_test::BodyPattern(GetParam().size));
}

INSTANTIATE_TEST_SUITE_P(Sizes, BodyTest,
                         testing::Values(BodyCase{"/bytes/0", 0}, BodyCase{"/bytes/2048", 2048},
                                         BodyCase{"/bytes/102400", 102400},
                                         BodyCase{"/chunked/1", 1},
                                         BodyCase{"/chunked/102400", 102400}));

TEST(Exchange, TrickledBodyCompletesQueuedReadsIntoTheCallersBuffer) {
  REQUIRE_SERVER(port);
  Exchange exchange(port, "/trickle/20/15");
  const ReadOutcome read = exchange.Run();
  ASSERT_TRUE(read.ok) << "read error " << read.error;
  EXPECT_EQ(read.body, corvane_test::BodyPattern(200));
  // The pieces come 15 ms apart: the reader catches up and has to wait.
  EXPECT_GT(read.queuedReads, 0u);
}

TEST(Exchange, ErrorStatusKeepsItsBody) {
  REQUIRE_SERVER(port);
  Exchange exchange(port, "/status/500");
  const auto result = exchange.SendAndWait();
  ASSERT_TRUE(result);
  EXPECT_NE(result->dwResult, 0u);
  EXPECT_EQ(exchange.StatusCode(), 500u);
  const ReadOutcome read = exchange.ReadAll();
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.body, "status 500");
}

TEST(Exchange, WireCarriesTheVerbObjectAndAgentAsGiven) {
  REQUIRE_SERVER(port);
  Exchange exchange(port, "/echo/a/b?x=1&y=%41&z=a+b");
  const ReadOutcome read = exchange.Run();
  ASSERT_TRUE(read.ok);
  const std::string& wire = read.body;
  RecordProperty("wire", wire);
  EXPECT_EQ(wire.substr(0, wire.find('\n')), "GET /echo/a/b?x=1&y=%41&z=a+b HTTP/1.1");
  EXPECT_NE(wire.find("\nUser-Agent: asynchttp\n"), std::string::npos) << wire;
  EXPECT_NE(wire.find("\nHost: 127.0.0.1:" + std::to_string(port) + "\n"), std::string::npos)
      << wire;
#ifndef _WIN32
  // Direct to the server WinINet adds no cache headers for RELOAD / PRAGMA_NOCACHE.
  EXPECT_EQ(wire, "GET /echo/a/b?x=1&y=%41&z=a+b HTTP/1.1\nAccept: */*\nHost: 127.0.0.1:" +
                      std::to_string(port) + "\nUser-Agent: asynchttp\n");
#endif
}

TEST(Exchange, SpacesInTheObjectAreEscaped) {
  REQUIRE_SERVER(port);
  Exchange exchange(port, "/echo?v=a b");
  const ReadOutcome read = exchange.Run();
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.body.substr(0, read.body.find('\n')), "GET /echo?v=a%20b HTTP/1.1");
}

TEST(Exchange, EssentialNotificationsArriveInOrderOffTheCallingThread) {
  REQUIRE_SERVER(port);
  Exchange exchange(port, "/bytes/10");
  ASSERT_TRUE(exchange.SendAndWait());
  const auto records = exchange.recorder.Records();
  auto position = [&](DWORD status) {
    for (std::size_t i = 0; i < records.size(); ++i) {
      if (records[i].status == status) return i;
    }
    return records.size();
  };
  EXPECT_LT(position(INTERNET_STATUS_HANDLE_CREATED), records.size());
  EXPECT_LT(position(INTERNET_STATUS_SENDING_REQUEST), position(INTERNET_STATUS_REQUEST_SENT));
  EXPECT_LT(position(INTERNET_STATUS_REQUEST_SENT), position(INTERNET_STATUS_RECEIVING_RESPONSE));
  EXPECT_LT(position(INTERNET_STATUS_RECEIVING_RESPONSE),
            position(INTERNET_STATUS_REQUEST_COMPLETE));
  const auto complete = records[position(INTERNET_STATUS_REQUEST_COMPLETE)];
  EXPECT_EQ(complete.handle, exchange.request);
  EXPECT_NE(complete.thread, std::this_thread::get_id());
}

struct FailureCase {
  const char* name;
  const char* server;
  bool closedPort;
  DWORD error;
};

class FailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(FailureTest, SendIsPendingThenCompletesWithTheError) {
  REQUIRE_SERVER(serverPort);
  const int port = GetParam().closedPort ? ClosedPort() : serverPort;
  Exchange exchange(port, "/bytes/10", GetParam().server);
  ASSERT_NE(exchange.request, nullptr);
  DWORD error = 0;
  EXPECT_FALSE(exchange.Send(&error));
  EXPECT_EQ(error, ERROR_IO_PENDING);
  INTERNET_ASYNC_RESULT result{};
  ASSERT_TRUE(exchange.WaitForResponse(result));
  EXPECT_EQ(result.dwResult, 0u);
  EXPECT_EQ(result.dwError, GetParam().error);

  // The module reads once after any completion; that read must end the exchange cleanly.
  const ReadOutcome read = exchange.ReadAll();
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(read.queuedReads, 0u);
  EXPECT_EQ(read.body, "");
}

INSTANTIATE_TEST_SUITE_P(Failures, FailureTest,
                         testing::Values(FailureCase{"Refused", "127.0.0.1", true,
                                                     ERROR_INTERNET_CANNOT_CONNECT},
                                         FailureCase{"Unresolvable", "no-such-host.invalid", false,
                                                     ERROR_INTERNET_NAME_NOT_RESOLVED}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(Exchange, SilentServerTimesOutAfterTheReceiveTimeout) {
  REQUIRE_SERVER(port);
  Exchange exchange(port, "/stall");
  DWORD timeout = 300;
  ASSERT_TRUE(InternetSetOptionA(exchange.request, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout,
                                 sizeof timeout));
  const auto result = exchange.SendAndWait();
  ASSERT_TRUE(result);
  EXPECT_EQ(result->dwResult, 0u);
#ifdef _WIN32
  // Wine reports the abandoned connection rather than the timeout.
  EXPECT_TRUE(result->dwError == ERROR_INTERNET_TIMEOUT ||
              result->dwError == ERROR_INTERNET_CONNECTION_ABORTED)
      << result->dwError;
#else
  EXPECT_EQ(result->dwError, ERROR_INTERNET_TIMEOUT);
#endif
}

TEST(Exchange, HugeBodyReadSlowlyArrivesWhole) {
  REQUIRE_SERVER(port);
  constexpr std::size_t kSize = 4 * 1024 * 1024;
  Exchange exchange(port, ("/bytes/" + std::to_string(kSize)).c_str());
  ASSERT_TRUE(exchange.SendAndWait());
  // Let the transfer run into the reader's limit before reading at all.
  std::this_thread::sleep_for(200ms);
  const ReadOutcome read = exchange.ReadAll(65536);
  ASSERT_TRUE(read.ok) << "read error " << read.error;
  ASSERT_EQ(read.body.size(), kSize);
  EXPECT_TRUE(read.body == corvane_test::BodyPattern(kSize));
}

}  // namespace
