// Closing handles at any moment of a transfer, removing the callback, and what the API
// says about handles that are closed or were never valid.
#include <atomic>
#include <chrono>
#include <thread>

#include "WinInetExchange.h"

namespace {

using namespace std::chrono_literals;

using Close = WinInetTest;

TEST_F(Close, MidTransferEndsEveryNotification) {
  ReadTarget target;
  Exchange exchange(port, "/hang");
  ASSERT_TRUE(exchange.SendAndWait());

  // Leave a read queued on the body that never ends, then close under it.
  while (target.Read(exchange.request) && target.record.dwBufferLength > 0) {
  }
  const HINTERNET request = exchange.request;
  exchange.CloseRequest();
  ASSERT_TRUE(exchange.recorder.WaitFor(INTERNET_STATUS_HANDLE_CLOSING, 1));
  const auto records = exchange.recorder.Records();
  EXPECT_EQ(records.back().status, INTERNET_STATUS_HANDLE_CLOSING);
  EXPECT_EQ(records.back().handle, request);

  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(exchange.recorder.Records().size(), records.size());
  ReadTarget late;
  EXPECT_FALSE(late.Read(request));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(Close, SessionClosesItsChildrenAndAnnouncesEach) {
  Exchange exchange(port, "/hang");
  ASSERT_TRUE(exchange.SendAndWait());
  ASSERT_TRUE(InternetCloseHandle(exchange.session));
  // Wine announces the closings from its own thread, possibly after the close returned.
  EXPECT_TRUE(exchange.recorder.WaitFor(INTERNET_STATUS_HANDLE_CLOSING, 2));
  std::size_t closings = 0;
  for (const auto& record : exchange.recorder.Records()) {
    if (record.status == INTERNET_STATUS_HANDLE_CLOSING) {
      ++closings;
      EXPECT_TRUE(record.handle == exchange.request || record.handle == exchange.connection);
    }
  }
  EXPECT_EQ(closings, 2u);
  EXPECT_FALSE(InternetCloseHandle(exchange.request));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
  exchange.session = exchange.connection = exchange.request = nullptr;
}

#ifndef _WIN32
// Wine's WinINet does not promise these; the platform layer does. A close from another
// thread waits for a callback running on the worker; a close from inside the callback
// (request, callback removal, session) does not deadlock.
TEST_F(Close, WaitsForACallbackRunningOnTheWorkerAndMayComeFromInsideIt) {
  for (const bool fromInside : {false, true}) {
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

TEST_F(Close, RemovedCallbackIsNeverCalledAgain) {
  // One target per read: with no callback the test cannot tell when a queued one is done.
  ReadTarget targets[20];
  Exchange exchange(port, "/trickle/10/20");
  ASSERT_TRUE(exchange.SendAndWait());
  // Handles created after the removal do not inherit a callback either; the request keeps
  // its own, so remove that one.
  EXPECT_EQ(InternetSetStatusCallback(exchange.request, nullptr), &Recorder::Callback);
  const std::size_t count = exchange.recorder.Records().size();
  for (auto& target : targets) {
    target.Read(exchange.request, 16, reinterpret_cast<DWORD_PTR>(&exchange.recorder));
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(exchange.recorder.Records().size(), count);
}

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
