// The asynchronous session over the scripted WinINet: what is asked of WinINet, the failure
// lines, the status callback and the closing of an exchange.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "HttpExchange.h"
#include "WorkerFixture.h"

namespace corvane_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr DWORD kExchangeFlags = 0x84400300;

fake_wininet::Script Failing(std::optional<DWORD> fake_wininet::Script::*step, DWORD error) {
  fake_wininet::Script script;
  script.*step = error;
  return script;
}

fake_wininet::Script SendingAtOnce() {
  fake_wininet::Script script;
  script.sendSucceedsAtOnce = true;
  return script;
}

class SessionTest : public WorkerTest {};

TEST_F(SessionTest, SendsOneAsynchronousGetWithoutHeadersOrBody) {
  Worker().SendRequestAndGetResponse("http://service.test:8080/tsm/get?cs=0&v=27");
  const auto& calls = fake_wininet::Calls();
  EXPECT_THAT(calls.calls, ElementsAre("InternetOpenA", "InternetSetStatusCallback",
                                       "InternetConnectA", "HttpOpenRequestA", "HttpSendRequestA"));
  EXPECT_EQ(calls.agent, "asynchttp");
  EXPECT_EQ(calls.accessType, INTERNET_OPEN_TYPE_PRECONFIG);
  EXPECT_TRUE(calls.proxyNull && calls.bypassNull);
  EXPECT_EQ(calls.openFlags, INTERNET_FLAG_ASYNC);
  ASSERT_EQ(calls.callbacks.size(), 1u);
  EXPECT_EQ(calls.callbacks[0].first, fake_wininet::LastSession());
  EXPECT_EQ(calls.callbacks[0].second, &WebRequestStatusCallback);

  ASSERT_EQ(calls.connects.size(), 1u);
  const auto& connect = calls.connects[0];
  EXPECT_EQ(connect.session, fake_wininet::LastSession());
  EXPECT_EQ(connect.server, "service.test");
  EXPECT_EQ(connect.port, 8080);
  EXPECT_TRUE(connect.userNull && connect.passwordNull);
  EXPECT_EQ(connect.service, INTERNET_SERVICE_HTTP);
  EXPECT_EQ(connect.flags, kExchangeFlags);
  EXPECT_EQ(connect.context, 1u);

  ASSERT_EQ(calls.requests.size(), 1u);
  const auto& request = calls.requests[0];
  EXPECT_EQ(request.verb, "GET");
  EXPECT_EQ(request.object, "/tsm/get?cs=0&v=27");
  EXPECT_TRUE(request.versionNull && request.referrerNull && request.acceptTypesNull);
  EXPECT_EQ(request.flags, kExchangeFlags);
  EXPECT_TRUE(corvane::IsRequestContext(request.context)) << request.context;
  EXPECT_THAT(calls.sendArguments, ElementsAre("null,0,null,0"));

  EXPECT_THAT(hostsim::LogTexts(), IsEmpty()) << "a pending send is no failure";
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
}

struct UrlCase {
  const char* url;
  INTERNET_PORT port;
  DWORD requestFlags;
};

class UrlTest : public WorkerTest, public ::testing::WithParamInterface<UrlCase> {};

TEST_P(UrlTest, ConnectsOnTheSchemesPortAndSecuresHttps) {
  Worker().SendRequestAndGetResponse(GetParam().url);
  const auto& calls = fake_wininet::Calls();
  ASSERT_EQ(calls.connects.size(), 1u);
  EXPECT_EQ(calls.connects[0].port, GetParam().port);
  EXPECT_EQ(calls.connects[0].flags, kExchangeFlags) << "the connection carries no TLS flag";
  ASSERT_EQ(calls.requests.size(), 1u);
  EXPECT_EQ(calls.requests[0].flags, GetParam().requestFlags);
}

INSTANTIATE_TEST_SUITE_P(Schemes, UrlTest,
                         ::testing::Values(UrlCase{"http://service.test/x", 80, kExchangeFlags},
                                           UrlCase{"http://service.test:81/x", 81, kExchangeFlags},
                                           UrlCase{"https://service.test/x", 443,
                                                   kExchangeFlags | INTERNET_FLAG_SECURE},
                                           UrlCase{"https://service.test:8443/x", 8443,
                                                   kExchangeFlags | INTERNET_FLAG_SECURE}));

struct FailureCase {
  const char* name;
  fake_wininet::Script script;
  const char* line;  // nullptr: no line
  std::vector<std::string> calls;
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }

class FailureTest : public WorkerTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, EachFailedStepLogsItsLineAndStops) {
  fake_wininet::SetScript(GetParam().script);
  Worker().SendRequestAndGetResponse("http://service.test/x");
  EXPECT_EQ(fake_wininet::Calls().calls, GetParam().calls);
  const auto records = hostsim::LogRecords();
  if (GetParam().line == nullptr) {
    EXPECT_THAT(records, IsEmpty());
    return;
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, GetParam().line);
  EXPECT_EQ(records[0].level, 0);
  EXPECT_EQ(records[0].eventType, 6);
  EXPECT_EQ(records[0].file, "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration");
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
}

const std::vector<std::string> kAllSteps = {"InternetOpenA", "InternetSetStatusCallback",
                                            "InternetConnectA", "HttpOpenRequestA",
                                            "HttpSendRequestA"};

INSTANTIATE_TEST_SUITE_P(
    Steps, FailureTest,
    ::testing::Values(
        FailureCase{"Session",
                    Failing(&fake_wininet::Script::openFails, 8),
                    "InternetOpen failed, error   --> 8",
                    {"InternetOpenA"}},
        FailureCase{"Callback",
                    Failing(&fake_wininet::Script::setCallbackFails, 87),
                    "InternetSetStatusCallback failed, error   --> 87",
                    {"InternetOpenA", "InternetSetStatusCallback"}},
        FailureCase{"Connection",
                    Failing(&fake_wininet::Script::connectFails, 12029),
                    "InternetConnect failed, error --> 12029",
                    {"InternetOpenA", "InternetSetStatusCallback", "InternetConnectA"}},
        FailureCase{"ConnectionPending", Failing(&fake_wininet::Script::connectFails, 997), nullptr,
                    kAllSteps},
        FailureCase{
            "Request",
            Failing(&fake_wininet::Script::openRequestFails, 12005),
            "HttpOpenRequest failed, error --> 12005",
            {"InternetOpenA", "InternetSetStatusCallback", "InternetConnectA", "HttpOpenRequestA"}},
        FailureCase{"RequestPending", Failing(&fake_wininet::Script::openRequestFails, 997),
                    nullptr, kAllSteps},
        FailureCase{"Send", Failing(&fake_wininet::Script::sendFails, 12007),
                    "HttpSendRequest failed, error  --> 12007", kAllSteps},
        FailureCase{"SendAtOnce", SendingAtOnce(), nullptr, kAllSteps}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(SessionTest, APendingConnectionLeavesANullHandleThatTheRequestUses) {
  fake_wininet::SetScript(Failing(&fake_wininet::Script::connectFails, ERROR_IO_PENDING));
  Worker().SendRequestAndGetResponse("http://service.test/x");
  ASSERT_EQ(fake_wininet::Calls().requests.size(), 1u);
  EXPECT_EQ(fake_wininet::Calls().requests[0].connection, nullptr);
}

TEST_F(SessionTest, OnlyTheRequestsCompletionPostsARead) {
  struct Notification {
    DWORD_PTR context;
    DWORD status;
    DWORD error;
    std::size_t posted;
  };
  const Notification notifications[] = {
      {1, INTERNET_STATUS_REQUEST_COMPLETE, 0, 0}, {1, INTERNET_STATUS_HANDLE_CREATED, 0, 0},
      {2, INTERNET_STATUS_HANDLE_CREATED, 0, 0},   {2, INTERNET_STATUS_RESPONSE_RECEIVED, 0, 0},
      {2, INTERNET_STATUS_HANDLE_CLOSING, 0, 0},   {3, INTERNET_STATUS_REQUEST_COMPLETE, 0, 0},
      {2, INTERNET_STATUS_REQUEST_COMPLETE, 0, 1}, {2, INTERNET_STATUS_REQUEST_COMPLETE, 12029, 1},
  };
  for (const auto& notification : notifications) {
    hostsim::DiscardPendingMessages();
    INTERNET_ASYNC_RESULT result{0, notification.error};
    WebRequestStatusCallback(nullptr, notification.context, notification.status, &result,
                             sizeof result);
    EXPECT_EQ(hostsim::PendingMessageCount(), notification.posted)
        << "context " << notification.context << " status " << notification.status;
  }
}

TEST_F(SessionTest, ClosingClosesRequestConnectionThenSessionAfterRemovingTheCallback) {
  Worker().SendRequestAndGetResponse("http://service.test/x");
  const std::size_t before = fake_wininet::Calls().calls.size();
  Worker().CloseInternetHandles();
  const auto& calls = fake_wininet::Calls().calls;
  EXPECT_THAT(
      std::vector<std::string>(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end()),
      ElementsAre("InternetCloseHandle", "InternetCloseHandle", "InternetSetStatusCallback(null)",
                  "InternetCloseHandle"));
  ASSERT_EQ(fake_wininet::Calls().closed.size(), 3u);
  EXPECT_EQ(fake_wininet::Calls().closed[0], fake_wininet::LastRequest());
  EXPECT_EQ(fake_wininet::Calls().closed[2], fake_wininet::LastSession());
  EXPECT_THAT(fake_wininet::OpenHandles(), IsEmpty());
  EXPECT_EQ(Worker().SessionHandle(), nullptr);
  EXPECT_EQ(Worker().ConnectHandle(), nullptr);
  EXPECT_EQ(Worker().RequestHandle(), nullptr);

  Worker().CloseInternetHandles();
  EXPECT_EQ(fake_wininet::Calls().calls.size(), before + 4) << "a second close does nothing";
}

TEST_F(SessionTest, ANewExchangeFirstClosesWhatAnEarlierOneLeftOpen) {
  fake_wininet::SetScript(Failing(&fake_wininet::Script::sendFails, 12007));
  Worker().SendRequestAndGetResponse("http://service.test/first");
  ASSERT_EQ(fake_wininet::OpenHandles().size(), 3u) << "a failed send leaves the exchange open";
  fake_wininet::SetScript({});
  Worker().SendRequestAndGetResponse("http://service.test/second");
  EXPECT_EQ(fake_wininet::OpenHandles().size(), 3u) << "only the second exchange is open";
  EXPECT_EQ(fake_wininet::Calls().closed.size(), 3u);
  const auto& requests = fake_wininet::Calls().requests;
  EXPECT_EQ(requests[1].context, requests[0].context + 2) << "each exchange has its own context";
}

TEST_F(SessionTest, BackgroundNotificationClosesTheExchange) {
  StartExchange();
  hostsim::DeliverGoingBackground();
  EXPECT_THAT(fake_wininet::OpenHandles(), IsEmpty());
  // The completion already posted belongs to a closed exchange and does nothing.
  EXPECT_EQ(RunHost(), 1u);
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);
  EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
  EXPECT_THAT(fake_wininet::Calls().reads, IsEmpty());
}

}  // namespace
}  // namespace corvane_test
