// The host log as the entry points and the request driver leave it: each record's text, level
// and event type, and the source file, function and signature of the member that wrote it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hostsim/HostSim.h"

namespace corvane_test {

// A `void f(void)` member of the module, as its log records name it.
struct LogSite {
  const char* file;
  const char* function;
};

inline constexpr LogSite kGateSite{"Features\\MarketingSupport\\Corvane\\src\\webtsmmanager",
                                   "WebTSMManager::OnFirstTimeSetup"};
inline constexpr LogSite kDriverSite{
    "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration",
    "CorvaneConfiguration::LoadURLAndSendWebRequest"};
inline constexpr LogSite kHandShakeSite{
    "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration",
    "CorvaneConfiguration::TSMFirstHandShake"};

enum class Severity { Progress, Error };  // level 0 and event type 6; level 3 and event type 5

struct ExpectedRecord {
  std::string text;
  Severity severity;
  LogSite site;
};

// The whole log, record by record.
inline void ExpectLog(const std::vector<ExpectedRecord>& expected) {
  const std::vector<hostsim::LogRecord> records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), expected.size()) << ::testing::PrintToString(hostsim::LogTexts());
  for (std::size_t index = 0; index < records.size(); ++index) {
    const hostsim::LogRecord& record = records[index];
    const ExpectedRecord& wanted = expected[index];
    const bool progress = wanted.severity == Severity::Progress;
    EXPECT_EQ(record.text, wanted.text);
    EXPECT_EQ(std::make_pair(record.level, record.eventType),
              progress ? std::make_pair(0, 6) : std::make_pair(3, 5));
    EXPECT_EQ(record.file, wanted.site.file);
    EXPECT_GT(record.line, 0);
    EXPECT_EQ(record.function, wanted.site.function);
    EXPECT_EQ(record.signature, "void __cdecl " + std::string(wanted.site.function) + "(void)");
  }
}

}  // namespace corvane_test
