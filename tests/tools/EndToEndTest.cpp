// corvane-service and corvane-host as processes, as a user runs them: the module is loaded by
// the host program and talks to the service on loopback.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "ChildProcess.h"
#include "FileText.h"
#include "ParamName.h"

namespace fs = std::filesystem;
using corvane::test::ChildProcess;
using corvane::test::Finished;
using corvane::test::RunToEnd;
using namespace std::chrono_literals;

namespace {

constexpr auto kProcessLimit = 30s;

// A port on 127.0.0.1 that nothing listens on (bound, then released).
int ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

class Service {
 public:
  explicit Service(std::vector<std::string> options = {}) {
    std::vector<std::string> arguments = {CORVANE_SERVICE_PROGRAM};
    arguments.insert(arguments.end(), options.begin(), options.end());
    m_process = std::make_unique<ChildProcess>(arguments);
    const auto first = m_process->ReadLine(10s);
    std::smatch match;
    static const std::regex kListening("listening on 127\\.0\\.0\\.1:([0-9]+)");
    if (first && std::regex_match(*first, match, kListening)) m_port = std::stoi(match[1]);
  }
  ~Service() { Stop(); }
  int Port() const { return m_port; }
  int Stop() {
    m_process->Signal(SIGTERM);
    return m_process->Wait(10s);
  }
  const std::string& Log() const { return m_process->Stdout(); }

 private:
  std::unique_ptr<ChildProcess> m_process;
  int m_port = -1;
};

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_profile = fs::temp_directory_path() /
                ("corvane-e2e-" + std::string(info->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(m_profile);
  }
  void TearDown() override { fs::remove_all(m_profile); }

  Finished Host(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), CORVANE_HOST_PROGRAM);
    return RunToEnd(arguments, kProcessLimit);
  }
  void Init(int port) const {
    const Finished init = Host({"init", m_profile.string(), "--url",
                                "http://127.0.0.1:" + std::to_string(port) + "/messages", "--var",
                                "CheckSum:cs", "--var", "App.Version=27"});
    ASSERT_EQ(init.exitCode, 0) << init.err;
  }
  fs::path Messages() const { return m_profile / "base/components/messages"; }
  std::vector<fs::path> MessageFiles() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(Messages())) files.push_back(entry.path());
    return files;
  }
  std::string Ini() const { return ReadFileText(m_profile / "data.ini"); }

  fs::path m_profile;
};

std::string ChecksumOfFirstAnswer(const std::string& serviceLog) {
  static const std::regex kAnswer("checksum ([0-9a-f]{16})");
  std::smatch match;
  return std::regex_search(serviceLog, match, kAnswer) ? match[1].str() : std::string();
}

}  // namespace

TEST_F(EndToEnd, FirstActivationStoresTheSetAndTheSecondIsAnsweredWithNoOperation) {
  Service service;
  ASSERT_GT(service.Port(), 0);
  Init(service.Port());

  const Finished first = Host({m_profile.string()});
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  EXPECT_NE(first.out.find("Sending the TSM request"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("Received the response and saved"), std::string::npos) << first.out;

  const Finished second = Host({m_profile.string()});
  ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
  EXPECT_EQ(second.out.find("Received the response and saved"), std::string::npos);
  EXPECT_EQ(second.err.find("message file written"), std::string::npos) << second.err;

  ASSERT_EQ(service.Stop(), 0);
  const std::string log = service.Log();
  const std::string checksum = ChecksumOfFirstAnswer(log);
  ASSERT_FALSE(checksum.empty()) << log;
  EXPECT_NE(log.find("GET /messages?cs=0&App.Version=27 -> 200 2024-02-spring.xml"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("GET /messages?cs=" + checksum + "&App.Version=27 -> 200 NoOperation"),
            std::string::npos)
      << log;

  const auto files = MessageFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename(), checksum + "WebTSMFile.xmf");
  const std::string stored = ReadFileText(files[0]);
  EXPECT_TRUE(stored.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\" ?><Messages>"))
      << stored;
  EXPECT_NE(stored.find("Bis Ende M\xC3\xA4rz f\xC3\xBCr nur 49 \xE2\x82\xAC."), std::string::npos);
  EXPECT_NE(first.err.find("message file written: " + files[0].string()), std::string::npos);
  EXPECT_NE(Ini().find("CheckSum=" + checksum), std::string::npos) << Ini();
  EXPECT_NE(second.err.find("[WEBTSM] CheckSum = " + checksum), std::string::npos) << second.err;
}

TEST_F(EndToEnd, JsonLogLinesCarryEveryFieldOfTheRecord) {
  Service service;
  Init(service.Port());
  const Finished run = Host({m_profile.string(), "--json", "--entry", "setup"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::istringstream lines(run.out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    const auto record = nlohmann::json::parse(line);
    for (const char* key :
         {"level", "eventType", "file", "line", "function", "signature", "text"}) {
      EXPECT_TRUE(record.contains(key)) << key << " in " << line;
    }
    ++count;
  }
  EXPECT_EQ(count, 2) << run.out;  // the request sent, the answer saved
}

TEST_F(EndToEnd, RefusedConnectionEndsTheRoundWithoutAFile) {
  Init(ClosedPort());
  const Finished run = Host({m_profile.string(), "--timeout-ms", "20000"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("1 requests sent, 1 completions"), std::string::npos) << run.err;
  EXPECT_TRUE(MessageFiles().empty());
  EXPECT_EQ(Ini().find("CheckSum"), std::string::npos);
}

TEST_F(EndToEnd, GoingToTheBackgroundClosesAnExchangeInFlight) {
  Service service({"--delay-ms", "1500"});
  Init(service.Port());
  const Finished run = Host({m_profile.string(), "--background-after", "200"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("went to the background"), std::string::npos) << run.err;
  EXPECT_TRUE(MessageFiles().empty());
}

TEST_F(EndToEnd, AnAnswerLaterThanTheTimeLimitExitsWithFour) {
  Service service({"--delay-ms", "1500"});
  Init(service.Port());
  const Finished run = Host({m_profile.string(), "--timeout-ms", "300"});
  EXPECT_EQ(run.exitCode, 4) << run.out << run.err;
  EXPECT_NE(run.err.find("time limit passed"), std::string::npos) << run.err;
}

TEST_F(EndToEnd, SeveralRoundsInOneProcessStoreOnceAndThenAskWithTheChecksum) {
  Service service;
  Init(service.Port());
  const Finished run = Host({m_profile.string(), "--rounds", "3"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(service.Stop(), 0);
  std::size_t noOperations = 0;
  for (auto at = service.Log().find("NoOperation"); at != std::string::npos;
       at = service.Log().find("NoOperation", at + 1)) {
    ++noOperations;
  }
  EXPECT_EQ(noOperations, 2u) << service.Log();
  EXPECT_EQ(MessageFiles().size(), 1u);
}

// Each call closes the exchange before it, which sees no completion; the round still ends
// once the last answer is stored.
TEST_F(EndToEnd, OverlappingCallsOfARoundStoreTheLastAnswer) {
  Service service;
  Init(service.Port());
  const Finished run = Host({m_profile.string(), "--calls", "3", "--timeout-ms", "5000"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("3 requests sent"), std::string::npos) << run.err;
  EXPECT_EQ(MessageFiles().size(), 1u);
  EXPECT_NE(Ini().find("CheckSum="), std::string::npos) << Ini();
}

struct RefusedRun {
  const char* name;
  const char* profileJson;
  std::vector<std::string> options;
  int exitCode;
  const char* messagePart;
};

class HostRefuses : public EndToEnd, public ::testing::WithParamInterface<RefusedRun> {};

TEST_P(HostRefuses, WithAClearMessageAndExitCode) {
  Init(ClosedPort());
  std::ofstream(m_profile / "profile.json") << GetParam().profileJson;
  std::vector<std::string> arguments = {m_profile.string()};
  arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
  const Finished run = Host(arguments);
  EXPECT_EQ(run.exitCode, GetParam().exitCode);
  EXPECT_NE(run.err.find(GetParam().messagePart), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty()) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostRefuses,
    ::testing::Values(
        // A bad profile is reported before any module is looked at.
        RefusedRun{"BadProfile",
                   R"({"evaluator": {"variables": {"v": {"tag": 1.5}}}})",
                   {"--module", "/nonexistent/libCorvane.so"},
                   2,
                   "profile.json: evaluator.variables.v.tag: must be an integer, not a number"},
        RefusedRun{"MissingModule",
                   "{}",
                   {"--module", "/nonexistent/libCorvane.so"},
                   3,
                   "/nonexistent/libCorvane.so: cannot be loaded"},
        RefusedRun{"UnknownOption", "{}", {"--colour"}, 1, "unknown option --colour"}),
    ParamName());
