// The message file: its name, its exact bytes, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FileReplacement.h"
#include "HostProfile.h"
#include "StoreExpectations.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

using corvane_test::ExpectOnlyCrLfLineBreaks;
using corvane_test::FilesIn;
using corvane_test::HostProfile;
using corvane_test::ReadBytes;
using corvane_test::Worker;

using corvane_test::kDeclaration;

std::string Answer(const std::string& checksum, const std::string& messages) {
  return "<WebControlMessage Userpref_CheckSum=\"" + checksum + "\">" + messages +
         "</WebControlMessage>";
}

class MessageFileTest : public ::testing::Test {
 protected:
  std::string MessageFile(const std::string& name) const {
    return ReadBytes(profile.messagesFolder / name).value_or("<missing>");
  }

  HostProfile profile;
};

TEST_F(MessageFileTest, HoldsDeclarationThenMessagesMarkupWithCrLfAndNoFinalBreak) {
  // The body reaches the parser through the ANSI code page; é is written in it.
  const std::string eAcute = GetACP() == 65001 ? "\xC3\xA9" : "\xE9";
  Worker().ProcessResponse(Answer("1234", "<Messages><Message id=\"1\">Line one\nLine two " +
                                              eAcute + "</Message></Messages>")
                               .c_str());

  const std::string bytes = MessageFile("1234WebTSMFile.xmf");
  ASSERT_GE(bytes.size(), 39u);
  EXPECT_EQ(bytes.substr(0, 39), kDeclaration);
  EXPECT_EQ(bytes.substr(39, 10), "<Messages>");
  ExpectOnlyCrLfLineBreaks(bytes);
  EXPECT_NE(bytes.find("Line one\r\nLine two " + eAcute + "</Message>"), std::string::npos)
      << bytes;
  EXPECT_EQ(bytes.substr(bytes.size() - 11), "</Messages>");
#ifndef _WIN32
  EXPECT_EQ(bytes, std::string(kDeclaration) + "<Messages><Message id=\"1\">Line one\r\nLine two " +
                       eAcute + "</Message></Messages>");
#endif
  EXPECT_EQ(profile.RecordedCheckSum(), "1234");
  const auto records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, corvane_test::kSavedLine);
  EXPECT_EQ(records[0].level, 0);
  EXPECT_EQ(records[0].eventType, 6);
  EXPECT_EQ(records[0].function, "CorvaneConfiguration::SaveXMF");
}

TEST_F(MessageFileTest, SameCheckSumOverwritesAnotherGoesBesideAndOnlyTheFirstSetIsStored) {
  Worker().ProcessResponse(
      Answer("1234", "\r\n<Messages>\r\n\t<M>first</M>\r\n</Messages>\r\n").c_str());
  const std::string indented = MessageFile("1234WebTSMFile.xmf");
  EXPECT_EQ(indented.find("\r\r"), std::string::npos);
  ExpectOnlyCrLfLineBreaks(indented);
  EXPECT_NE(indented.back(), '\n');
  Worker().ProcessResponse(Answer("1234",
                                  "<Messages><M>second</M></Messages><Messages><M>third</M>"
                                  "</Messages>")
                               .c_str());
  EXPECT_EQ(MessageFile("1234WebTSMFile.xmf").find("first"), std::string::npos);
  EXPECT_NE(MessageFile("1234WebTSMFile.xmf").find("second"), std::string::npos);
  EXPECT_EQ(MessageFile("1234WebTSMFile.xmf").find("third"), std::string::npos);

  Worker().ProcessResponse(Answer("1235", "<Messages><M>third</M></Messages>").c_str());
  EXPECT_EQ(FilesIn(profile.messagesFolder),
            (std::set<std::string>{"1234WebTSMFile.xmf", "1235WebTSMFile.xmf"}));
  EXPECT_EQ(profile.RecordedCheckSum(), "1235");
  EXPECT_EQ(corvane_test::CountLogLines(corvane_test::kSavedLine), 3);
}

#ifndef _WIN32
// A full disk, made by a file-size limit: the write fails part-way, the previous file stays
// whole, no temporary file is left and the previous checksum stays recorded.
TEST_F(MessageFileTest, FullDiskLeavesPreviousFileAndCheckSum) {
  Worker().ProcessResponse(Answer("1234", "<Messages><M>old</M></Messages>").c_str());
  const std::string previous = MessageFile("1234WebTSMFile.xmf");
  ASSERT_NE(previous.find("old"), std::string::npos);
  profile.RecordCheckSum("previous");
  hostsim::ClearLog();

  rlimit original{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = original;
  small.rlim_cur = 200;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Worker().ProcessResponse(
      Answer("1234", "<Messages><M>" + std::string(5000, 'n') + "</M></Messages>").c_str());
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &original), 0);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(MessageFile("1234WebTSMFile.xmf"), previous);
  EXPECT_EQ(FilesIn(profile.messagesFolder), std::set<std::string>{"1234WebTSMFile.xmf"});
  EXPECT_EQ(profile.RecordedCheckSum(), "previous");
  EXPECT_TRUE(hostsim::LogRecords().empty());
}
#endif

// Writers storing the same message file at the same moment: threads of this process and, on
// Linux, a second process forked with the same per-process state. None takes another's
// temporary file: the file holds one writer's content whole and no temporary file is left.
TEST_F(MessageFileTest, ConcurrentWritersNeverShareATemporaryFile) {
  const std::string target = (profile.messagesFolder / "1234WebTSMFile.xmf").string();
  constexpr int kStores = 25;
  const auto content = [](int writer) {
    return std::string(30000, static_cast<char>('a' + writer));
  };
  const auto store = [&](int writer) {
    int stored = 0;
    for (int i = 0; i < kStores; ++i)
      stored += corvane::ReplaceFileContent(target.c_str(), content(writer)) ? 1 : 0;
    return stored;
  };
#ifndef _WIN32
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(store(3) == kStores ? 0 : 1);
#endif
  std::vector<int> stored(3, 0);
  std::vector<std::thread> threads;
  for (int writer = 0; writer < 3; ++writer) {
    threads.emplace_back([&, writer] { stored[static_cast<std::size_t>(writer)] = store(writer); });
  }
  for (auto& thread : threads) thread.join();
#ifndef _WIN32
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the second process failed a store";
#endif
#ifndef _WIN32
  EXPECT_EQ(stored, std::vector<int>(3, kStores));
#else
  // Windows refuses to rename over a file that another writer's rename still holds open;
  // such a store fails cleanly (checked below), but none may fail for want of a name.
  EXPECT_GT(stored[0] + stored[1] + stored[2], 0);
#endif
  const std::string bytes = MessageFile("1234WebTSMFile.xmf");
  ASSERT_EQ(bytes.size(), 30000u);
  EXPECT_EQ(bytes, std::string(bytes.size(), bytes[0])) << "one writer's content, whole";
  EXPECT_EQ(FilesIn(profile.messagesFolder), std::set<std::string>{"1234WebTSMFile.xmf"});
}

}  // namespace
