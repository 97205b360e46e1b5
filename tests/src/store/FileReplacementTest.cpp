// Replacing the message file: writers at the same moment leave one new file whole, and no
// temporary file (the fault matrix of tests/src/http fails a replacement part-way).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FileReplacement.h"
#include "HostProfile.h"
#include "StoreExpectations.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using corvane_test::FilesIn;
using corvane_test::ReadBytes;

// Writers storing the same message file at the same moment: threads of this process and, on
// Linux, a second process forked with the same per-process state. None takes another's
// temporary file: the file holds one writer's content whole and no temporary file is left.
TEST(FileReplacementTest, ConcurrentWritersNeverShareATemporaryFile) {
  const corvane_test::HostProfile profile;
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
  EXPECT_EQ(stored, std::vector<int>(3, kStores));
#else
  // Windows refuses to rename over a file that another writer's rename still holds open;
  // such a store fails cleanly (checked below), but none may fail for want of a name.
  EXPECT_GT(stored[0] + stored[1] + stored[2], 0);
#endif
  const std::string bytes = ReadBytes(target).value_or("");
  ASSERT_EQ(bytes.size(), 30000u);
  EXPECT_EQ(bytes, std::string(bytes.size(), bytes[0])) << "one writer's content, whole";
  EXPECT_EQ(FilesIn(profile.messagesFolder), std::set<std::string>{"1234WebTSMFile.xmf"});
}

}  // namespace
