// Code-page conversions at their edges (ill-formed UTF-8, lone surrogates, unmappable
// characters, lengths, buffers, bad arguments), run on Linux against the platform layer and
// under Wine against Windows' own kernel32, with one table of expectations for both. Wider
// input reaches these conversions through the fuzzers.
#include <string>
#include <thread>
#include <vector>

#include "../ComTestSupport.h"

namespace {

struct DecodeCase {
  UINT codePage;
  DWORD flags;
  std::string input;  // converted with its exact length
  std::u16string expected;
  DWORD error = ERROR_SUCCESS;
};

TEST(CodePages, MultiByteToWideCharGivesWindowsResults) {
  const DecodeCase cases[] = {
      {CP_UTF8, 0, "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      // Each ill-formed sequence is one U+FFFD: a byte that cannot start one, a lead byte with
      // the continuation bytes that may still complete it, or a lead byte with a second byte
      // that makes the sequence overlong, a surrogate or too large.
      {CP_UTF8, 0, "a\xC3", u"a\xFFFD"},
      {CP_UTF8, 0, "\xE2\x82z", u"\xFFFDz"},
      {CP_UTF8, 0, "\x80z", u"\xFFFDz"},
      {CP_UTF8, 0, "\xED\xA0\x80", u"\xFFFD\xFFFD"},
      {CP_UTF8, 0, "\xE0\x80\x80", u"\xFFFD\xFFFD"},
      {CP_UTF8, 0, "\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD"},
      {CP_UTF8, 0, "\xF5\x80\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},
      {CP_UTF8, MB_ERR_INVALID_CHARS, "ok\xFF", u"", ERROR_NO_UNICODE_TRANSLATION},
      {CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3\xA9", u"\xE9"},
      // Bytes that 1252 leaves undefined pass through as the same code points.
      {1252, 0, "\x81\x8D\x8F\x90\x9D", u"\x81\x8D\x8F\x90\x9D"},
      {12345, 0, "a", u"", ERROR_INVALID_PARAMETER},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input) + " in " + std::to_string(c.codePage));
    const int inLength = static_cast<int>(c.input.size());
    SetLastError(0);
    const int size = MultiByteToWideChar(c.codePage, c.flags, c.input.data(), inLength, nullptr, 0);
    EXPECT_EQ(GetLastError(), c.error);
    ASSERT_EQ(size, static_cast<int>(c.expected.size()));
    if (size == 0) continue;
    std::basic_string<OLECHAR> out(static_cast<std::size_t>(size), OLECHAR{0x7777});
    EXPECT_EQ(MultiByteToWideChar(c.codePage, c.flags, c.input.data(), inLength, out.data(), size),
              size);
    EXPECT_EQ(out, Ole(c.expected));
  }
}

TEST(CodePages, WideCharToMultiByteGivesWindowsResults) {
  const struct {
    UINT codePage;
    std::u16string input;
    const char* defaultChar;
    std::string expected;
    BOOL usedDefault;  // not asked for UTF-8, which takes no default character
  } cases[] = {
      {CP_UTF8, u"\xD83D\xDE00", nullptr, "\xF0\x9F\x98\x80", FALSE},
      {CP_UTF8, u"\xD83Dx", nullptr, "\xEF\xBF\xBDx", FALSE},
      {CP_UTF8, u"\xDE00", nullptr, "\xEF\xBF\xBD", FALSE},
      {1252, u"c\xE9\x20AC", nullptr, "c\xE9\x80", FALSE},
      {1252, u"a\x4E2D", nullptr, "a?", TRUE},
      {1252, u"\x4E2D\x62", "*", "*b", TRUE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.expected) + " in " + std::to_string(c.codePage));
    const std::basic_string<OLECHAR> input = Ole(c.input);
    const int inLength = static_cast<int>(input.size());
    BOOL usedDefault = 7;
    LPBOOL usedDefaultOut = c.codePage == CP_UTF8 ? nullptr : &usedDefault;
    const int size = WideCharToMultiByte(c.codePage, 0, input.data(), inLength, nullptr, 0,
                                         c.defaultChar, usedDefaultOut);
    ASSERT_EQ(size, static_cast<int>(c.expected.size()));
    std::string out(static_cast<std::size_t>(size), '#');
    usedDefault = 7;
    EXPECT_EQ(WideCharToMultiByte(c.codePage, 0, input.data(), inLength, out.data(), size,
                                  c.defaultChar, usedDefaultOut),
              size);
    EXPECT_EQ(out, c.expected);
    EXPECT_EQ(usedDefault, usedDefaultOut != nullptr ? c.usedDefault : 7);
  }
}

// The last error left by a call that must fail (a marker if it succeeded), cleared for the next.
DWORD ErrorOf(int result) {
  const DWORD error = result == 0 ? GetLastError() : 0xFFFFFFFFu;
  SetLastError(0);
  return error;
}

TEST(CodePages, FailuresSetTheLastError) {
  OLECHAR w[4];
  char n[4];
  SetLastError(0);
  EXPECT_EQ(ErrorOf(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, w, 3)), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(ErrorOf(WideCharToMultiByte(1252, 0, OLESTR("abc"), 3, n, 2, nullptr, nullptr)),
            ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(ErrorOf(MultiByteToWideChar(CP_UTF8, 0, "a", 0, w, 4)), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ErrorOf(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, w, 4)), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ErrorOf(MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 4)), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ErrorOf(WideCharToMultiByte(1252, 0, nullptr, -1, n, 4, nullptr, nullptr)),
            ERROR_INVALID_PARAMETER);
#ifndef _WIN32  // Windows documents these as caller errors for UTF-8; Wine accepts them.
  BOOL used = FALSE;
  EXPECT_EQ(ErrorOf(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, nullptr, 0)),
            ERROR_INVALID_FLAGS);
  EXPECT_EQ(ErrorOf(WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, OLESTR("a"), 1, nullptr, 0,
                                        nullptr, nullptr)),
            ERROR_INVALID_FLAGS);
  EXPECT_EQ(ErrorOf(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), 1, nullptr, 0, nullptr, &used)),
            ERROR_INVALID_PARAMETER);
#endif
}

// Tables for single-byte pages are built on first use; first uses race here.
TEST(CodePages, ConcurrentFirstUseOfTables) {
  const UINT pages[] = {1250, 1251, 1252, 1253, 1254, 1257, 28591, 28592, 28599, 28605};
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
        if (n != 3 || m != 3 || back[0] != 'A' || back[1] != '\xE9') ++failures[i];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int failureCount : failures) EXPECT_EQ(failureCount, 0);
}

}  // namespace
