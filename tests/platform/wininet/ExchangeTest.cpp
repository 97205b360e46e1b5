// Exchanges against the scripted server's fixed routes: a huge body read late in full reads,
// what goes on the wire, closing while a callback runs, and handles that were never valid.
// Bodies of the sizes, encodings and statuses the module meets, failed connections and closing
// in the middle of a transfer are checked through the module over both WinINets (tests/src/http).
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "WinInetExchange.h"

namespace {

using namespace std::chrono_literals;

// A body far larger than the most the layer holds for a reader: the transfer runs into that
// limit before the first read, pauses, and resumes as the reader catches up. Each read asks
// for more than is ever held, and completes only with its buffer full, as WinINet's reads
// without IRF_NO_WAIT do: a read handed what had come so far, while the body went on, would
// make more reads than full buffers.
TEST_F(WinInetTest, HugeBodyArrivesWholeInFullReadsForALateReader) {
  constexpr std::size_t kHuge = 4 * 1024 * 1024;
  constexpr DWORD kRead = 128 * 1024;
  Exchange exchange(port, ("/bytes/" + std::to_string(kHuge)).c_str());
  const auto complete = exchange.SendAndWait();
  ASSERT_TRUE(complete);
  EXPECT_NE(complete->result, 0u);
  EXPECT_EQ(complete->error, 0u);
  EXPECT_EQ(complete->handle, exchange.request);
  EXPECT_NE(complete->thread, std::this_thread::get_id());

  std::this_thread::sleep_for(200ms);
  const ReadOutcome read = exchange.ReadAll(kRead);
  ASSERT_TRUE(read.ok) << "read error " << read.error;
  ASSERT_EQ(read.body.size(), kHuge);
  EXPECT_TRUE(read.body == corvane_test::BodyPattern(kHuge));
  EXPECT_EQ(read.reads, kHuge / kRead);
}

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

#ifndef _WIN32
// Wine's WinINet does not promise these; the platform layer does. A close from another
// thread waits for a callback running on the worker; a close from inside the callback
// (request, callback removal, session) does not deadlock, and the next send's worker joins
// the one that the close from inside ended.
TEST_F(WinInetTest, CloseWaitsForACallbackRunningOnTheWorkerAndMayComeFromInsideIt) {
  for (const bool fromInside : {true, false}) {
    SCOPED_TRACE(fromInside ? "from inside" : "from another thread");
    Exchange exchange(port, "/bytes/100");
    std::atomic<bool> inCallback{false};
    std::atomic<bool> callbackDone{false};
    exchange.recorder.onStatus = [&, session = exchange.session,
                                  request = exchange.request](const StatusRecord& record) {
      if (record.status != INTERNET_STATUS_REQUEST_COMPLETE) return;
      inCallback = true;
      if (fromInside) {
        InternetCloseHandle(request);
        InternetSetStatusCallback(session, nullptr);
        InternetCloseHandle(session);
      } else {
        std::this_thread::sleep_for(200ms);
      }
      callbackDone = true;
    };
    HttpSendRequestA(exchange.request, nullptr, 0, nullptr, 0);
    while (!inCallback) std::this_thread::sleep_for(1ms);
    if (fromInside) {
      for (int i = 0; i < 500 && !callbackDone; ++i) std::this_thread::sleep_for(10ms);
      exchange.session = exchange.connection = exchange.request = nullptr;
    } else {
      exchange.CloseRequest();
    }
    EXPECT_TRUE(callbackDone);
  }
}
#endif

// Invalid handles are refused; setting a callback returns the one before.
TEST(Api, HandlesAndCallbacks) {
  ReadTarget target;
  EXPECT_FALSE(target.Read(nullptr));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
  EXPECT_FALSE(InternetCloseHandle(nullptr));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
  EXPECT_EQ(InternetSetStatusCallback(nullptr, &Recorder::Callback),
            INTERNET_INVALID_STATUS_CALLBACK);

  HINTERNET session =
      InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(InternetSetStatusCallback(session, &Recorder::Callback), nullptr);
  EXPECT_EQ(InternetSetStatusCallback(session, nullptr), &Recorder::Callback);
#ifndef _WIN32
  HINTERNET connection =
      InternetConnectA(session, "127.0.0.1", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1);
  // Wine answers a read before the send with TRUE and nothing; the platform layer refuses it.
  HINTERNET request = HttpOpenRequestA(connection, "GET", "/", nullptr, nullptr, nullptr, 0, 1);
  EXPECT_FALSE(target.Read(request));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INTERNET_INCORRECT_HANDLE_STATE});
#endif
  EXPECT_TRUE(InternetCloseHandle(session));
}

}  // namespace
