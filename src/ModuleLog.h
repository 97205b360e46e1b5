// Log lines of the module. Every line goes through the host's message functor with the
// source file, line, function name and full signature of the operation that writes it.
#pragma once

#include "host/KXUtilities.h"

namespace corvane {

// Source file names as the host's log and profile-string calls expect them (texts, not
// paths of this tree).
inline constexpr const char* kWebTsmManagerSource =
    "Features\\MarketingSupport\\Corvane\\src\\webtsmmanager";
inline constexpr const char* kConfigurationSource =
    "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration";

// Where a log line comes from, apart from its line number.
struct LogSite {
  const char* file;
  const char* function;
  const char* signature;
};

// The two level / event-type pairs the module writes.
inline constexpr int kLevelProgress = Util::Ops::LevelInfo;
inline constexpr int kEventProgress = Util::Ops::EventProgress;
inline constexpr int kLevelError = Util::Ops::LevelError;
inline constexpr int kEventError = Util::Ops::EventError;

}  // namespace corvane

// One log line: a message functor for the site and this line, called once with a printf
// format and its arguments. A macro, so that the line is the caller's and the compiler
// checks the format against its arguments.
#define CORVANE_LOG(site, level, eventType, ...)                                               \
  Util::Ops::MessageFunctor(Util::GetOps(), (level), (eventType), (site).file, __LINE__,      \
                            (site).function, (site).signature)(__VA_ARGS__)

// Progress lines and WinINet failures: level 0, event type 6.
#define CORVANE_LOG_PROGRESS(site, ...) \
  CORVANE_LOG(site, ::corvane::kLevelProgress, ::corvane::kEventProgress, __VA_ARGS__)

// Handshake failure, connection-check error and parse errors: level 3, event type 5.
#define CORVANE_LOG_ERROR(site, ...) \
  CORVANE_LOG(site, ::corvane::kLevelError, ::corvane::kEventError, __VA_ARGS__)
