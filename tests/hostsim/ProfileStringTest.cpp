// Profile strings with Windows semantics. The same table runs on both targets: on Windows
// the host calls the real API (Wine's here), on Linux its own INI files; on Windows the
// Linux reader is also compared with the real API line by line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "KXUtilities/ProfileDocument.h"
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

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const ReadCase kReadCases[] = {
    {"NoFileGivesTheDefault", std::nullopt, "WEBTSM", "WEBTSMON", "dflt", 10, "dflt", 4},
    {"PlainValue", "[WEBTSM]\r\nWEBTSMON=1\r\n", "WEBTSM", "WEBTSMON", "x", 10, "1", 1},
    {"NamesIgnoreCase", "[webtsm]\nwebtsmon=0\n", "WEBTSM", "WebTsmOn", "1", 10, "0", 1},
    {"MissingKeyGivesTheDefault", "[WEBTSM]\nOther=2\n", "WEBTSM", "CheckSum", "0", 101, "0", 1},
    {"MissingSectionGivesTheDefault", "[Other]\nCheckSum=9\n", "WEBTSM", "CheckSum", "0", 101, "0",
     1},
    {"BlanksAroundNameAndValueAreTrimmed", "[WEBTSM]\n  CheckSum \t=  abc def  \n", "WEBTSM",
     "CheckSum", "0", 101, "abc def", 7},
    {"ValueMayHoldEquals", "[S]\nK=a=b\n", "S", "K", "", 10, "a=b", 3},
    {"LongValueIsCutToTheBuffer", "[S]\nK=0123456789abc\n", "S", "K", "", 10, "012345678", 9},
    {"EmptyValueIsNotTheDefault", "[S]\nK=\n", "S", "K", "dflt", 10, "", 0},
    {"DefaultLosesTrailingBlanks", "[S]\n", "S", "K", "x  ", 10, "x", 1},
    {"NullDefaultIsEmpty", "[S]\n", "S", "K", nullptr, 10, "", 0},
    {"FirstOfDuplicateKeysWins", "[S]\nK=first\nK=second\n", "S", "K", "", 10, "first", 5},
    {"DoubleQuotesAreStripped", "[S]\nK=\"quoted value\"\n", "S", "K", "", 20, "quoted value", 12},
    {"CommentLineIsNoKey", "[S]\n;K=1\nK=2\n", "S", "K", "", 10, "2", 1},
    {"KeysBeforeAnySectionBelongToNone", "K=1\n[S]\nA=2\n", "S", "K", "d", 10, "d", 1},
    {"LaterSectionIsSeparate", "[S]\nA=1\n[T]\nK=2\n", "S", "K", "d", 10, "d", 1},
    {"BufferOfOneHoldsOnlyTheNul", "[S]\nK=value\n", "S", "K", "", 1, "", 0},
    {"LineFeedOnlyFileWithoutFinalNewline", "[S]\nA=1\nK=last", "S", "K", "", 10, "last", 4},
    {"KeyNamesOfASection", "[S]\nA=1\nB=2\n[T]\nC=3\n", "S", nullptr, "", 20,
     std::string("A\0B\0\0", 5), 4},
    {"SectionNames", "[S]\nA=1\n[T]\nC=3\n", nullptr, nullptr, "", 20, std::string("S\0T\0\0", 5),
     4},
};

class ProfileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    hostsim::Reset();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    m_directory = fs::temp_directory_path() / ("hostsim-profile-" + name);
    fs::remove_all(m_directory);
    fs::create_directories(m_directory);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_directory, ignored);
  }

  std::string PathOf(const std::string& file) const { return (m_directory / file).string(); }

  std::string Prepare(const std::optional<std::string>& content) {
    const std::string path = PathOf("case" + std::to_string(m_files++) + ".ini");
    if (content) {
      std::ofstream(path, std::ios::binary) << *content;
    }
    return path;
  }

  static std::string Read(const char* section, const char* key, const char* defaultValue,
                          const std::string& path, DWORD bufferSize = 256) {
    std::vector<char> buffer(bufferSize + 1, '#');
    const DWORD count = _UtilGetPrivateProfileString(section, key, defaultValue, buffer.data(),
                                                     bufferSize, path.c_str(), "test", 1);
    return std::string(buffer.data(), count);
  }

  fs::path m_directory;
  int m_files = 0;
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
}

#ifdef _WIN32
// The Linux reader, given the same text, agrees with the real API.
TEST_P(ProfileRead, LinuxReaderAgreesWithTheRealApi) {
  const ReadCase& c = GetParam();
  std::vector<char> ours(c.bufferSize + 1, '#');
  const unsigned long count = hostsim::detail::ReadProfileString(
      c.file, c.section, c.key, c.defaultValue, ours.data(), c.bufferSize);
  ExpectBuffer(c, ours, static_cast<DWORD>(count));
}
#endif

INSTANTIATE_TEST_SUITE_P(Cases, ProfileRead, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& param) {
                           return std::string(param.param.name);
                         });

TEST_F(ProfileFiles, ReadsAreRecordedWithTheCallersSourcePosition) {
  const std::string path = Prepare("[WEBTSM]\nCheckSum=abc\n");
  char buffer[101];
  _UtilGetPrivateProfileString("WEBTSM", "CheckSum", "0", buffer, sizeof buffer, path.c_str(),
                               "Features\\src\\file", 77);
  _UtilWritePrivateProfileString("WEBTSM", "CheckSum", "def", path.c_str(), "other", 78);
  const std::vector<hostsim::ProfileRequest> requests = hostsim::ProfileRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[0].write);
  EXPECT_EQ(requests[0].section, "WEBTSM");
  EXPECT_EQ(requests[0].value, "0");
  EXPECT_EQ(requests[0].result, "abc");
  EXPECT_EQ(requests[0].bufferSize, 101u);
  EXPECT_EQ(requests[0].iniFile, path);
  EXPECT_EQ(requests[0].sourceFile, "Features\\src\\file");
  EXPECT_EQ(requests[0].sourceLine, 77);
  EXPECT_TRUE(requests[1].write);
  EXPECT_EQ(requests[1].value, "def");
}

TEST_F(ProfileFiles, WriteCreatesFileSectionAndKey) {
  const std::string path = PathOf("new.ini");
  EXPECT_TRUE(_UtilWritePrivateProfileString("WEBTSM", "CheckSum", "12345", path.c_str(), "t", 1));
  EXPECT_EQ(Read("WEBTSM", "CheckSum", "0", path), "12345");
  EXPECT_EQ(Read("webtsm", "checksum", "0", path), "12345");
}

TEST_F(ProfileFiles, WriteReplacesOnlyItsKey) {
  const std::string path =
      Prepare("[A]\nx=1\n[WEBTSM]\nWEBTSMON=1\nCheckSum=old\nAfter=2\n[B]\ny=3\n");
  EXPECT_TRUE(_UtilWritePrivateProfileString("WEBTSM", "checksum", "new", path.c_str(), "t", 1));
  EXPECT_EQ(Read("WEBTSM", "CheckSum", "", path), "new");
  EXPECT_EQ(Read("WEBTSM", "WEBTSMON", "", path), "1");
  EXPECT_EQ(Read("WEBTSM", "After", "", path), "2");
  EXPECT_EQ(Read("A", "x", "", path), "1");
  EXPECT_EQ(Read("B", "y", "", path), "3");
}

TEST_F(ProfileFiles, WriteAddsAKeyToAnExistingSection) {
  const std::string path = Prepare("[WEBTSM]\r\nWEBTSMON=1\r\n\r\n[Other]\r\nz=9\r\n");
  EXPECT_TRUE(_UtilWritePrivateProfileString("WEBTSM", "CheckSum", "abc", path.c_str(), "t", 1));
  EXPECT_EQ(Read("WEBTSM", "CheckSum", "", path), "abc");
  EXPECT_EQ(Read("WEBTSM", "WEBTSMON", "", path), "1");
  EXPECT_EQ(Read("Other", "z", "", path), "9");
  EXPECT_EQ(Read("Other", "CheckSum", "none", path), "none");
}

TEST_F(ProfileFiles, NullValueDeletesTheKeyAndNullKeyTheSection) {
  const std::string path = Prepare("[S]\nA=1\nB=2\n[T]\nC=3\n");
  EXPECT_TRUE(_UtilWritePrivateProfileString("S", "A", nullptr, path.c_str(), "t", 1));
  EXPECT_EQ(Read("S", "A", "gone", path), "gone");
  EXPECT_EQ(Read("S", "B", "", path), "2");
  EXPECT_TRUE(_UtilWritePrivateProfileString("S", nullptr, nullptr, path.c_str(), "t", 1));
  EXPECT_EQ(Read("S", "B", "gone", path), "gone");
  EXPECT_EQ(Read("T", "C", "", path), "3");
}

TEST_F(ProfileFiles, WriteIntoAMissingFolderFails) {
  const std::string path = PathOf("no-such-folder/data.ini");
  EXPECT_FALSE(_UtilWritePrivateProfileString("S", "K", "V", path.c_str(), "t", 1));
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(ProfileFiles, ManyWritesKeepEveryKey) {
  const std::string path = PathOf("many.ini");
  for (int i = 0; i < 50; ++i) {
    const std::string key = "Key" + std::to_string(i);
    const std::string value = std::to_string(i * 7);
    ASSERT_TRUE(
        _UtilWritePrivateProfileString("S", key.c_str(), value.c_str(), path.c_str(), "t", 1));
  }
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(Read("S", ("key" + std::to_string(i)).c_str(), "", path), std::to_string(i * 7));
  }
}

#ifndef _WIN32
std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST_F(ProfileFiles, WriteKeepsOtherLinesByteForByteAndLeavesNoTemporaryFile) {
  const std::string path =
      Prepare("; settings\r\n[WEBTSM]\r\nWEBTSMON = 1 \r\nCheckSum=old\r\n\r\n[B]\r\ny=3\r\n");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(_UtilWritePrivateProfileString("WEBTSM", "CheckSum", "new", path.c_str(), "t", 1));
  EXPECT_EQ(FileText(path),
            "; settings\r\n[WEBTSM]\r\nWEBTSMON = 1 \r\nCheckSum=new\r\n\r\n[B]\r\ny=3\r\n");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  int files = 0;
  for ([[maybe_unused]] const fs::directory_entry& entry : fs::directory_iterator(m_directory)) {
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(ProfileFiles, NewSectionIsAppendedAfterABlankLine) {
  const std::string path = Prepare("[A]\nx=1");
  ASSERT_TRUE(_UtilWritePrivateProfileString("WEBTSM", "CheckSum", "c", path.c_str(), "t", 1));
  EXPECT_EQ(FileText(path), "[A]\nx=1\n\n[WEBTSM]\nCheckSum=c\n");
}

TEST_F(ProfileFiles, WritersOnSeveralThreadsLoseNoKey) {
  const std::string path = PathOf("threads.ini");
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t, &path] {
      for (int i = 0; i < 25; ++i) {
        const std::string key = "T" + std::to_string(t) + "K" + std::to_string(i);
        _UtilWritePrivateProfileString("S", key.c_str(), "v", path.c_str(), "t", 1);
      }
    });
  }
  for (std::thread& writer : writers) {
    writer.join();
  }
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 25; ++i) {
      const std::string key = "T" + std::to_string(t) + "K" + std::to_string(i);
      EXPECT_EQ(Read("S", key.c_str(), "", path), "v") << key;
    }
  }
}
#endif

}  // namespace
