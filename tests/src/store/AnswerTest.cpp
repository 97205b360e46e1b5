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

int ComInitCount() {
#ifdef _WIN32
  return 0;  // COM's own count is not visible on Windows
#else
  return PlatformComInitCount();
#endif
}

enum class Setup { None, NoIniPath, UnwritableIni, TargetIsAFolder };

struct AnswerCase {
  const char* name;
  std::string body;
  std::set<std::string> files;     // the messages folder afterwards
  std::string recorded;            // the data INI file's checksum afterwards
  const char* logStart = nullptr;  // the only log line; null: none
  Setup setup = Setup::None;
};

const char* const kSaved = corvane_test::kSavedLine;
const std::set<std::string> kNone;
const std::set<std::string> kStored{"1234WebTSMFile.xmf"};
const std::string kLong(120, 'c');
const std::string kLongRefusal = "Refused the response checksum (a/b?" + std::string(116, 'z') +
                                 "...): not usable in a file name";

const AnswerCase kAnswers[] = {
    {"NoOperationBesideMessages", Answer("1234", "<NoOperation/><Messages/>"), kStored, "1234",
     kSaved},
    {"EmptyCheckSumNamesTheFileBySuffix", Answer(""), {"WebTSMFile.xmf"}, "", kSaved},
    {"LongCheckSumIsRecordedWhole", Answer(kLong), {kLong + "WebTSMFile.xmf"}, kLong, kSaved},
    {"OtherRoot", "<Answer Userpref_CheckSum='1234'><Messages/></Answer>", kNone, "previous"},
    {"NamespacedRoot",
     "<WebControlMessage xmlns='urn:corvane' Userpref_CheckSum='1234'><Messages/>"
     "</WebControlMessage>",
     kNone, "previous"},
    {"MessagesWithoutCheckSum", "<WebControlMessage><Messages><M/></Messages></WebControlMessage>",
     kNone, "previous"},
    {"CheckSumWithoutMessages", Answer("1234", "<NoOperation/>"), kNone, "previous"},
    {"MessagesNotAChildOfTheRoot", Answer("1234", "<X><Messages/></X>"), kNone, "previous"},
    // A checksum that could leave the folder, break the name or change in the INI file is
    // refused on one short line.
    {"ParentFolder", Answer("../x"), kNone, "previous",
     "Refused the response checksum (../x): not usable in a file name"},
    {"LeadingBlank", Answer(" 12"), kNone, "previous",
     "Refused the response checksum ( 12): the data INI file would not keep it unchanged"},
    {"Quoted", Answer("'12'"), kNone, "previous",
     "Refused the response checksum ('12'): the data INI file would not keep it unchanged"},
    {"LongWithALineBreakIsShownShort", Answer("a/b&#10;" + std::string(500, 'z')), kNone,
     "previous", kLongRefusal.c_str()},
    // The file is stored before the checksum is recorded, and only then is success logged.
    {"NoIniPathWritesTheFileOnly", Answer("1234"), kStored, "previous", nullptr, Setup::NoIniPath},
    {"UnwritableIni", Answer("1234"), kStored, "previous", nullptr, Setup::UnwritableIni},
    {"TargetThatIsAFolderIsLeft", Answer("1234"), kStored, "previous", nullptr,
     Setup::TargetIsAFolder},
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
    case Setup::TargetIsAFolder:
      corvane_test::fs::create_directories(target / "inner");
      break;
  }
  const std::set<std::string> baseBefore = FilesIn(profile.base);
  const int comBefore = ComInitCount();
  ASSERT_NO_THROW(Worker().ProcessResponse(c.body.c_str()));
  EXPECT_EQ(ComInitCount(), comBefore);
  EXPECT_EQ(FilesIn(profile.messagesFolder), c.files);
  EXPECT_EQ(profile.RecordedCheckSum(), c.recorded);
  EXPECT_EQ(FilesIn(profile.base), baseBefore);
  EXPECT_EQ(corvane_test::fs::is_directory(target / "inner"), c.setup == Setup::TargetIsAFolder);
  const std::vector<hostsim::LogRecord> records = hostsim::LogRecords();

  // Once more along the same path: no host string is left behind.
  const std::uint64_t liveBefore = hostsim::GetMemoryStats().liveBlocks;
  Worker().ProcessResponse(c.body.c_str());
  EXPECT_EQ(hostsim::GetMemoryStats().liveBlocks, liveBefore);

  ASSERT_EQ(records.size(), c.logStart ? 1u : 0u);
  if (!c.logStart) return;
  EXPECT_EQ(records[0].text, c.logStart);
  EXPECT_EQ(std::make_pair(records[0].level, records[0].eventType), std::make_pair(0, 6));
  if (c.logStart == kSaved) {
    EXPECT_EQ(records[0].function, "CorvaneConfiguration::SaveXMF");
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, AnswerTest, ::testing::ValuesIn(kAnswers),
                         [](const ::testing::TestParamInfo<AnswerCase>& testParam) {
                           return std::string(testParam.param.name);
                         });

}  // namespace
