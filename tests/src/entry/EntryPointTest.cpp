// The module as a host sees it: its exports, the gate in front of an activation, and the
// notification handler's registration over the module's load and unload.
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ModuleFixture.h"
#include "host/Ui.h"

namespace corvane_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kDisabledLine = "Web TSM is disabled for using ini switch for this user";

std::size_t RegisteredHandlers() {
  return hostsim::RegisteredNotificationCount(CNotifyKXGoingBackground::kKind);
}

// ---- exports ------------------------------------------------------------------------------

TEST(ModuleExports, BothEntryPointsAreFoundByName) {
  LoadedModule module;
  ASSERT_TRUE(module.IsLoaded());
  EXPECT_NE(module.Symbol(kInvokeWebTsmExport), nullptr);
  EXPECT_NE(module.Symbol(kOnFirstTimeSetupExport), nullptr);
  EXPECT_EQ(module.Symbol("OnFirstTimeSetup"), nullptr);
}

// ---- the gate -----------------------------------------------------------------------------

enum class Entry { InvokeWebTsm, OnFirstTimeSetup };

struct GateCase {
  const char* name;
  bool approved;
  bool iniNamed;
  std::optional<std::string> iniText;  // nullopt: no INI file on disk
  bool starts;                          // a SendWebRequest is queued
};

void PrintTo(const GateCase& gateCase, std::ostream* out) { *out << gateCase.name; }

class GateTest : public ModuleTest,
                 public ::testing::WithParamInterface<std::tuple<GateCase, Entry>> {
protected:
  void Call() {
    if (std::get<Entry>(GetParam()) == Entry::InvokeWebTsm) {
      m_module.InvokeWebTsm();
    } else {
      m_module.OnFirstTimeSetup();
    }
  }
};

TEST_P(GateTest, StartsAnActivationOnlyWhenApprovedAndSwitchedOn) {
  const GateCase& gateCase = std::get<GateCase>(GetParam());
  hostsim::SetLaunchApproval(gateCase.approved);
  if (!gateCase.iniNamed) {
    hostsim::SetDataIniFileName(std::nullopt);
  }
  if (gateCase.iniText) {
    WriteBytes(m_profile.iniFile, *gateCase.iniText);
  }

  Call();

  const auto approvals = hostsim::ApprovalRequests();
  ASSERT_EQ(approvals.size(), 1u);
  EXPECT_EQ(approvals[0].feature, 1077);
  EXPECT_EQ(approvals[0].action, 0);
  EXPECT_FALSE(approvals[0].interactive);

  const auto reads = hostsim::ProfileRequests();
  if (!gateCase.approved || !gateCase.iniNamed) {
    EXPECT_THAT(reads, IsEmpty()) << "no INI read";
  } else {
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_FALSE(reads[0].write);
    EXPECT_EQ(reads[0].section, "WEBTSM");
    EXPECT_EQ(reads[0].key, "WEBTSMON");
    EXPECT_EQ(reads[0].value, "1");
    EXPECT_EQ(reads[0].bufferSize, 10u);
    EXPECT_EQ(reads[0].iniFile, m_profile.iniFile.string());
    EXPECT_EQ(reads[0].sourceFile, "Features\\MarketingSupport\\Corvane\\src\\webtsmmanager");
  }

  if (gateCase.starts) {
    EXPECT_THAT(hostsim::PendingMessageTypes(), ElementsAre("SendWebRequest"));
    EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
    return;
  }
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
  if (!gateCase.approved) {
    EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
    return;
  }
  const auto records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, kDisabledLine);
  EXPECT_EQ(records[0].level, 0);
  EXPECT_EQ(records[0].eventType, 6);
  EXPECT_EQ(records[0].file, "Features\\MarketingSupport\\Corvane\\src\\webtsmmanager");
  EXPECT_GT(records[0].line, 0);
  EXPECT_EQ(records[0].function, "WebTSMManager::OnFirstTimeSetup");
  EXPECT_EQ(records[0].signature, "void __cdecl WebTSMManager::OnFirstTimeSetup(void)");
}

const GateCase kGateCases[] = {
    {"NotApproved", false, true, "[WEBTSM]\nWEBTSMON=1\n", false},
    {"NotApprovedAndSwitchedOff", false, true, "[WEBTSM]\nWEBTSMON=0\n", false},
    {"NoIniFileNamed", true, false, std::nullopt, false},
    {"SwitchOne", true, true, "[WEBTSM]\nWEBTSMON=1\n", true},
    {"SwitchTen", true, true, "[WEBTSM]\nWEBTSMON=10\n", true},
    {"SwitchZero", true, true, "[WEBTSM]\nWEBTSMON=0\n", false},
    {"SwitchLeadingBlank", true, true, "[WEBTSM]\nWEBTSMON=\" 1\"\n", false},
    {"SwitchEmpty", true, true, "[WEBTSM]\nWEBTSMON=\n", false},
    {"SwitchWord", true, true, "[WEBTSM]\nWEBTSMON=yes\n", false},
    {"KeyMissing", true, true, "[WEBTSM]\nCheckSum=abc\n", true},
    {"SectionMissing", true, true, "[OTHER]\nWEBTSMON=0\n", true},
    {"IniFileMissing", true, true, std::nullopt, true},
    {"LongValueCutStillOn", true, true, "[WEBTSM]\nWEBTSMON=1000000000000000000000\n", true},
    {"LongValueCutStillOff", true, true, "[WEBTSM]\nWEBTSMON=0111111111111111111111\n", false},
};

INSTANTIATE_TEST_SUITE_P(
    Cases, GateTest,
    ::testing::Combine(::testing::ValuesIn(kGateCases),
                       ::testing::Values(Entry::InvokeWebTsm, Entry::OnFirstTimeSetup)),
    [](const auto& paramInfo) {
      return std::string(std::get<GateCase>(paramInfo.param).name) +
             (std::get<Entry>(paramInfo.param) == Entry::InvokeWebTsm ? "_Invoke" : "_Setup");
    });

class EntryTest : public ModuleTest {};

TEST_F(EntryTest, EveryCallThatPassesTheGateQueuesOneMoreActivation) {
  m_module.InvokeWebTsm();
  m_module.OnFirstTimeSetup();
  m_module.InvokeWebTsm();
  EXPECT_THAT(hostsim::PendingMessageTypes(),
              ElementsAre("SendWebRequest", "SendWebRequest", "SendWebRequest"));
  EXPECT_EQ(hostsim::MessagesExecuted(), 0u) << "the entry points only queue work";
}

// ---- the background handler ----------------------------------------------------------------

TEST(BackgroundHandler, IsRegisteredWhileTheModuleIsLoaded) {
  const std::size_t before = RegisteredHandlers();
  {
    LoadedModule module;
    ASSERT_TRUE(module.IsLoaded());
    EXPECT_EQ(RegisteredHandlers(), before + 1);
    module.Unload();
    EXPECT_EQ(RegisteredHandlers(), before);
  }
  LoadedModule again;
  EXPECT_EQ(RegisteredHandlers(), before + 1) << "a reload registers it again";
}

TEST_F(EntryTest, BackgroundBeforeAnyActivationDoesNothingVisible) {
  hostsim::DeliverGoingBackground();
  hostsim::DeliverGoingBackground();
  EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
  // The module still works afterwards.
  m_module.InvokeWebTsm();
  EXPECT_THAT(hostsim::PendingMessageTypes(), ElementsAre("SendWebRequest"));
}

}  // namespace
}  // namespace corvane_test
