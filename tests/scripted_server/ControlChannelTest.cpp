// The scripted server steered through its control port: what the Windows tests under Wine
// rely on when they script answers and read requests from another process.
#include <chrono>
#include <future>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <httplib.h>

#include "ControlProtocol.h"
#include "server/ControlServer.h"
#include "server/ScriptedServer.h"

namespace corvane_test {
namespace {

using namespace std::chrono_literals;

HttpAnswer Scripted(int status, std::string body, bool chunked = false,
                    std::size_t trickleBytes = 0) {
  HttpAnswer answer;
  answer.status = status;
  answer.body = std::move(body);
  answer.chunked = chunked;
  answer.trickleBytes = trickleBytes;
  answer.tricklePause = trickleBytes == 0 ? 0ms : 1ms;
  return answer;
}

class ControlChannelTest : public ::testing::Test {
protected:
  ControlChannelTest() : m_control(m_scripted), m_client("127.0.0.1", m_control.Port()),
                         m_served("127.0.0.1", m_scripted.Port()) {
    m_client.set_read_timeout(30, 0);
    m_served.set_read_timeout(30, 0);
  }

  // The control request's JSON answer; fails the test unless the status is 200.
  nlohmann::json Call(const std::string& verb, const std::string& target,
                      const std::string& body = {}) {
    httplib::Result result = verb == "GET" ? m_client.Get(target.c_str())
                             : verb == "PUT"
                                 ? m_client.Put(target.c_str(), body, "application/octet-stream")
                                 : m_client.Post(target.c_str(), body, "application/octet-stream");
    if (!result) {
      ADD_FAILURE() << verb << " " << target << ": no answer";
      return {};
    }
    EXPECT_EQ(result->status, 200) << verb << " " << target << ": " << result->body;
    auto reply = nlohmann::json::parse(result->body, nullptr, false);
    EXPECT_FALSE(reply.is_discarded()) << verb << " " << target << ": " << result->body;
    return reply;
  }

  void Script(const HttpAnswer& answer) {
    Call("PUT", control::kAnswer + control::AnswerQuery(answer), answer.body);
  }

  // The {"value": bool} answer of a GET.
  bool Flag(const std::string& target) {
    const auto reply = Call("GET", target);
    if (!reply.is_object() || !reply.contains("value") || !reply["value"].is_boolean()) {
      ADD_FAILURE() << target << ": no value in " << reply.dump();
      return false;
    }
    return reply["value"].get<bool>();
  }

  // Scripts a held answer and asks for it from another thread, which waits for it; the body
  // that thread received, nullopt when the answer broke off.
  std::future<std::optional<std::string>> AskForHeldAnswer(const std::string& heldBody = "late") {
    HttpAnswer held = Scripted(200, heldBody);
    held.holdUntilReleased = true;
    Script(held);
    auto body = std::async(std::launch::async, [this]() -> std::optional<std::string> {
      const auto result = m_served.Get("/held");
      return result ? std::optional(result->body) : std::nullopt;
    });
    EXPECT_TRUE(Flag(control::kRequestsArrived + control::WaitQuery(1, 10s)));
    return body;
  }

  ScriptedServer m_scripted;
  ControlServer m_control;
  httplib::Client m_client;
  httplib::Client m_served;
};

TEST_F(ControlChannelTest, ResetNamesTheServingPort) {
  const auto reply = Call("POST", control::kReset);
  ASSERT_TRUE(reply.is_object());
  EXPECT_EQ(reply.value("port", 0), m_scripted.Port());
  EXPECT_NE(m_scripted.Port(), m_control.Port());
}

struct ScriptedCase {
  const char* name;
  HttpAnswer answer;
};

class ScriptedAnswerTest : public ControlChannelTest,
                           public ::testing::WithParamInterface<ScriptedCase> {};

TEST_P(ScriptedAnswerTest, IsServedAsScriptedByteForByte) {
  Script(GetParam().answer);
  const auto result = m_served.Get("/any/path?x=1");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, GetParam().answer.status);
  EXPECT_EQ(result->body, GetParam().answer.body);
  EXPECT_EQ(result->has_header("Transfer-Encoding"), GetParam().answer.chunked);
  EXPECT_TRUE(Flag(control::kAnswersSent + control::WaitQuery(1, 10s)));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ScriptedAnswerTest,
    ::testing::Values(
        ScriptedCase{"Empty", Scripted(200, "")},
        ScriptedCase{"Xml", Scripted(200, "<WebControlMessage Userpref_CheckSum=\"1\"/>")},
        // Bytes that are no UTF-8 and a zero byte reach the module unchanged.
        ScriptedCase{"NotUtf8WithZeroByte", Scripted(200, std::string("caf\xE9\0x", 6))},
        ScriptedCase{"ServerError", Scripted(502, "<html/>")},
        ScriptedCase{"ChunkedAndTrickled", Scripted(200, std::string(5000, 'a'), true, 700)}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(ControlChannelTest, RequestsAreListedAsTheyArrived) {
  ASSERT_TRUE(m_served.Get("/first?a=1&b=%20"));
  ASSERT_TRUE(m_served.Get("/second"));
  EXPECT_TRUE(Flag(control::kRequestsArrived + control::WaitQuery(2, 10s)));
  const auto requests = control::RequestsFrom(Call("GET", control::kRequests));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/first?a=1&b=%20");
  EXPECT_EQ(requests[0].version, "HTTP/1.1");
  EXPECT_EQ(requests[1].target, "/second");
}

TEST_F(ControlChannelTest, AWaitForMoreThanArrivesEndsFalseAtItsLimit) {
  EXPECT_FALSE(Flag(control::kRequestsArrived + control::WaitQuery(1, 50ms)));
  EXPECT_FALSE(Flag(control::kAnswersSent + control::WaitQuery(1, 50ms)));
}

TEST_F(ControlChannelTest, AHeldAnswerWaitsForRelease) {
  auto body = AskForHeldAnswer();
  EXPECT_FALSE(Flag(control::kAnswersSent + control::WaitQuery(1, 0ms)));
  Call("POST", control::kRelease);
  EXPECT_EQ(body.get(), "late");
  EXPECT_TRUE(Flag(control::kAnswersSent + control::WaitQuery(1, 10s)));
  EXPECT_TRUE(Flag(control::kReleasedInTime));
}

// A test that ends with an answer still held or trickling must not leave it to the next one.
TEST_F(ControlChannelTest, ResetCutsAnswersUnderWayShortAndForgetsEverything) {
  for (const std::string held : {"late", ""}) {
    SCOPED_TRACE("held body \"" + held + "\"");
    auto body = AskForHeldAnswer(held);
    Call("POST", control::kReset);
    EXPECT_EQ(body.get(), std::nullopt) << "the held answer was sent after the reset";
    EXPECT_TRUE(Flag(control::kReleasedInTime));
    EXPECT_TRUE(Call("GET", control::kRequests).empty());
    EXPECT_FALSE(Flag(control::kAnswersSent + control::WaitQuery(1, 0ms)));
  }

  // The answer is back to its default: an empty 200.
  const auto fresh = m_served.Get("/fresh");
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->status, 200);
  EXPECT_EQ(fresh->body, "");
}

struct MalformedCase {
  const char* name;
  bool put;  // PUT with a body, otherwise GET
  const char* target;
};

class MalformedControlTest : public ControlChannelTest,
                             public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedControlTest, IsRefusedAndChangesNothing) {
  Script(Scripted(201, "kept"));
  const auto refused = GetParam().put ? m_client.Put(GetParam().target, "x", "text/plain")
                                      : m_client.Get(GetParam().target);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 400);
  const auto served = m_served.Get("/");
  ASSERT_TRUE(served);
  EXPECT_EQ(served->status, 201);
  EXPECT_EQ(served->body, "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Requests, MalformedControlTest,
    ::testing::Values(
        MalformedCase{"AnswerWithoutSettings", true, "/answer"},
        MalformedCase{"AnswerWithNegativeStatus", true,
                      "/answer?status=-1&chunked=0&trickleBytes=0&tricklePauseMs=0&hold=0"},
        MalformedCase{"AnswerWithHugeNumber", true,
                      "/answer?status=200&chunked=0&trickleBytes=99999999999999&tricklePauseMs=0&"
                      "hold=0"},
        MalformedCase{"WaitWithoutCount", false, "/requests-arrived?timeoutMs=1"},
        MalformedCase{"WaitWithTextForTime", false, "/answers-sent?count=1&timeoutMs=soon"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

}  // namespace
}  // namespace corvane_test
