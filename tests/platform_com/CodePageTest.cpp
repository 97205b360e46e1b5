// Code-page conversions, run on Linux against the platform layer and under Wine against
// Windows' own kernel32, with one table of expectations for both.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "WideText.h"

namespace {

struct DecodeCase {
  const char* name;
  UINT codePage;
  DWORD flags;
  std::string input;  // converted with its exact length
  WideString expected;
  DWORD expectedError;  // ERROR_SUCCESS when the conversion succeeds
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class MultiByteToWide : public testing::TestWithParam<DecodeCase> {};

TEST_P(MultiByteToWide, GivesWindowsResult) {
  const DecodeCase& c = GetParam();
  const int inLength = static_cast<int>(c.input.size());
  SetLastError(0);
  const int size = MultiByteToWideChar(c.codePage, c.flags, c.input.data(), inLength, nullptr, 0);
  if (c.expectedError != ERROR_SUCCESS) {
    EXPECT_EQ(size, 0);
    EXPECT_EQ(GetLastError(), c.expectedError);
    return;
  }
  ASSERT_EQ(size, static_cast<int>(c.expected.size()));
  WideString out(static_cast<std::size_t>(size), OLECHAR{0x7777});
  EXPECT_EQ(MultiByteToWideChar(c.codePage, c.flags, c.input.data(), inLength, out.data(), size),
            size);
  EXPECT_EQ(out, c.expected);
}

const std::string kInvalidUtf8[] = {"\xC3", "\xE2\x82", "\xFF", "\xC0\xAF", "\xED\xA0\x80",
                                    "\xF4\x90\x80\x80"};

INSTANTIATE_TEST_SUITE_P(
    Table, MultiByteToWide,
    testing::Values(
        DecodeCase{"Utf8Ascii", CP_UTF8, 0, "abc", Units({'a', 'b', 'c'}), ERROR_SUCCESS},
        DecodeCase{"Utf8TwoAndThreeBytes", CP_UTF8, 0, "\xC3\xA9\xE2\x82\xAC", Units({0xE9, 0x20AC}),
                   ERROR_SUCCESS},
        DecodeCase{"Utf8FourBytesIsSurrogatePair", CP_UTF8, 0, "\xF0\x9F\x98\x80",
                   Units({0xD83D, 0xDE00}), ERROR_SUCCESS},
        DecodeCase{"Utf8EmbeddedNulKept", CP_UTF8, 0, std::string("a\0b", 3), Units({'a', 0, 'b'}),
                   ERROR_SUCCESS},
        DecodeCase{"Utf8LoneLeadByte", CP_UTF8, 0, "a\xC3", Units({'a', 0xFFFD}), ERROR_SUCCESS},
        DecodeCase{"Utf8TruncatedThreeByteIsOneReplacement", CP_UTF8, 0, "\xE2\x82z",
                   Units({0xFFFD, 'z'}), ERROR_SUCCESS},
        DecodeCase{"Utf8InvalidByte", CP_UTF8, 0, "\xFFz", Units({0xFFFD, 'z'}), ERROR_SUCCESS},
        DecodeCase{"Utf8LoneContinuation", CP_UTF8, 0, "\x80z", Units({0xFFFD, 'z'}), ERROR_SUCCESS},
        DecodeCase{"Utf8Overlong", CP_UTF8, 0, "\xC0\xAF", Units({0xFFFD, 0xFFFD}), ERROR_SUCCESS},
        // A second byte that makes the sequence invalid is replaced with its lead byte.
        DecodeCase{"Utf8EncodedSurrogate", CP_UTF8, 0, "\xED\xA0\x80", Units({0xFFFD, 0xFFFD}),
                   ERROR_SUCCESS},
        DecodeCase{"Utf8EncodedSurrogateHigh", CP_UTF8, 0, "\xED\xBF\xBF", Units({0xFFFD, 0xFFFD}),
                   ERROR_SUCCESS},
        DecodeCase{"Utf8OverlongThreeBytes", CP_UTF8, 0, "\xE0\x80\x80", Units({0xFFFD, 0xFFFD}),
                   ERROR_SUCCESS},
        DecodeCase{"Utf8OverlongFourBytes", CP_UTF8, 0, "\xF0\x80\x80\x80",
                   Units({0xFFFD, 0xFFFD, 0xFFFD}), ERROR_SUCCESS},
        DecodeCase{"Utf8BeyondUnicode", CP_UTF8, 0, "\xF4\x90\x80\x80",
                   Units({0xFFFD, 0xFFFD, 0xFFFD}), ERROR_SUCCESS},
        DecodeCase{"Utf8LeadBeyondUnicode", CP_UTF8, 0, "\xF5\x80\x80\x80",
                   Units({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}), ERROR_SUCCESS},
        DecodeCase{"Utf8LastCodePoint", CP_UTF8, 0, "\xF4\x8F\xBF\xBF", Units({0xDBFF, 0xDFFF}),
                   ERROR_SUCCESS},
        DecodeCase{"Utf8TruncatedValidPrefix", CP_UTF8, 0, "\xE0\xA0z", Units({0xFFFD, 'z'}),
                   ERROR_SUCCESS},
        DecodeCase{"Utf8TruncatedAtEnd", CP_UTF8, 0, "\xF0\x9F\x98", Units({0xFFFD}), ERROR_SUCCESS},
        DecodeCase{"Utf8StrictRejectsInvalid", CP_UTF8, MB_ERR_INVALID_CHARS, "ok\xFF", {},
                   ERROR_NO_UNICODE_TRANSLATION},
        DecodeCase{"Utf8StrictAcceptsValid", CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3\xA9",
                   Units({0xE9}), ERROR_SUCCESS},
        DecodeCase{"Cp1252Euro", 1252, 0, "\x80", Units({0x20AC}), ERROR_SUCCESS},
        DecodeCase{"Cp1252Latin", 1252, 0, "caf\xE9", Units({'c', 'a', 'f', 0xE9}), ERROR_SUCCESS},
        DecodeCase{"Cp1252UndefinedBytePassesThrough", 1252, 0, "\x81\x8D\x8F\x90\x9D",
                   Units({0x81, 0x8D, 0x8F, 0x90, 0x9D}), ERROR_SUCCESS},
        DecodeCase{"Cp1252Utf8BytesAreTwoCharacters", 1252, 0, "\xC3\xA9", Units({0xC3, 0xA9}),
                   ERROR_SUCCESS},
        DecodeCase{"Cp1250", 1250, 0, "\x8A\xB9", Units({0x160, 0x105}), ERROR_SUCCESS},
        DecodeCase{"Cp1251", 1251, 0, "\xC0\xFF", Units({0x410, 0x44F}), ERROR_SUCCESS},
        DecodeCase{"Latin1", 28591, 0, "\x80\xFF", Units({0x80, 0xFF}), ERROR_SUCCESS},
        DecodeCase{"Latin9Euro", 28605, 0, "\xA4", Units({0x20AC}), ERROR_SUCCESS},
        DecodeCase{"UnknownCodePage", 12345, 0, "a", {}, ERROR_INVALID_PARAMETER}),
    CaseName());

struct EncodeCase {
  const char* name;
  UINT codePage;
  WideString input;
  const char* defaultChar;
  std::string expected;
  BOOL expectedUsedDefault;  // ignored for UTF-8, which takes no default character
};

void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.name; }

class WideToMultiByte : public testing::TestWithParam<EncodeCase> {};

TEST_P(WideToMultiByte, GivesWindowsResult) {
  const EncodeCase& c = GetParam();
  const bool utf8 = c.codePage == CP_UTF8;
  const int inLength = static_cast<int>(c.input.size());
  BOOL usedDefault = 7;
  LPBOOL usedDefaultOut = utf8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(c.codePage, 0, c.input.data(), inLength, nullptr, 0,
                                       c.defaultChar, usedDefaultOut);
  ASSERT_EQ(size, static_cast<int>(c.expected.size()));
  std::string out(static_cast<std::size_t>(size), '#');
  usedDefault = 7;
  EXPECT_EQ(WideCharToMultiByte(c.codePage, 0, c.input.data(), inLength, out.data(), size,
                                c.defaultChar, usedDefaultOut),
            size);
  EXPECT_EQ(out, c.expected);
  if (!utf8) {
    EXPECT_EQ(usedDefault, c.expectedUsedDefault);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WideToMultiByte,
    testing::Values(
        EncodeCase{"Utf8Mixed", CP_UTF8, Units({'a', 0xE9, 0x20AC}), nullptr, "a\xC3\xA9\xE2\x82\xAC",
                   FALSE},
        EncodeCase{"Utf8SurrogatePair", CP_UTF8, Units({0xD83D, 0xDE00}), nullptr, "\xF0\x9F\x98\x80",
                   FALSE},
        EncodeCase{"Utf8LoneHighSurrogate", CP_UTF8, Units({0xD83D, 'x'}), nullptr, "\xEF\xBF\xBDx",
                   FALSE},
        EncodeCase{"Utf8LoneLowSurrogate", CP_UTF8, Units({0xDE00}), nullptr, "\xEF\xBF\xBD", FALSE},
        EncodeCase{"Cp1252Mappable", 1252, Units({'c', 0xE9, 0x20AC}), nullptr, "c\xE9\x80", FALSE},
        EncodeCase{"Cp1252UnmappableIsQuestionMark", 1252, Units({'a', 0x4E2D}), nullptr, "a?", TRUE},
        EncodeCase{"Cp1252CallerDefaultChar", 1252, Units({0x4E2D, 'b'}), "*", "*b", TRUE},
        EncodeCase{"Cp1251Cyrillic", 1251, Units({0x410, 0x44F}), nullptr, "\xC0\xFF", FALSE}),
    CaseName());

TEST(CodePageLengths, MinusOneCountsTheTerminatingNul) {
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
  OLECHAR wide[4] = {1, 1, 1, 1};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 4), 4);
  EXPECT_EQ(wide[3], 0);
  const OLECHAR* text = OLESTR("abc");
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr), 4);
  char narrow[4] = {1, 1, 1, 1};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, 4, nullptr, nullptr), 4);
  EXPECT_EQ(narrow[3], '\0');
}

TEST(CodePageLengths, TooSmallBufferFails) {
  OLECHAR wide[3];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  char narrow[2];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, OLESTR("abc"), 3, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePageLengths, BadArgumentsAreInvalidParameter) {
  OLECHAR wide[4];
  char narrow[4];
  struct Call {
    const char* what;
    int result;
  };
  const Call calls[] = {
      {"zero input length", MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 4)},
      {"null input", MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 4)},
      {"negative output size", MultiByteToWideChar(CP_UTF8, 0, "a", 1, wide, -1)},
      {"output size without buffer", MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 4)},
      {"wide zero input length", WideCharToMultiByte(1252, 0, OLESTR("a"), 0, narrow, 4, nullptr, nullptr)},
      {"wide null input", WideCharToMultiByte(1252, 0, nullptr, -1, narrow, 4, nullptr, nullptr)},
  };
  for (const Call& call : calls) {
    SCOPED_TRACE(call.what);
    EXPECT_EQ(call.result, 0);
  }
  SetLastError(0);
  MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 4);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CodePageLengths, AnyNegativeLengthMeansNulTerminated) {
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -2, nullptr, 0), 4);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, OLESTR("abc"), -5, nullptr, 0, nullptr, nullptr), 4);
}

// Windows documents these as caller errors for UTF-8; Wine accepts them, so only the Linux
// layer is held to the documented behaviour.
#ifndef _WIN32
TEST(CodePageLengths, Utf8RejectsUndocumentedFlags) {
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, OLESTR("a"), 1, nullptr, 0, nullptr,
                                nullptr),
            0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}

TEST(CodePageLengths, Utf8TakesNoDefaultCharacter) {
  BOOL usedDefault = FALSE;
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), 1, nullptr, 0, nullptr, &usedDefault), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), 1, nullptr, 0, "?", nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}
#endif

TEST(CodePageLengths, ThreadCodePageFollowsProcessCodePage) {
  const char* text = "caf\xC3\xA9";
  EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0),
            MultiByteToWideChar(GetACP(), 0, text, -1, nullptr, 0));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0),
            MultiByteToWideChar(GetACP(), 0, text, -1, nullptr, 0));
}

// Tables for single-byte pages are built on first use; first uses race here.
TEST(CodePageThreads, ConcurrentFirstUseOfTables) {
  const UINT pages[] = {1250, 1253, 1254, 1257, 28592, 28599};
  std::vector<std::thread> threads;
  std::vector<int> failures(std::size(pages), 0);
  for (std::size_t i = 0; i < std::size(pages); ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 200; ++round) {
        OLECHAR wide[3];
        char back[3];
        const UINT page = pages[(i + static_cast<std::size_t>(round)) % std::size(pages)];
        const int n = MultiByteToWideChar(page, 0, "A\xE9", 3, wide, 3);
        const int m = WideCharToMultiByte(page, 0, wide, n, back, 3, nullptr, nullptr);
        if (n != 3 || m != 3 || back[0] != 'A') ++failures[i];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int failureCount : failures) EXPECT_EQ(failureCount, 0);
}

}  // namespace
