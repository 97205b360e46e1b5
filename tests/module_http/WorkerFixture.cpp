#include "WorkerFixture.h"

#include <filesystem>

namespace corvane_test {

std::deque<fake_wininet::ReadStep> AsReads(const std::string& body) {
  std::deque<fake_wininet::ReadStep> reads;
  for (std::size_t at = 0; at < body.size(); at += kChunk) {
    reads.push_back(fake_wininet::Bytes(body.substr(at, kChunk)));
  }
  reads.push_back(fake_wininet::Bytes(""));
  return reads;
}

WorkerTest::WorkerTest() {
  Worker().CloseInternetHandles();  // whatever an earlier test left, on the fake it was opened on
  fake_wininet::Reset();
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
}

WorkerTest::~WorkerTest() {
  hostsim::DiscardPendingMessages();
  Worker().CloseInternetHandles();
  EXPECT_TRUE(fake_wininet::Calls().badCloses.empty()) << "a handle was closed twice";
}

void WorkerTest::StartExchange(const char* url) {
  Worker().SendRequestAndGetResponse(url);
  ASSERT_EQ(hostsim::PendingMessageCount(), 0u) << "nothing is read before the send completes";
  fake_wininet::CompleteSend();
  ASSERT_EQ(hostsim::PendingMessageTypes(), std::vector<std::string>{"DelayedWebRequest"});
}

std::string WorkerTest::MessageFile(const std::string& checksum) const {
  return ReadBytes(m_profile.messagesFolder / (checksum + "WebTSMFile.xmf")).value_or("");
}

std::size_t WorkerTest::MessageFileCount() const {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator(m_profile.messagesFolder)) {
    ++count;
  }
  return count;
}

}  // namespace corvane_test
