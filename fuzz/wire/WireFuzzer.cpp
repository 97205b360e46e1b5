// Any bytes as a server's whole reply (status line, headers, body, chunking, an early close),
// written by a raw responder on 127.0.0.1 to the module's request, which goes through the
// platform's WinINet and the module's reading. Checks: at most 64 KiB of body held for the
// reader, at most 25 reads taken per answer (and one more that finds it too long), a stored
// answer consistent with the recorded checksum, no exception out of a message, and every
// WinINet handle closed once the module lets go of the exchange.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CorvaneConfiguration.h"
#include "FuzzProfile.h"
#include "FuzzSupport.h"
#include "LoopbackSocket.h"
#include "platform/linux/PlatformTestSupport.h"

namespace {

using corvane_fuzz::Fail;
using corvane_fuzz::Require;

constexpr std::chrono::milliseconds kAcceptLimit{10000};
constexpr std::size_t kMaxBuffered = 64 * 1024;
constexpr const char* kHugeLine = "TBD: huge response";

// Whether the descriptor becomes readable before `deadline`; libFuzzer's timer signal does not
// cut the wait short.
bool WaitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
  while (true) {
    pollfd ready{fd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const int result = ::poll(&ready, 1, static_cast<int>(std::max<long>(left.count(), 0)));
    if (result >= 0 || errno != EINTR) return result == 1;
  }
}

// The next connection to `listener` within `wait`, or -1 (with the reason in errno).
int Accept(int listener, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (WaitReadable(listener, deadline)) {
    const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    // A connection its client gave up before it was taken is passed over.
    if (connection >= 0 || (errno != ECONNABORTED && errno != EAGAIN && errno != EINTR)) {
      return connection;
    }
  }
  return -1;
}

// Closes the connections waiting to be taken.
void Drain(int listener) {
  for (int extra = Accept(listener, {}); extra >= 0; extra = Accept(listener, {})) ::close(extra);
}

// Takes the request head (or what comes within a moment), writes the reply and closes.
void Answer(int connection, const std::uint8_t* reply, std::size_t size) {
  std::string head;
  char chunk[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 &&
         WaitReadable(connection, std::chrono::steady_clock::now() + std::chrono::seconds(2))) {
    const ssize_t got = ::recv(connection, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    head.append(chunk, static_cast<std::size_t>(got));
  }
  for (std::size_t sent = 0; sent < size;) {
    const ssize_t wrote = ::send(connection, reply + sent, size - sent, MSG_NOSIGNAL);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;  // the client closed first
    sent += static_cast<std::size_t>(wrote);
  }
  ::shutdown(connection, SHUT_RDWR);
  ::close(connection);
}

// Runs the host's messages until the exchange raises nothing more by itself. A connection
// that a redirection opens to the responder is closed unanswered.
void RunUntilSettled(int listener) {
  const CorvaneConfiguration& worker = *CorvaneConfiguration::GetInstance();
  while (true) {
    Drain(listener);
    if (hostsim::PendingMessageCount() > 0) {
      hostsim::RunPendingMessages();
      continue;
    }
    // Settled first, then nothing queued: a notification raised in between is queued.
    if (PlatformInternetRequestSettled(worker.RequestHandle()) &&
        hostsim::PendingMessageCount() == 0) {
      return;
    }
    hostsim::WaitForMessage(std::chrono::milliseconds(1));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A redirection to anywhere but 127.0.0.1 goes to a proxy on a closed loopback port.
  for (const char* variable :
       {"http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "ALL_PROXY"}) {
    ::setenv(variable, "http://127.0.0.1:1", 1);
  }
  ::setenv("no_proxy", "127.0.0.1", 1);
  ::unsetenv("NO_PROXY");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const corvane_test::LoopbackSocket listener(true);
  static const std::string url =
      "http://127.0.0.1:" + std::to_string(listener.port) + "/tsm/get?cs=0";
  static const corvane_fuzz::FuzzProfile profile("wire");
  profile.Reset("previous");
  CorvaneConfiguration& worker = *CorvaneConfiguration::GetInstance();
  const std::size_t readsBefore = PlatformInternetReadCalls();
  const std::uint64_t failedBefore = hostsim::MessagesFailed();

  Drain(listener.Native());  // whatever a redirection of an earlier reply left behind
  worker.SendRequestAndGetResponse(url.c_str());
  const int connection = Accept(listener.Native(), kAcceptLimit);
  if (connection < 0) {
    std::string log;
    for (const auto& line : hostsim::LogTexts()) log += "\n  " + line;
    Fail("the request never reached 127.0.0.1 (" + std::string(std::strerror(errno)) +
         "); the module logged:" + log);
  }
  Answer(connection, data, size);
  RunUntilSettled(listener.Native());

  const auto log = hostsim::LogTexts();
  const bool huge = std::ranges::find(log, kHugeLine) != log.end();
  const std::size_t reads = PlatformInternetReadCalls() - readsBefore;
  Require(reads <= CorvaneConfiguration::kMaxReadsPerAnswer + 1,
          std::to_string(reads) + " reads for one answer");
  Require(PlatformPeakBufferedBody() <= kMaxBuffered,
          std::to_string(PlatformPeakBufferedBody()) + " body bytes held for the reader");
  Require(hostsim::MessagesFailed() == failedBefore, "an exception left a message");
  Require(!profile.CheckStore("previous") || !huge, "an answer abandoned as too long was stored");

  // Whatever the module keeps open, it closes when it lets go of the exchange.
  worker.CloseInternetHandles();
  Require(PlatformOpenInternetHandles() == 0,
          std::to_string(PlatformOpenInternetHandles()) + " WinINet handles left open");
  return 0;
}
