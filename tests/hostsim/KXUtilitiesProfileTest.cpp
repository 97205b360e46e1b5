// Profile strings with Windows semantics. The same tables run on both targets: on Windows the
// host calls the real API (Wine's here), on Linux its own INI files; on Windows the Linux
// reader is also compared with the real API line by line.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "KXUtilities/ProfileDocument.h"
#include "ParamName.h"
#include "TemporaryFolder.h"
#include "host/KXUtilities.h"
#include "hostsim/HostSim.h"

namespace {

namespace fs = std::filesystem;

struct ReadCase {
  const char* name;
  std::optional<std::string> file;  // nothing: no file at all
  const char* section;
  const char* key;
  const char* defaultValue;
  DWORD bufferSize;
  std::string expected;  // may hold NULs: name lists
  DWORD expectedCount;
};

const ReadCase kReadCases[] = {
    {"NoFileGivesTheDefault", std::nullopt, "WEBTSM", "WEBTSMON", "dflt", 10, "dflt", 4},
    {"NamesIgnoreCase", "[webtsm]\nwebtsmon=0\n", "WEBTSM", "WebTsmOn", "1", 10, "0", 1},
    {"MissingSectionGivesTheDefault", "[Other]\nCheckSum=9\n", "WEBTSM", "CheckSum", "0", 101, "0",
     1},
    {"BlanksAroundNameAndValueAreTrimmed", "[WEBTSM]\n  CheckSum \t=  abc def  \n", "WEBTSM",
     "CheckSum", "0", 101, "abc def", 7},
    {"LongValueIsCutToTheBuffer", "[S]\nK=0123456789abc\n", "S", "K", "", 10, "012345678", 9},
    {"EmptyValueIsNotTheDefault", "[S]\nK=\n", "S", "K", "dflt", 10, "", 0},
    {"DefaultLosesTrailingBlanks", "[S]\n", "S", "K", "x  ", 10, "x", 1},
    {"NullDefaultIsEmpty", "[S]\n", "S", "K", nullptr, 10, "", 0},
    {"FirstOfDuplicateKeysWins", "[S]\nK=first\nK=second\n", "S", "K", "", 10, "first", 5},
    {"DoubleQuotesAreStripped", "[S]\nK=\"quoted value\"\n", "S", "K", "", 20, "quoted value", 12},
    {"CommentLineIsNoKey", "[S]\n;K=1\nK=2\n", "S", "K", "", 10, "2", 1},
    {"KeysBeforeAnySectionBelongToNone", "K=1\n[S]\nA=2\n", "S", "K", "d", 10, "d", 1},
    {"BufferOfOneHoldsOnlyTheNul", "[S]\nK=value\n", "S", "K", "", 1, "", 0},
    {"LineFeedOnlyFileWithoutFinalNewline", "[S]\nA=1\nK=last", "S", "K", "", 10, "last", 4},
    {"KeyNamesOfASection", "[S]\nA=1\nB=2\n[T]\nC=3\n", "S", nullptr, "", 20,
     std::string("A\0B\0\0", 5), 4},
    {"SectionNames", "[S]\nA=1\n[T]\nC=3\n", nullptr, nullptr, "", 20, std::string("S\0T\0\0", 5),
     4},
};

class ProfileFiles : public ::testing::Test {
 protected:
  void SetUp() override { hostsim::Reset(); }

  std::string Prepare(const std::optional<std::string>& content) const {
    const fs::path path = m_folder.path / "case.ini";
    if (content) corvane_test::WriteBytes(path, *content);
    return path.string();
  }

  static std::string Read(const char* section, const char* key, const std::string& path) {
    char buffer[256];
    const DWORD count = _UtilGetPrivateProfileString(section, key, "<none>", buffer, sizeof buffer,
                                                     path.c_str(), "test", 1);
    return std::string(buffer, count);
  }

  const corvane_test::TemporaryFolder m_folder;
};

class ProfileRead : public ProfileFiles, public ::testing::WithParamInterface<ReadCase> {
 protected:
  // The text and its terminator; a name list's expected text carries its own NULs.
  static void ExpectBuffer(const ReadCase& c, const std::vector<char>& buffer, DWORD count) {
    EXPECT_EQ(count, c.expectedCount);
    EXPECT_EQ(std::string(buffer.data(), c.expected.size()), c.expected);
    if (c.key != nullptr) {
      EXPECT_EQ(buffer[c.expected.size()], '\0');
    }
  }
};

TEST_P(ProfileRead, GivesWhatWindowsGives) {
  const ReadCase& c = GetParam();
  const std::string path = Prepare(c.file);
  std::vector<char> buffer(c.bufferSize + 1, '#');
  const DWORD count = _UtilGetPrivateProfileString(c.section, c.key, c.defaultValue, buffer.data(),
                                                   c.bufferSize, path.c_str(), "source", 42);
  ExpectBuffer(c, buffer, count);
#ifdef _WIN32
  // The Linux reader, given the same text, agrees with the real API.
  std::vector<char> ours(c.bufferSize + 1, '#');
  ExpectBuffer(c, ours,
               static_cast<DWORD>(hostsim::detail::ReadProfileString(
                   c.file, c.section, c.key, c.defaultValue, ours.data(), c.bufferSize)));
#endif
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileRead, ::testing::ValuesIn(kReadCases), ParamName());

struct WriteCase {
  const char* name;
  std::optional<std::string> file;
  const char* key;    // null: the section goes
  const char* value;  // null: the key goes
  const char* readKey;
  const char* readValue;
  std::string expectedText;  // the whole file afterwards (Linux writer)
};

const WriteCase kWriteCases[] = {
    {"CreatesFileSectionAndKey", std::nullopt, "CheckSum", "12345", "checksum", "12345",
     "[WEBTSM]\r\nCheckSum=12345\r\n"},
    // The key is found whatever its case and keeps the spelling it had.
    {"ReplacesItsKeyAndKeepsOtherLinesByteForByte",
     "; settings\r\n[WEBTSM]\r\nWEBTSMON = 1 \r\nCheckSum=old\r\n\r\n[B]\r\ny=3\r\n", "checksum",
     "new", "CHECKSUM", "new",
     "; settings\r\n[WEBTSM]\r\nWEBTSMON = 1 \r\nCheckSum=new\r\n\r\n[B]\r\ny=3\r\n"},
    {"AddsAKeyToAnExistingSection", "[WEBTSM]\r\nWEBTSMON=1\r\n\r\n[Other]\r\nz=9\r\n", "CheckSum",
     "abc", "CheckSum", "abc", "[WEBTSM]\r\nWEBTSMON=1\r\nCheckSum=abc\r\n\r\n[Other]\r\nz=9\r\n"},
    {"AppendsANewSectionAfterABlankLine", "[A]\nx=1", "CheckSum", "c", "CheckSum", "c",
     "[A]\nx=1\n\n[WEBTSM]\nCheckSum=c\n"},
    {"NullValueDeletesTheKey", "[WEBTSM]\nA=1\nB=2\n[T]\nC=3\n", "A", nullptr, "A", "<none>",
     "[WEBTSM]\nB=2\n[T]\nC=3\n"},
    {"NullKeyDeletesTheSection", "[WEBTSM]\nA=1\nB=2\n[T]\nC=3\n", nullptr, nullptr, "B", "<none>",
     "[T]\nC=3\n"},
};

class ProfileWrite : public ProfileFiles, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyWhatItNames) {
  const WriteCase& c = GetParam();
  const std::string path = Prepare(c.file);
  constexpr fs::perms kMode =
      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  if (c.file) fs::permissions(path, kMode);
  ASSERT_TRUE(_UtilWritePrivateProfileString("WEBTSM", c.key, c.value, path.c_str(), "t", 1));
  EXPECT_EQ(Read("WEBTSM", c.readKey, path), c.readValue);
#ifndef _WIN32
  EXPECT_EQ(corvane_test::ReadBytes(path), c.expectedText);
  if (c.file) {
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, kMode);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(m_folder.path), fs::directory_iterator()), 1)
      << "a temporary file was left";
#endif
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileWrite, ::testing::ValuesIn(kWriteCases), ParamName());

#ifndef _WIN32
TEST_F(ProfileFiles, WritersOnSeveralThreadsLoseNoKey) {
  const std::string path = Prepare(std::nullopt);
  const auto key = [](int t, int i) { return "T" + std::to_string(t) + "K" + std::to_string(i); };
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t, &path, &key] {
      for (int i = 0; i < 25; ++i) {
        _UtilWritePrivateProfileString("S", key(t, i).c_str(), "v", path.c_str(), "t", 1);
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 25; ++i) EXPECT_EQ(Read("s", key(t, i).c_str(), path), "v") << key(t, i);
  }
}
#endif

}  // namespace
