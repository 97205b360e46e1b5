// The service's answer: which answers store a message set and which leave everything as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "HostProfile.h"
#include "StoreExpectations.h"

#ifndef _WIN32
#include "platform/linux/PlatformTestSupport.h"
#endif

namespace {

using corvane_test::FilesIn;
using corvane_test::HostProfile;
using corvane_test::Worker;

struct ResponseCase {
  const char* name;
  std::string body;
  bool stored;
  bool parseError;
};

class ResponseTest : public ::testing::TestWithParam<ResponseCase> {
 protected:
  HostProfile profile;
};

TEST_P(ResponseTest, StoresOnlyAMessageSetWithItsCheckSum) {
  profile.RecordCheckSum("previous");
#ifndef _WIN32
  const int comBefore = PlatformComInitCount();
#endif
  ASSERT_NO_THROW(Worker().ProcessResponse(GetParam().body.c_str()));
#ifndef _WIN32
  EXPECT_EQ(PlatformComInitCount(), comBefore);
#endif

  if (GetParam().stored) {
    EXPECT_EQ(FilesIn(profile.messagesFolder), std::set<std::string>{"1234WebTSMFile.xmf"});
    EXPECT_EQ(profile.RecordedCheckSum(), "1234");
    EXPECT_EQ(corvane_test::CountLogLines(corvane_test::kSavedLine), 1);
    EXPECT_EQ(hostsim::LogRecords().size(), 1u);
  } else {
    EXPECT_TRUE(FilesIn(profile.messagesFolder).empty());
    EXPECT_EQ(profile.RecordedCheckSum(), "previous");
    EXPECT_EQ(hostsim::LogRecords().size(), GetParam().parseError ? 1u : 0u);
  }
  if (GetParam().parseError) {
    ASSERT_FALSE(hostsim::LogRecords().empty());
    EXPECT_EQ(hostsim::LogRecords()[0].text.rfind("XSD parsing error in ", 0), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ResponseTest,
    ::testing::Values(
        ResponseCase{"NotWellFormed", "<WebControlMessage Userpref_CheckSum='1234'><Messages>",
                     false, true},
        ResponseCase{"XhtmlErrorPage",
                     "<html xmlns='http://www.w3.org/1999/xhtml'><body>502</body></html>", false,
                     false},
        ResponseCase{"OtherRoot", "<Answer Userpref_CheckSum='1234'><Messages/></Answer>", false,
                     false},
        ResponseCase{"NamespacedRoot",
                     "<WebControlMessage xmlns='urn:corvane' Userpref_CheckSum='1234'>"
                     "<Messages/></WebControlMessage>",
                     false, false},
        ResponseCase{"MessagesWithoutCheckSum",
                     "<WebControlMessage><Messages><M/></Messages></WebControlMessage>", false,
                     false},
        ResponseCase{
            "CheckSumWithoutMessages",
            "<WebControlMessage Userpref_CheckSum='1234'><NoOperation/></WebControlMessage>", false,
            false},
        ResponseCase{
            "MessagesNotAChildOfTheRoot",
            "<WebControlMessage Userpref_CheckSum='1234'><X><Messages/></X></WebControlMessage>",
            false, false},
        ResponseCase{"CheckSumAndMessages",
                     "<WebControlMessage Userpref_CheckSum='1234'><Messages><M>hi</M></Messages>"
                     "</WebControlMessage>",
                     true, false},
        ResponseCase{"CheckSumMessagesAndNoOperation",
                     "<WebControlMessage Userpref_CheckSum='1234'><NoOperation/><Messages/>"
                     "</WebControlMessage>",
                     true, false}),
    [](const ::testing::TestParamInfo<ResponseCase>& testParam) { return testParam.param.name; });

TEST(ResponseFactoryTest, FailedDocumentCreationRaisesPointerErrorAndStoresNothing) {
  HostProfile profile;
  hostsim::SetDomFactoryResult(REGDB_E_CLASSNOTREG);
#ifndef _WIN32
  const int comBefore = PlatformComInitCount();
#endif
  try {
    Worker().ProcessResponse(
        "<WebControlMessage Userpref_CheckSum='1'><Messages/></WebControlMessage>");
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

TEST(ResponseRepetitionTest, ManyAnswersLeaveNoHostStringsBehind) {
  HostProfile profile;
  const std::string stored =
      "<WebControlMessage Userpref_CheckSum='7'><Messages><M>x</M></Messages></WebControlMessage>";
  const std::string refused =
      "<WebControlMessage Userpref_CheckSum='../7'><Messages/></WebControlMessage>";
  Worker().ProcessResponse(stored.c_str());
  const std::uint64_t liveBefore = hostsim::GetMemoryStats().liveBlocks;
  for (int round = 0; round < 300; ++round) {
    Worker().ProcessResponse(stored.c_str());
    Worker().ProcessResponse(refused.c_str());
    Worker().ProcessResponse("<broken");
    hostsim::ClearLog();
  }
  EXPECT_EQ(hostsim::GetMemoryStats().liveBlocks, liveBefore);
  EXPECT_EQ(FilesIn(profile.messagesFolder), std::set<std::string>{"7WebTSMFile.xmf"});
}

}  // namespace
