// The service's answer through the store: which answers store a message set and record its
// checksum, and which leave the previous file, checksum and folders as they were.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "HostProfile.h"
#include "StoreExpectations.h"

#ifndef _WIN32
#include "platform/linux/PlatformTestSupport.h"
#endif

namespace {

using corvane_test::FilesIn;
using corvane_test::HostProfile;
using corvane_test::Worker;

std::string Answer(const std::string& checksum, const std::string& inside = "<Messages/>") {
  return "<WebControlMessage Userpref_CheckSum=\"" + checksum + "\">" + inside +
         "</WebControlMessage>";
}

enum class Setup { None, NoIniPath, UnwritableIni, NoMessagesFolder, TargetIsAFolder };

struct AnswerCase {
  const char* name;
  std::string body;
  std::set<std::string> files;   // the messages folder afterwards
  std::string recorded;          // the data INI file's checksum afterwards
  std::vector<std::string> log;  // the beginnings of the log lines
  Setup setup = Setup::None;
};

const char* const kSaved = corvane_test::kSavedLine;
const char* const kParseError = "XSD parsing error in ";
const char* const kRefused = "Refused the response checksum (";
const std::set<std::string> kNone;
const std::set<std::string> kStored{"1234WebTSMFile.xmf"};

const AnswerCase kAnswers[] = {
    {"MessagesAndCheckSum",
     Answer("1234", "<Messages><M>hi</M></Messages>"),
     kStored,
     "1234",
     {kSaved}},
    {"NoOperationBesideMessages",
     Answer("1234", "<NoOperation/><Messages/>"),
     kStored,
     "1234",
     {kSaved}},
    {"EmptyCheckSumNamesTheFileBySuffix", Answer(""), {"WebTSMFile.xmf"}, "", {kSaved}},
    {"LongCheckSumIsRecordedWhole",
     Answer(std::string(120, 'c')),
     {std::string(120, 'c') + "WebTSMFile.xmf"},
     std::string(120, 'c'),
     {kSaved}},
    {"NotWellFormed",
     "<WebControlMessage Userpref_CheckSum='1234'><Messages>",
     kNone,
     "previous",
     {kParseError}},
    {"XhtmlErrorPage",
     "<html xmlns='http://www.w3.org/1999/xhtml'><body>502</body></html>",
     kNone,
     "previous",
     {}},
    {"OtherRoot", "<Answer Userpref_CheckSum='1234'><Messages/></Answer>", kNone, "previous", {}},
    {"NamespacedRoot",
     "<WebControlMessage xmlns='urn:corvane' Userpref_CheckSum='1234'><Messages/>"
     "</WebControlMessage>",
     kNone,
     "previous",
     {}},
    {"MessagesWithoutCheckSum",
     "<WebControlMessage><Messages><M/></Messages></WebControlMessage>",
     kNone,
     "previous",
     {}},
    {"CheckSumWithoutMessages", Answer("1234", "<NoOperation/>"), kNone, "previous", {}},
    {"MessagesNotAChildOfTheRoot", Answer("1234", "<X><Messages/></X>"), kNone, "previous", {}},
    // A checksum that could leave the folder, break the name or change in the INI file.
    {"ParentFolder", Answer("../x"), kNone, "previous", {kRefused}},
    {"BackslashParent", Answer("..\\x"), kNone, "previous", {kRefused}},
    {"DriveColon", Answer("c:d"), kNone, "previous", {kRefused}},
    {"DotDot", Answer(".."), kNone, "previous", {kRefused}},
    {"Tab", Answer("tab&#9;x"), kNone, "previous", {kRefused}},
    {"LineBreaks", Answer("cr&#13;lf&#10;"), kNone, "previous", {kRefused}},
    {"LeadingBlank", Answer(" 12"), kNone, "previous", {kRefused}},
    {"Quoted", Answer("'12'"), kNone, "previous", {kRefused}},
    // The file is stored before the checksum is recorded, and only then is success logged.
    {"NoIniPathWritesTheFileOnly", Answer("1234"), kStored, "previous", {}, Setup::NoIniPath},
    {"UnwritableIni", Answer("1234"), kStored, "previous", {}, Setup::UnwritableIni},
    {"NoMessagesFolder", Answer("1234"), kNone, "previous", {}, Setup::NoMessagesFolder},
    {"TargetThatIsAFolderIsLeft", Answer("1234"), kStored, "previous", {}, Setup::TargetIsAFolder},
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

class AnswerTest : public ::testing::TestWithParam<AnswerCase> {
 protected:
  HostProfile profile;
};

TEST_P(AnswerTest, StoresOnlyAMessageSetWithAUsableCheckSum) {
  const AnswerCase& c = GetParam();
  const corvane_test::fs::path target = profile.messagesFolder / "1234WebTSMFile.xmf";
  profile.RecordCheckSum("previous");
  switch (c.setup) {
    case Setup::None:
      break;
    case Setup::NoIniPath:
      hostsim::SetDataIniFileName(std::nullopt);
      break;
    case Setup::UnwritableIni:
      hostsim::SetDataIniFileName((profile.base / "no-such-folder" / "kxdata.ini").string());
      break;
    case Setup::NoMessagesFolder:
      corvane_test::fs::remove_all(profile.messagesFolder);
      break;
    case Setup::TargetIsAFolder:
      corvane_test::fs::create_directories(target / "inner");
      break;
  }
  const std::set<std::string> baseBefore = FilesIn(profile.base);
#ifndef _WIN32
  const int comBefore = PlatformComInitCount();
#endif
  ASSERT_NO_THROW(Worker().ProcessResponse(c.body.c_str()));
#ifndef _WIN32
  EXPECT_EQ(PlatformComInitCount(), comBefore);
#endif
  EXPECT_EQ(FilesIn(profile.messagesFolder), c.files);
  EXPECT_EQ(profile.RecordedCheckSum(), c.recorded);
  EXPECT_EQ(FilesIn(profile.base), baseBefore);
  EXPECT_EQ(corvane_test::fs::is_directory(target / "inner"), c.setup == Setup::TargetIsAFolder);
  const std::vector<hostsim::LogRecord> records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), c.log.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].text.rfind(c.log[i], 0), 0u) << records[i].text;
    if (c.log[i] != kParseError) {
      EXPECT_EQ(records[i].text.find_first_of("\r\n\t"), std::string::npos) << records[i].text;
      EXPECT_EQ(std::make_pair(records[i].level, records[i].eventType), std::make_pair(0, 6));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, AnswerTest, ::testing::ValuesIn(kAnswers),
                         [](const ::testing::TestParamInfo<AnswerCase>& testParam) {
                           return std::string(testParam.param.name);
                         });

TEST(AnswerRefusalTest, LogLineShowsTheCheckSumShortAndOnOneLine) {
  HostProfile profile;
  Worker().ProcessResponse(Answer("a/b&#10;" + std::string(500, 'z')).c_str());
  const auto records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text.rfind("Refused the response checksum (a/b?zzz", 0), 0u);
  EXPECT_LT(records[0].text.size(), 200u);
  EXPECT_NE(records[0].text.find("...): not usable in a file name"), std::string::npos);
}

TEST(AnswerFactoryTest, FailedDocumentCreationRaisesPointerErrorAndStoresNothing) {
  HostProfile profile;
  hostsim::SetDomFactoryResult(REGDB_E_CLASSNOTREG);
#ifndef _WIN32
  const int comBefore = PlatformComInitCount();
#endif
  try {
    Worker().ProcessResponse(Answer("1").c_str());
    FAIL() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), E_POINTER);
  }
  EXPECT_TRUE(FilesIn(profile.messagesFolder).empty());
  EXPECT_EQ(profile.RecordedCheckSum(), std::nullopt);
#ifndef _WIN32
  EXPECT_EQ(PlatformComInitCount(), comBefore);
#endif
}

TEST(AnswerRepetitionTest, ManyAnswersLeaveNoHostStringsBehind) {
  HostProfile profile;
  const std::string stored = Answer("7", "<Messages><M>x</M></Messages>");
  const std::string refused = Answer("../7");
  Worker().ProcessResponse(stored.c_str());
  const std::uint64_t liveBefore = hostsim::GetMemoryStats().liveBlocks;
  for (int round = 0; round < 100; ++round) {
    Worker().ProcessResponse(stored.c_str());
    Worker().ProcessResponse(refused.c_str());
    Worker().ProcessResponse("<broken");
    hostsim::ClearLog();
  }
  EXPECT_EQ(hostsim::GetMemoryStats().liveBlocks, liveBefore);
  EXPECT_EQ(FilesIn(profile.messagesFolder), std::set<std::string>{"7WebTSMFile.xmf"});
}

}  // namespace
