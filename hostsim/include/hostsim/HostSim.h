// Control surface of the stand-in host: what a test or a tool sets up and observes.
// Everything the module calls is declared in host/; this header is never seen by src/.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/KXUtilities.h"
#include "hostsim/HostSimApi.h"

namespace hostsim {

// ---- log -----------------------------------------------------------------------------
struct LogRecord {
  int level = 0;
  int eventType = 0;
  std::string file;
  int line = 0;
  std::string function;
  std::string signature;
  std::string text;
};
HOSTSIM_API std::vector<LogRecord> LogRecords();  // the newest 1024 records, oldest first
HOSTSIM_API std::vector<std::string> LogTexts();  // the texts alone
HOSTSIM_API void ClearLog();
// Called for every record as it is written (for the tools' live output); null removes it.
HOSTSIM_API void SetLogObserver(std::function<void(const LogRecord&)> observer);

// ---- host configuration ----------------------------------------------------------------
HOSTSIM_API void SetDataIniFileName(
    std::optional<std::string> path);  // nullopt: the host names none
HOSTSIM_API void SetBaseDirectory(
    const std::string& directory);  // a separator is appended if missing
HOSTSIM_API void SetLaunchApproval(bool approved);
struct ApprovalRequest {
  int feature = 0;
  int action = 0;
  bool interactive = false;
};
HOSTSIM_API std::vector<ApprovalRequest> ApprovalRequests();  // every ApproveAll, in order

// Util::MSXML_XML::CreateDOMDocument returns this HRESULT, without creating a document,
// when it is a failure; S_OK restores the real factory.
HOSTSIM_API void SetDomFactoryResult(HRESULT result);
HOSTSIM_API unsigned DomDocumentsCreated();

// Util::FormatStringV returns null while set.
HOSTSIM_API void SetFormatterFails(bool fails);

// Every _UtilGetPrivateProfileString / _UtilWritePrivateProfileString call, in order.
struct ProfileRequest {
  bool write = false;
  std::optional<std::string> section;
  std::optional<std::string> key;
  std::optional<std::string> value;   // the default of a read, the value of a write
  std::optional<std::string> result;  // what a read left in the buffer
  unsigned long bufferSize = 0;
  std::optional<std::string> iniFile;
  std::optional<std::string> sourceFile;
  int sourceLine = 0;
};
HOSTSIM_API std::vector<ProfileRequest> ProfileRequests();
// The data INI file as the host keeps it, for tests and tools; neither counts as a request.
// A value, or nullopt when the key is absent.
HOSTSIM_API std::optional<std::string> ReadProfileValue(const std::string& section,
                                                        const std::string& key,
                                                        const std::string& iniFile);
HOSTSIM_API bool WriteProfileValue(const std::string& section, const std::string& key,
                                   const std::string& value, const std::string& iniFile);

// Current user and preference store; either may be absent.
HOSTSIM_API void SetCurrentUserPresent(bool present);
HOSTSIM_API void SetPreferenceStorePresent(bool present);
HOSTSIM_API void SetPreference(const std::string& name,
                               const std::string& value);  // stored as a VT_BSTR
HOSTSIM_API void SetPreferenceVariant(const std::string& name,
                                      const VARIANT& value);  // any VARIANT, copied
HOSTSIM_API void ClearPreferences();
HOSTSIM_API std::vector<std::string> PreferenceRequests();  // names asked, in order

// Condition evaluator under "AppFW::IConditionEvaluator". A condition that was never set
// succeeds and leaves the caller's result as it was; a variable that was never set fails.
enum class EvaluatorKind { None, OtherObject, Evaluator };
HOSTSIM_API void SetEvaluatorKind(EvaluatorKind kind);
struct Failure {
  long code = -1;  // 0 would read as success and is reported as -1
  std::string message;
  bool throwException = false;  // raise Util::Exception instead of returning a failed status
};
HOSTSIM_API void SetCondition(
    const std::string& name, std::optional<bool> result,
    std::optional<Failure> failure = std::nullopt);  // nullopt result: left untouched
HOSTSIM_API void SetVariable(const std::string& name, const Util::Variant& value,
                             std::optional<Failure> failure = std::nullopt);
HOSTSIM_API void ClearEvaluator();
HOSTSIM_API std::vector<std::string>
EvaluatorRequests();  // condition and variable names asked, in order

// ---- message sequence ------------------------------------------------------------------
// The thread that calls RunPendingMessages/RunMessagesUntil is the host thread. A message is
// queued by its host base's constructor, so one made on another thread may be run as soon as
// its dynamic type is set: a message class must not rely on members of its own there.
// Whatever leaves Execute is caught, logged at level 3, event type 5, and counted.
HOSTSIM_API std::size_t PendingMessageCount();
HOSTSIM_API std::vector<std::string> PendingMessageTypes();  // demangled class names, oldest first
HOSTSIM_API std::size_t RunPendingMessages();  // runs what is queued now, returns how many
// Runs messages as they arrive until done() is true after a message (or at once), or the
// timeout passes; returns done()'s last value.
HOSTSIM_API bool RunMessagesUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout);
HOSTSIM_API bool WaitForMessage(std::chrono::milliseconds timeout);  // true when one is queued
HOSTSIM_API void DiscardPendingMessages();
HOSTSIM_API std::uint64_t MessagesExecuted();
HOSTSIM_API std::uint64_t MessagesFailed();  // Execute left by an exception (caught and logged)

// ---- notifications ---------------------------------------------------------------------
HOSTSIM_API std::size_t RegisteredNotificationCount(int kind);
HOSTSIM_API void DeliverGoingBackground();  // on the calling thread, to every registered handler

// ---- memory --------------------------------------------------------------------------
struct MemoryStats {
  std::uint64_t liveBlocks = 0;
  std::uint64_t liveBytes = 0;  // bytes asked for, without the checker's own header and guard
  std::uint64_t allocations = 0;
  std::uint64_t releases = 0;
};
HOSTSIM_API MemoryStats GetMemoryStats();

// Back to a fresh host: empty log, no INI file, the current directory as base directory,
// approval granted, user and store present and empty, no evaluator, no pending messages (they
// are deleted unrun), the real DOM factory and formatter, no recorded requests. Registered
// notification handlers and the memory statistics stay.
HOSTSIM_API void Reset();

}  // namespace hostsim
