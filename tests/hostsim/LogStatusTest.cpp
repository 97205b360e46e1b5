// The host's log, status, thrower, tagged value, formatter and string comparison.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/KXUtilities.h"
#include "hostsim/HostSim.h"

namespace {

class HostUtilities : public ::testing::Test {
 protected:
  void SetUp() override { hostsim::Reset(); }
  void TearDown() override { hostsim::SetLogObserver(nullptr); }
};

TEST_F(HostUtilities, ALogLineKeepsEveryPartOfItsSource) {
  Util::Ops::MessageFunctor(Util::GetOps(), 0, 6, "Features\\x\\src\\file", 123, "C::F",
                            "void __cdecl C::F(void)")("%s (%d) ", "text", 7);
  const std::vector<hostsim::LogRecord> records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, 0);
  EXPECT_EQ(records[0].eventType, 6);
  EXPECT_EQ(records[0].file, "Features\\x\\src\\file");
  EXPECT_EQ(records[0].line, 123);
  EXPECT_EQ(records[0].function, "C::F");
  EXPECT_EQ(records[0].signature, "void __cdecl C::F(void)");
  EXPECT_EQ(records[0].text, "text (7) ");
}

// The observer sees every line from every thread; the history keeps the newest 4096.
TEST_F(HostUtilities, LogObserverSeesEachLineAndTheHistoryKeepsTheNewest) {
  constexpr int kThreads = 4;
  constexpr int kLines = 1100;
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
  for (std::thread& writer : writers) {
    writer.join();
  }
  hostsim::SetLogObserver(nullptr);
  EXPECT_EQ(observed, kThreads * kLines);
  const std::vector<std::string> texts = hostsim::LogTexts();
  EXPECT_EQ(texts.size(), 4096u);
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_THAT(texts, ::testing::Contains(std::to_string(t) + "/" + std::to_string(kLines - 1)));
  }
  hostsim::ClearLog();
  EXPECT_TRUE(hostsim::LogRecords().empty());
}

TEST_F(HostUtilities, StatusSucceedsExactlyWithCodeZero) {
  const Util::Status ok;
  EXPECT_TRUE(ok.Succeeded());
  EXPECT_FALSE(ok.Failed());
  EXPECT_TRUE(Util::Status::GetSucceeded().Succeeded());
  const Util::Status failed(-5, Util::TString("why"));
  Util::Status copy;
  copy = failed;
  EXPECT_TRUE(copy.Failed());
  EXPECT_EQ(copy.GetStatusCode(), -5);
  EXPECT_STREQ(copy.GetStatusMessage(), "why");
}

TEST_F(HostUtilities, ThrowerRaisesAnExceptionCarryingCodeAndFormattedMessage) {
  Util::LocalOps local(Util::SourceContext("file", 10, "F", "void F(void)"));
  try {
    Util::LocalOps::ThrowStatusCodeFunctor(local, 11)(0x80004005L, "cannot %s %d", "load", 3);
    FAIL() << "nothing thrown";
  } catch (const Util::Exception& exception) {
    EXPECT_EQ(exception.GetStatus().GetStatusCode(), 0x80004005L);
    EXPECT_STREQ(exception.GetStatus().GetStatusMessage(), "cannot load 3");
  }
}

TEST_F(HostUtilities, VariantCopiesOwnTheirStrings) {
  Util::Variant original;
  original.SetString("narrow");
  Util::Variant copy(original);
  EXPECT_NE(copy.GetValue().string, original.GetValue().string);
  original.SetInteger(Util::Variant::TagInt32, 5);
  EXPECT_STREQ(copy.GetValue().string, "narrow");

  const WCHAR wide[] = {'w', 'i', 0};
  Util::Variant wideVariant;
  wideVariant.SetWideString(wide);
  Util::Variant wideCopy;
  wideCopy = wideVariant;
  EXPECT_NE(wideCopy.GetValue().wideString, wide);
  EXPECT_EQ(wideCopy.GetValue().wideString[1], 'i');
  EXPECT_EQ(wideCopy.GetType(), Util::Variant::TagWideString);

  Util::Variant nullString;
  nullString.SetString(nullptr);
  EXPECT_EQ(Util::Variant(nullString).GetValue().string, nullptr);

  Util::Variant raw;
  raw.SetRaw(0x7777, -1);
  EXPECT_EQ(raw.GetType(), 0x7777u);
  EXPECT_EQ(raw.GetValue().integer, -1);
  raw.SetRaw(Util::Variant::TagString, reinterpret_cast<std::int64_t>("bits"));
  EXPECT_STREQ(raw.GetValue().string, "bits");
}

TEST_F(HostUtilities, FormatterResultIsFreedThroughTheMemoryManager) {
  const std::uint64_t live = hostsim::GetMemoryStats().liveBlocks;
  char* text = [](const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    char* result = Util::FormatStringV(format, arguments);
    va_end(arguments);
    return result;
  }("%s=%d", "k", 9);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "k=9");
  EXPECT_EQ(hostsim::GetMemoryStats().liveBlocks, live + 1);
  Util::GetMemoryManager().Free(text);
  EXPECT_EQ(hostsim::GetMemoryStats().liveBlocks, live);
}

TEST_F(HostUtilities, ReallocateKeepsTheContents) {
  void* block = Util::GetMemoryManager().Allocate(4);
  std::memcpy(block, "abc", 4);
  ASSERT_TRUE(Util::GetMemoryManager().Reallocate(block, 100000));
  EXPECT_STREQ(static_cast<char*>(block), "abc");
  Util::GetMemoryManager().Free(block);
}

struct CompareCase {
  const char* a;
  const char* b;
  Util::CaseSensitivity sensitivity;
  int expected;
};

class CompareStrings : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareStrings, OrdersLikeStrcmp) {
  const CompareCase& c = GetParam();
  EXPECT_EQ(Util::CompareStrings(c.a, c.b, c.sensitivity), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CompareStrings,
                         ::testing::Values(CompareCase{"abc", "abc", Util::CaseSensitive, 0},
                                           CompareCase{"abc", "ABC", Util::CaseSensitive, 1},
                                           CompareCase{"abc", "ABC", Util::CaseInsensitive, 0},
                                           CompareCase{"", "", Util::CaseSensitive, 0},
                                           CompareCase{"a", "", Util::CaseSensitive, 1},
                                           CompareCase{"", "a", Util::CaseInsensitive, -1},
                                           CompareCase{nullptr, "", Util::CaseSensitive, 0},
                                           CompareCase{"ab", "abc", Util::CaseSensitive, -1}));

}  // namespace
