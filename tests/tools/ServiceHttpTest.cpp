// corvane-service over HTTP on loopback: the checksum parameter, any path, sets added while it
// runs, parallel clients, a port in use. (Its delay option is exercised by end-to-end.sh.)
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "MessageService.h"
#include "MessageSetFolder.h"

namespace fs = std::filesystem;
using namespace corvane::service;

namespace {

class RunningService {
 public:
  explicit RunningService(ServiceOptions options) : m_service(options, m_log, m_warnings) {
    m_port = m_service.Bind();
    if (m_port > 0) {
      m_thread = std::thread([this] { m_service.Serve(); });
      m_serving = m_service.WaitUntilServing(std::chrono::seconds(10));
    }
  }
  ~RunningService() {
    m_service.Stop();
    if (m_thread.joinable()) m_thread.join();
  }
  int Port() const { return m_serving ? m_port : -1; }
  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", m_port);
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    return client;
  }
  std::string Log() const { return m_log.str(); }

 private:
  std::ostringstream m_log;
  std::ostringstream m_warnings;
  MessageService m_service;
  int m_port = -1;
  bool m_serving = false;
  std::thread m_thread;
};

class ServiceHttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = fs::temp_directory_path() / ("corvane-service-http-" + std::to_string(::getpid()));
    fs::remove_all(m_folder);
    fs::create_directories(m_folder);
    std::ofstream(m_folder / "set.xml") << "<Messages><M>hello</M></Messages>";
    m_options.folder = m_folder;
    m_options.checksumParameter = "sum";
  }
  void TearDown() override { fs::remove_all(m_folder); }
  std::string CurrentChecksum() const {
    return MessageSetFolder(m_folder, nullptr).Current()->checksum;
  }

  fs::path m_folder;
  ServiceOptions m_options;
};

bool IsNoOperation(const httplib::Result& result) {
  return result && result->body.find("<NoOperation/>") != std::string::npos &&
         result->body.find("<Messages>") == std::string::npos;
}

}  // namespace

TEST_F(ServiceHttpTest, AnswersAnyPathWithTheSetUnlessTheChecksumIsCurrent) {
  const RunningService service(m_options);
  ASSERT_GT(service.Port(), 0);
  auto client = service.Client();
  const std::string checksum = CurrentChecksum();

  const auto first = client.Get("/messages?App.Version=27&sum=0");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 200);
  EXPECT_EQ(first->get_header_value("Content-Type"), "text/xml; charset=utf-8");
  EXPECT_NE(first->body.find("Userpref_CheckSum=\"" + checksum + "\""), std::string::npos);
  EXPECT_NE(first->body.find("<Messages><M>hello</M></Messages>"), std::string::npos);

  EXPECT_TRUE(IsNoOperation(client.Get(("/any/other/path?sum=" + checksum).c_str())));
  // The parameter is percent-decoded before the comparison.
  char escape[4];
  std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(checksum[0]));
  const std::string encoded = escape + checksum.substr(1);
  EXPECT_TRUE(IsNoOperation(client.Get(("/?sum=" + encoded).c_str()))) << encoded;
  // Another parameter with the value does not count.
  EXPECT_FALSE(IsNoOperation(client.Get(("/?cs=" + checksum).c_str())));

  const std::string log = service.Log();
  EXPECT_NE(log.find("GET /messages?App.Version=27&sum=0 -> 200 set.xml, checksum " + checksum),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("-> 200 NoOperation"), std::string::npos) << log;
}

// Without any set the answer is 503; a set added while the service runs is served at once.
TEST_F(ServiceHttpTest, SetsAddedToTheFolderAreServedAtOnce) {
  fs::remove(m_folder / "set.xml");
  const RunningService service(m_options);
  ASSERT_GT(service.Port(), 0);
  auto client = service.Client();
  const auto none = client.Get("/");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->status, 503);
  std::ofstream(m_folder / "set.xml") << "<Messages><M>first</M></Messages>";
  const std::string before = CurrentChecksum();
  std::ofstream(m_folder / "zz-newer.xml") << "<Messages><M>newer</M></Messages>";
  const auto answer = client.Get(("/?sum=" + before).c_str());
  ASSERT_TRUE(answer);
  EXPECT_NE(answer->body.find("newer"), std::string::npos);
  EXPECT_EQ(answer->body.find(before), std::string::npos);
}

TEST_F(ServiceHttpTest, ParallelClientsAllGetWholeAnswers) {
  const RunningService service(m_options);
  ASSERT_GT(service.Port(), 0);
  constexpr int kClients = 8;
  std::vector<std::future<bool>> results;
  for (int i = 0; i < kClients; ++i) {
    results.push_back(std::async(std::launch::async, [&service, i] {
      auto client = service.Client();
      for (int round = 0; round < 5; ++round) {
        const auto answer = client.Get(("/?sum=" + std::to_string(i)).c_str());
        if (!answer || answer->status != 200 ||
            answer->body.find("</WebControlMessage>") == std::string::npos) {
          return false;
        }
      }
      return true;
    }));
  }
  for (auto& result : results) EXPECT_TRUE(result.get());
}

TEST_F(ServiceHttpTest, ABoundPortCannotBeBoundTwice) {
  const RunningService first(m_options);
  ASSERT_GT(first.Port(), 0);
  m_options.port = first.Port();
  std::ostringstream log;
  MessageService second(m_options, log, log);
  EXPECT_EQ(second.Bind(), -1);
}
