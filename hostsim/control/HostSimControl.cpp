// The C interface of the stand-in host (hostsim/HostSimControl.h) over its C++ control
// surface. Every entry turns whatever the C++ side throws into a status: a C caller cannot
// receive an exception.
#include "hostsim/HostSimControl.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "host/KXUtilities.h"
#include "hostsim/HostSim.h"

namespace {

static_assert(std::is_same_v<WCHAR, HostSimWideChar>);

// The C tags are the host's own numbers.
constexpr bool SameTag(std::uint32_t c, std::uint32_t host) { return c == host; }
static_assert(SameTag(HOSTSIM_TAG_EMPTY, Util::Variant::TagEmpty) &&
              SameTag(HOSTSIM_TAG_NULL, Util::Variant::TagNull) &&
              SameTag(HOSTSIM_TAG_INT8, Util::Variant::TagInt8) &&
              SameTag(HOSTSIM_TAG_INT16, Util::Variant::TagInt16) &&
              SameTag(HOSTSIM_TAG_INT32, Util::Variant::TagInt32) &&
              SameTag(HOSTSIM_TAG_INT64, Util::Variant::TagInt64) &&
              SameTag(HOSTSIM_TAG_LONG, Util::Variant::TagLong) &&
              SameTag(HOSTSIM_TAG_UINT8, Util::Variant::TagUInt8) &&
              SameTag(HOSTSIM_TAG_UINT16, Util::Variant::TagUInt16) &&
              SameTag(HOSTSIM_TAG_UINT32, Util::Variant::TagUInt32) &&
              SameTag(HOSTSIM_TAG_UINT64, Util::Variant::TagUInt64) &&
              SameTag(HOSTSIM_TAG_ULONG, Util::Variant::TagULong) &&
              SameTag(HOSTSIM_TAG_DOUBLE, Util::Variant::TagDouble) &&
              SameTag(HOSTSIM_TAG_BOOL, Util::Variant::TagBool) &&
              SameTag(HOSTSIM_TAG_STRING, Util::Variant::TagString) &&
              SameTag(HOSTSIM_TAG_WIDE_STRING, Util::Variant::TagWideString));

// ---- failures --------------------------------------------------------------------------

// Kept in fixed storage so that recording a failure never allocates, and so never fails.
struct LastError {
  HostSimStatus status = HOSTSIM_OK;
  char message[512] = {};
};
thread_local LastError t_lastError;

HostSimStatus Record(HostSimStatus status, const char* entry, const char* what) noexcept {
  t_lastError.status = status;
  std::snprintf(t_lastError.message, sizeof t_lastError.message, "%s: %s", entry,
                what != nullptr ? what : "");
  return status;
}

HostSimStatus RecordHostException(const char* entry, const Util::Exception& exception) noexcept {
  const Util::Status& status = exception.GetStatus();
  const char* message = status.GetStatusMessage();
  t_lastError.status = HOSTSIM_HOST_EXCEPTION;
  std::snprintf(t_lastError.message, sizeof t_lastError.message,
                "%s: the host raised its exception (%ld) %s", entry, status.GetStatusCode(),
                message != nullptr ? message : "");
  return HOSTSIM_HOST_EXCEPTION;
}

// An argument this interface refuses before anything is changed.
class RefusedArgument {
 public:
  explicit RefusedArgument(const char* problem) : m_problem(problem) {}
  const char* Problem() const { return m_problem; }

 private:
  const char* m_problem;
};

void Require(bool condition, const char* problem) {
  if (!condition) {
    throw RefusedArgument(problem);
  }
}

// Runs an entry's work and reports how it ended.
template <class Work>
HostSimStatus Guarded(const char* entry, Work&& work) noexcept {
  try {
    std::forward<Work>(work)();
    return HOSTSIM_OK;
  } catch (const RefusedArgument& refused) {
    return Record(HOSTSIM_INVALID_ARGUMENT, entry, refused.Problem());
  } catch (const std::bad_alloc&) {
    return Record(HOSTSIM_OUT_OF_MEMORY, entry, "out of memory");
  } catch (const Util::Exception& exception) {
    return RecordHostException(entry, exception);
  } catch (const std::exception& exception) {
    return Record(HOSTSIM_FAILED, entry, exception.what());
  } catch (...) {
    return Record(HOSTSIM_FAILED, entry, "an exception of unknown type");
  }
}

// ---- conversions -----------------------------------------------------------------------

bool IsSet(std::int32_t flag) { return flag != 0; }
std::int32_t AsFlag(bool value) { return value ? 1 : 0; }

const char* Text(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

std::chrono::milliseconds Timeout(std::int64_t milliseconds) {
  return std::chrono::milliseconds(
      std::clamp<std::int64_t>(milliseconds, 0, HOSTSIM_TIMEOUT_MAX_MS));
}

HostSimLogRecord ToC(const hostsim::LogRecord& record) {
  return HostSimLogRecord{record.level,       record.eventType,        record.file.c_str(),
                          record.line,        record.function.c_str(), record.signature.c_str(),
                          record.text.c_str()};
}

HostSimProfileRequest ToC(const hostsim::ProfileRequest& request) {
  return HostSimProfileRequest{AsFlag(request.write), Text(request.section),    Text(request.key),
                               Text(request.value),   Text(request.result),     request.bufferSize,
                               Text(request.iniFile), Text(request.sourceFile), request.sourceLine};
}

std::optional<hostsim::Failure> ToFailure(const HostSimFailure* failure) {
  if (failure == nullptr) {
    return std::nullopt;
  }
  Require(std::in_range<long>(failure->code), "the failure code does not fit the host's long");
  return hostsim::Failure{static_cast<long>(failure->code),
                          failure->message != nullptr ? failure->message : "",
                          IsSet(failure->throwException)};
}

std::optional<bool> ToConditionResult(std::int32_t result) {
  switch (result) {
    case HOSTSIM_CONDITION_FALSE:
      return false;
    case HOSTSIM_CONDITION_TRUE:
      return true;
    case HOSTSIM_CONDITION_UNCHANGED:
      return std::nullopt;
    default:
      throw RefusedArgument("unknown condition result");
  }
}

hostsim::EvaluatorKind ToEvaluatorKind(std::int32_t kind) {
  switch (kind) {
    case HOSTSIM_EVALUATOR_NONE:
      return hostsim::EvaluatorKind::None;
    case HOSTSIM_EVALUATOR_OTHER_OBJECT:
      return hostsim::EvaluatorKind::OtherObject;
    case HOSTSIM_EVALUATOR_EVALUATOR:
      return hostsim::EvaluatorKind::Evaluator;
    default:
      throw RefusedArgument("unknown evaluator kind");
  }
}

Util::Variant ToVariant(const HostSimValue& value) {
  Util::Variant variant;
  switch (value.tag) {
    case HOSTSIM_TAG_DOUBLE:
      variant.SetDouble(value.real);
      break;
    case HOSTSIM_TAG_STRING:
      variant.SetString(value.string);
      break;
    case HOSTSIM_TAG_WIDE_STRING:
      variant.SetWideString(value.wideString);
      break;
    default:
      variant.SetRaw(value.tag, value.bits);
      break;
  }
  return variant;
}

// A copy of a caller's VARIANT, cleared when it goes. The store would silently keep an empty
// value for one it cannot copy, so the copy is made and checked here first.
class CheckedVariantCopy final {
 public:
  explicit CheckedVariantCopy(const VARIANT& source) {
    VariantInit(&m_value);
    // Some SDK headers declare the source non-const; it is only read.
    m_result = VariantCopy(&m_value, const_cast<VARIANT*>(&source));
  }
  ~CheckedVariantCopy() { VariantClear(&m_value); }
  CheckedVariantCopy(const CheckedVariantCopy&) = delete;
  CheckedVariantCopy& operator=(const CheckedVariantCopy&) = delete;

  HRESULT Result() const { return m_result; }
  const VARIANT& Value() const { return m_value; }

 private:
  VARIANT m_value;
  HRESULT m_result = S_OK;
};

}  // namespace

extern "C" {

HostSimStatus HostSim_VisitLastError(HostSimErrorVisitor visit, void* context) {
  return Guarded(__func__, [&] {
    Require(visit != nullptr, "visit is null");
    visit(t_lastError.status, t_lastError.message, context);
  });
}

// ---- log -------------------------------------------------------------------------------

HostSimStatus HostSim_ForEachLogRecord(HostSimLogRecordVisitor visit, void* context) {
  return Guarded(__func__, [&] {
    Require(visit != nullptr, "visit is null");
    for (const hostsim::LogRecord& record : hostsim::LogRecords()) {
      const HostSimLogRecord view = ToC(record);
      visit(&view, context);
    }
  });
}

HostSimStatus HostSim_ClearLog(void) {
  return Guarded(__func__, [] { hostsim::ClearLog(); });
}

HostSimStatus HostSim_SetLogObserver(HostSimLogObserver observer, void* context) {
  return Guarded(__func__, [&] {
    if (observer == nullptr) {
      hostsim::SetLogObserver(nullptr);
      return;
    }
    hostsim::SetLogObserver([observer, context](const hostsim::LogRecord& record) {
      const HostSimLogRecord view = ToC(record);
      observer(&view, context);
    });
  });
}

// ---- host configuration ----------------------------------------------------------------

HostSimStatus HostSim_SetDataIniFileName(const char* path) {
  return Guarded(__func__, [&] {
    hostsim::SetDataIniFileName(path != nullptr ? std::optional<std::string>(path) : std::nullopt);
  });
}

HostSimStatus HostSim_SetBaseDirectory(const char* directory) {
  return Guarded(__func__, [&] {
    Require(directory != nullptr, "directory is null");
    hostsim::SetBaseDirectory(directory);
  });
}

HostSimStatus HostSim_ReadProfileValue(const char* section, const char* key, const char* iniFile,
                                       HostSimTextVisitor visit, void* context) {
  return Guarded(__func__, [&] {
    Require(section != nullptr && key != nullptr && iniFile != nullptr && visit != nullptr,
            "section, key, file and visitor are required");
    if (const std::optional<std::string> value = hostsim::ReadProfileValue(section, key, iniFile)) {
      visit(value->c_str(), context);
    }
  });
}

HostSimStatus HostSim_WriteProfileValue(const char* section, const char* key, const char* value,
                                        const char* iniFile) {
  return Guarded(__func__, [&] {
    Require(section != nullptr && key != nullptr && value != nullptr && iniFile != nullptr,
            "section, key, value and file are required");
    Require(hostsim::WriteProfileValue(section, key, value, iniFile),
            "the INI file was not written");
  });
}

HostSimStatus HostSim_SetLaunchApproval(std::int32_t approved) {
  return Guarded(__func__, [&] { hostsim::SetLaunchApproval(IsSet(approved)); });
}

HostSimStatus HostSim_ForEachApprovalRequest(HostSimApprovalRequestVisitor visit, void* context) {
  return Guarded(__func__, [&] {
    Require(visit != nullptr, "visit is null");
    for (const hostsim::ApprovalRequest& request : hostsim::ApprovalRequests()) {
      const HostSimApprovalRequest view{request.feature, request.action,
                                        AsFlag(request.interactive)};
      visit(&view, context);
    }
  });
}

HostSimStatus HostSim_SetDomFactoryResult(std::int32_t result) {
  return Guarded(__func__, [&] { hostsim::SetDomFactoryResult(static_cast<HRESULT>(result)); });
}

HostSimStatus HostSim_GetDomDocumentsCreated(std::uint32_t* count) {
  return Guarded(__func__, [&] {
    Require(count != nullptr, "count is null");
    *count = hostsim::DomDocumentsCreated();
  });
}

HostSimStatus HostSim_SetFormatterFails(std::int32_t fails) {
  return Guarded(__func__, [&] { hostsim::SetFormatterFails(IsSet(fails)); });
}

HostSimStatus HostSim_ForEachProfileRequest(HostSimProfileRequestVisitor visit, void* context) {
  return Guarded(__func__, [&] {
    Require(visit != nullptr, "visit is null");
    for (const hostsim::ProfileRequest& request : hostsim::ProfileRequests()) {
      const HostSimProfileRequest view = ToC(request);
      visit(&view, context);
    }
  });
}

// ---- current user and preferences -----------------------------------------------------

HostSimStatus HostSim_SetCurrentUserPresent(std::int32_t present) {
  return Guarded(__func__, [&] { hostsim::SetCurrentUserPresent(IsSet(present)); });
}

HostSimStatus HostSim_SetPreferenceStorePresent(std::int32_t present) {
  return Guarded(__func__, [&] { hostsim::SetPreferenceStorePresent(IsSet(present)); });
}

HostSimStatus HostSim_SetPreference(const char* name, const char* value) {
  return Guarded(__func__, [&] {
    Require(name != nullptr, "name is null");
    Require(value != nullptr, "value is null");
    hostsim::SetPreference(name, value);
  });
}

HostSimStatus HostSim_SetPreferenceVariant(const char* name, const struct tagVARIANT* value) {
  return Guarded(__func__, [&] {
    Require(name != nullptr, "name is null");
    Require(value != nullptr, "value is null");
    const CheckedVariantCopy copy(*value);
    if (copy.Result() == E_OUTOFMEMORY) {
      throw std::bad_alloc();
    }
    Require(SUCCEEDED(copy.Result()), "the VARIANT cannot be copied");
    hostsim::SetPreferenceVariant(name, copy.Value());
  });
}

HostSimStatus HostSim_ClearPreferences(void) {
  return Guarded(__func__, [] { hostsim::ClearPreferences(); });
}

HostSimStatus HostSim_ForEachPreferenceRequest(HostSimTextVisitor visit, void* context) {
  return Guarded(__func__, [&] {
    Require(visit != nullptr, "visit is null");
    for (const std::string& name : hostsim::PreferenceRequests()) {
      visit(name.c_str(), context);
    }
  });
}

// ---- condition evaluator ---------------------------------------------------------------

HostSimStatus HostSim_SetEvaluatorKind(std::int32_t kind) {
  return Guarded(__func__, [&] { hostsim::SetEvaluatorKind(ToEvaluatorKind(kind)); });
}

HostSimStatus HostSim_SetCondition(const char* name, std::int32_t result,
                                   const HostSimFailure* failure) {
  return Guarded(__func__, [&] {
    Require(name != nullptr, "name is null");
    const std::optional<bool> conditionResult = ToConditionResult(result);
    hostsim::SetCondition(name, conditionResult, ToFailure(failure));
  });
}

HostSimStatus HostSim_SetVariable(const char* name, const HostSimValue* value,
                                  const HostSimFailure* failure) {
  return Guarded(__func__, [&] {
    Require(name != nullptr, "name is null");
    Require(value != nullptr, "value is null");
    std::optional<hostsim::Failure> variableFailure = ToFailure(failure);
    hostsim::SetVariable(name, ToVariant(*value), std::move(variableFailure));
  });
}

HostSimStatus HostSim_ClearEvaluator(void) {
  return Guarded(__func__, [] { hostsim::ClearEvaluator(); });
}

HostSimStatus HostSim_ForEachEvaluatorRequest(HostSimTextVisitor visit, void* context) {
  return Guarded(__func__, [&] {
    Require(visit != nullptr, "visit is null");
    for (const std::string& name : hostsim::EvaluatorRequests()) {
      visit(name.c_str(), context);
    }
  });
}

// ---- message sequence ------------------------------------------------------------------

HostSimStatus HostSim_GetPendingMessageCount(std::uint64_t* count) {
  return Guarded(__func__, [&] {
    Require(count != nullptr, "count is null");
    *count = hostsim::PendingMessageCount();
  });
}

HostSimStatus HostSim_ForEachPendingMessageType(HostSimTextVisitor visit, void* context) {
  return Guarded(__func__, [&] {
    Require(visit != nullptr, "visit is null");
    for (const std::string& type : hostsim::PendingMessageTypes()) {
      visit(type.c_str(), context);
    }
  });
}

HostSimStatus HostSim_RunPendingMessages(std::uint64_t* ran) {
  return Guarded(__func__, [&] {
    Require(ran != nullptr, "ran is null");
    *ran = hostsim::RunPendingMessages();
  });
}

HostSimStatus HostSim_RunMessagesUntil(HostSimDoneCallback done, void* context,
                                       std::int64_t timeoutMs, std::int32_t* finished) {
  return Guarded(__func__, [&] {
    Require(done != nullptr, "done is null");
    Require(finished != nullptr, "finished is null");
    const bool result = hostsim::RunMessagesUntil([done, context] { return done(context) != 0; },
                                                  Timeout(timeoutMs));
    *finished = AsFlag(result);
  });
}

HostSimStatus HostSim_WaitForMessage(std::int64_t timeoutMs, std::int32_t* arrived) {
  return Guarded(__func__, [&] {
    Require(arrived != nullptr, "arrived is null");
    *arrived = AsFlag(hostsim::WaitForMessage(Timeout(timeoutMs)));
  });
}

HostSimStatus HostSim_DiscardPendingMessages(void) {
  return Guarded(__func__, [] { hostsim::DiscardPendingMessages(); });
}

HostSimStatus HostSim_GetMessagesExecuted(std::uint64_t* count) {
  return Guarded(__func__, [&] {
    Require(count != nullptr, "count is null");
    *count = hostsim::MessagesExecuted();
  });
}

HostSimStatus HostSim_GetMessagesFailed(std::uint64_t* count) {
  return Guarded(__func__, [&] {
    Require(count != nullptr, "count is null");
    *count = hostsim::MessagesFailed();
  });
}

// ---- notifications ---------------------------------------------------------------------

HostSimStatus HostSim_GetRegisteredNotificationCount(std::int32_t kind, std::uint64_t* count) {
  return Guarded(__func__, [&] {
    Require(count != nullptr, "count is null");
    *count = hostsim::RegisteredNotificationCount(kind);
  });
}

HostSimStatus HostSim_DeliverGoingBackground(void) {
  return Guarded(__func__, [] { hostsim::DeliverGoingBackground(); });
}

// ---- memory ----------------------------------------------------------------------------

HostSimStatus HostSim_GetMemoryStats(HostSimMemoryStats* stats) {
  return Guarded(__func__, [&] {
    Require(stats != nullptr, "stats is null");
    const hostsim::MemoryStats current = hostsim::GetMemoryStats();
    *stats = HostSimMemoryStats{current.liveBlocks, current.liveBytes, current.allocations,
                                current.releases};
  });
}

HostSimStatus HostSim_Reset(void) {
  return Guarded(__func__, [] { hostsim::Reset(); });
}

}  // extern "C"
