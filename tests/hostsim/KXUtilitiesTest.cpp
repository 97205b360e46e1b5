// The stand-in KXUtilities: the checking allocator's corruption checks, the log under load,
// and what the module's tests do not reach of the rest.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TString.h"
#include "host/ConditionEvaluator.h"
#include "host/KXUtilities.h"
#include "hostsim/HostSim.h"

namespace {

class KXUtilities : public ::testing::Test {
 protected:
  void SetUp() override { hostsim::Reset(); }
  void TearDown() override {
    hostsim::SetLogObserver(nullptr);
    hostsim::Reset();
  }
};

void Overwrite(const Util::TString& s, std::size_t offset) {
  auto* block = const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(s.Header()));
  std::memset(block + offset, 0x11, 4);
}

struct Corruption {
  void (*act)();
  const char* message;
};

const Corruption kCorruptions[] = {
    {[] { Overwrite(Util::TString("guarded text"), 24); }, "heap corruption.*lead guard"},
    {[] {
       Util::TString s("guarded text");
       Overwrite(s, s.Header()->allocSize - 4);  // a write one past the text's room
     },
     "heap corruption.*tail guard"},
    {[] {
       std::size_t size = 64;
       void* block = Util::TStringAllocatorMemAllocate(size);
       std::memset(block, 0xFD, size);
       Util::TStringAllocatorMemRelease(block, 62);
     },
     "heap corruption.*size passed"},
    {[] {
       std::vector<unsigned char> foreign(256, 0);
       Util::GetMemoryManager().Free(foreign.data() + 64);
     },
     "heap corruption.*hidden header"},
    {[] {
       void* block = Util::GetMemoryManager().Allocate(16);
       std::memset(block, 'x', 17);
       Util::GetMemoryManager().Free(block);
     },
     "heap corruption.*trailer"},
    {[] {
       Util::TString s("x");
       Overwrite(s, s.Header()->allocSize - 4);
       s += "grow past the block";
     },
     "heap corruption in IMemoryManager::Reallocate"},
};

TEST(CheckingAllocatorDeathTest, CorruptionStopsTheProcessWithAClearMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const Corruption& corruption : kCorruptions) {
    EXPECT_DEATH(corruption.act(), corruption.message);
  }
}

// The observer sees every line from every thread; the history keeps the newest 1024 (module
// tests check what a record holds).
TEST_F(KXUtilities, LogKeepsTheNewestLinesFromEveryThread) {
  constexpr int kThreads = 4;
  constexpr int kLines = 300;
  std::atomic<int> observed{0};
  hostsim::SetLogObserver([&observed](const hostsim::LogRecord&) { ++observed; });
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        Util::Ops::MessageFunctor(Util::GetOps(), 3, 5, "f", i, "g", "s")("%d/%d", t, i);
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  hostsim::SetLogObserver(nullptr);
  EXPECT_EQ(observed, kThreads * kLines);
  const std::vector<std::string> texts = hostsim::LogTexts();
  EXPECT_EQ(texts.size(), 1024u);
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_THAT(texts, ::testing::Contains(std::to_string(t) + "/" + std::to_string(kLines - 1)));
  }
}

// What the module never asks for but a host may: another directory, another system object,
// an unknown variable, a forgotten evaluator, a wide string given by its address.
TEST_F(KXUtilities, UnknownIdsNamesAndVariablesGiveNothing) {
  EXPECT_STREQ(Util::ReDirectFile::GetReDirectFileInstance().GetDirectoryFromId(2), "");
  Util::SystemObjectRegistrar& registrar = Util::SystemObjectRegistrar::instance();
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  EXPECT_EQ(registrar.GetSystemObject("Other::Name"), nullptr);
  auto* evaluator = dynamic_cast<AppFW::IConditionEvaluator*>(
      registrar.GetSystemObject("AppFW::IConditionEvaluator"));
  ASSERT_NE(evaluator, nullptr);
  Util::Variant value;
  hostsim::SetVariable("Known", value);
  hostsim::ClearEvaluator();
  EXPECT_TRUE(evaluator->GetVariableValue("Known", value).Failed());
  EXPECT_EQ(value.GetType(), Util::Variant::TagEmpty);
  EXPECT_EQ(hostsim::EvaluatorRequests(), std::vector<std::string>{"Known"});
  const WCHAR wide[] = {'w', 0};
  value.SetRaw(Util::Variant::TagWideString, reinterpret_cast<std::int64_t>(wide));
  EXPECT_NE(value.GetValue().wideString, wide);
  EXPECT_EQ(value.GetValue().wideString[0], 'w');
  value.SetRaw(Util::Variant::TagString, reinterpret_cast<std::int64_t>("bits"));
  EXPECT_STREQ(value.GetValue().string, "bits");
}

}  // namespace
