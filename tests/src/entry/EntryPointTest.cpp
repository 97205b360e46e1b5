// The module as a host sees it: the gate in front of an activation, and the notification
// handler's registration over the module's load and unload.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "ExpectLog.h"
#include "ModuleFixture.h"
#include "host/Ui.h"

namespace corvane_test {
namespace {

using ::testing::ElementsAre;

std::size_t RegisteredHandlers() {
  return hostsim::RegisteredNotificationCount(CNotifyKXGoingBackground::kKind);
}

// ---- the gate -----------------------------------------------------------------------------

enum class Entry { InvokeWebTsm, OnFirstTimeSetup };

struct GateCase {
  const char* name;
  bool approved;
  bool iniNamed;
  std::optional<std::string> iniText;  // nullopt: no INI file on disk
  bool starts;                         // a SendWebRequest is queued
};

void PrintTo(const GateCase& gateCase, std::ostream* out) { *out << gateCase.name; }

class GateTest : public ModuleTest,
                 public ::testing::WithParamInterface<std::tuple<GateCase, Entry>> {};

TEST_P(GateTest, StartsAnActivationOnlyWhenApprovedAndSwitchedOn) {
  const auto& [gateCase, entry] = GetParam();
  hostsim::SetLaunchApproval(gateCase.approved);
  if (!gateCase.iniNamed) hostsim::SetDataIniFileName(std::nullopt);
  if (gateCase.iniText) WriteBytes(m_profile.iniFile, *gateCase.iniText);

  if (entry == Entry::InvokeWebTsm) {
    m_module.InvokeWebTsm();
  } else {
    m_module.OnFirstTimeSetup();
  }

  const auto approvals = hostsim::ApprovalRequests();
  ASSERT_EQ(approvals.size(), 1u);
  EXPECT_EQ(std::tie(approvals[0].feature, approvals[0].action, approvals[0].interactive),
            std::make_tuple(1077, 0, false));
  const bool switchRead = gateCase.approved && gateCase.iniNamed;
  EXPECT_EQ(hostsim::ProfileRequests().size(), switchRead ? 1u : 0u);

  EXPECT_EQ(hostsim::MessagesExecuted(), 0u) << "the entry points only queue work";
  if (gateCase.starts) {
    EXPECT_THAT(hostsim::PendingMessageTypes(), ElementsAre("SendWebRequest"));
  } else {
    EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
  }
  if (gateCase.starts || !gateCase.approved) {
    ExpectLog({});
  } else {
    ExpectLog({{"Web TSM is disabled for using ini switch for this user", Severity::Progress,
                kGateSite}});
  }
}

// The switch is on when its value begins with '1'; a missing key or file reads as on.
const GateCase kGateCases[] = {
    {"NotApproved", false, true, "[WEBTSM]\nWEBTSMON=1\n", false},
    {"NoIniFileNamed", true, false, std::nullopt, false},
    {"SwitchOne", true, true, "[WEBTSM]\nWEBTSMON=1\n", true},
    {"SwitchZero", true, true, "[WEBTSM]\nWEBTSMON=0\n", false},
    {"SwitchLeadingBlank", true, true, "[WEBTSM]\nWEBTSMON=\" 1\"\n", false},
    {"SwitchEmpty", true, true, "[WEBTSM]\nWEBTSMON=\n", false},
    {"SwitchInAnotherSection", true, true, "[OTHER]\nWEBTSMON=0\n", true},
    {"IniFileMissing", true, true, std::nullopt, true},
    {"LongValueCutStillOn", true, true, "[WEBTSM]\nWEBTSMON=1000000000000000000000\n", true},
};

INSTANTIATE_TEST_SUITE_P(
    Cases, GateTest,
    ::testing::Combine(::testing::ValuesIn(kGateCases),
                       ::testing::Values(Entry::InvokeWebTsm, Entry::OnFirstTimeSetup)),
    [](const auto& paramInfo) {
      return std::string(std::get<GateCase>(paramInfo.param).name) +
             (std::get<Entry>(paramInfo.param) == Entry::InvokeWebTsm ? "_Invoke" : "_Setup");
    });

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

}  // namespace
}  // namespace corvane_test
