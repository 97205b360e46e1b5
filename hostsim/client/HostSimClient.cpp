// hostsim/HostSim.h implemented over the stand-in host's C interface (HostSimControl.h), for
// test programs and tools built with another C++ ABI than the host libraries.
//
// A failure the C side reports comes back as an exception, as it would from the C++ side:
// std::bad_alloc, std::invalid_argument for a refused argument, std::runtime_error otherwise.
// An exception from a callback given here cannot cross the C interface either: it is kept
// and rethrown once the C call has returned.
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "hostsim/HostSim.h"
#include "hostsim/HostSimControl.h"

namespace {

static_assert(std::is_same_v<WCHAR, HostSimWideChar>);
static_assert(sizeof(Util::Variant::Value) == sizeof(std::int64_t));

// ---- failures ----------------------------------------------------------------------------

std::string LastErrorMessage() {
  std::string message = "hostsim: the call failed";
  HostSim_VisitLastError(
      [](HostSimStatus, const char* text, void* context) noexcept {
        try {
          *static_cast<std::string*>(context) = std::string("hostsim: ") + text;
        } catch (...) {  // no memory for the text: the default message stays
        }
      },
      &message);
  return message;
}

void Check(HostSimStatus status) {
  switch (status) {
    case HOSTSIM_OK:
      return;
    case HOSTSIM_OUT_OF_MEMORY:
      throw std::bad_alloc();
    case HOSTSIM_INVALID_ARGUMENT:
      throw std::invalid_argument(LastErrorMessage());
    default:
      throw std::runtime_error(LastErrorMessage());
  }
}

// Where an exception from the log observer waits for a caller to receive it. The observer
// runs on whatever thread writes a log line. When that thread is inside a call made here,
// the exception goes to that call; otherwise (the module called directly, or one of its own
// threads) to the next call that runs messages, on any thread. Of several waiting, the first
// is kept.
thread_local int t_callDepth = 0;
thread_local std::exception_ptr t_observerError;

struct UnclaimedObserverError {
  std::mutex mutex;
  std::exception_ptr error;
};

// Never destroyed: the module's threads may still log while the process exits.
UnclaimedObserverError& TheUnclaimedObserverError() {
  static UnclaimedObserverError* const unclaimed = new UnclaimedObserverError();
  return *unclaimed;
}

void KeepObserverError(std::exception_ptr error) noexcept {
  if (t_callDepth > 0) {
    if (!t_observerError) {
      t_observerError = std::move(error);
    }
    return;
  }
  try {
    UnclaimedObserverError& unclaimed = TheUnclaimedObserverError();
    std::lock_guard lock(unclaimed.mutex);
    if (!unclaimed.error) {
      unclaimed.error = std::move(error);
    }
  } catch (...) {  // the lock failed: the error cannot be kept
  }
}

std::exception_ptr TakeUnclaimedObserverError() {
  UnclaimedObserverError& unclaimed = TheUnclaimedObserverError();
  std::lock_guard lock(unclaimed.mutex);
  return std::exchange(unclaimed.error, nullptr);
}

// Marks this thread as inside a call made here while it lasts.
class CallDepth {
 public:
  CallDepth() { ++t_callDepth; }
  ~CallDepth() { --t_callDepth; }
  CallDepth(const CallDepth&) = delete;
  CallDepth& operator=(const CallDepth&) = delete;
};

template <class Call>
HostSimStatus CallC(Call&& call) {
  const CallDepth depth;
  return std::forward<Call>(call)();
}

void RethrowObserverError() {
  if (std::exception_ptr error = std::exchange(t_observerError, nullptr)) {
    std::rethrow_exception(error);
  }
}

// A C call whose failure, or an observer's exception during it, is thrown to the caller.
template <class Call>
void Invoke(Call&& call) {
  Check(CallC(std::forward<Call>(call)));
  RethrowObserverError();
}

// For the calls that run messages: they also hand over an observer's exception that no call
// received.
void RethrowAnyObserverError() {
  RethrowObserverError();
  if (std::exception_ptr error = TakeUnclaimedObserverError()) {
    std::rethrow_exception(error);
  }
}

// ---- text in and out ---------------------------------------------------------------------

const char* CText(const std::string& text, const char* what) {
  if (text.find('\0') != std::string::npos) {
    throw std::invalid_argument(std::string("hostsim: ") + what +
                                " holds a NUL character, which the host cannot take");
  }
  return text.c_str();
}

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

std::optional<std::string> OptionalText(const char* text) {
  return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

// Gathers what a ForEach call visits. An exception while gathering (no memory) is kept,
// skips the rest and is rethrown after the call.
template <class Item, class Argument, class Convert>
class Collector {
 public:
  explicit Collector(Convert convert) : m_convert(std::move(convert)) {}

  static void Visit(Argument argument, void* context) noexcept {
    Collector& self = *static_cast<Collector*>(context);
    if (self.m_error) {
      return;
    }
    try {
      self.m_items.push_back(self.m_convert(argument));
    } catch (...) {
      self.m_error = std::current_exception();
    }
  }

  std::vector<Item> Take() {
    if (m_error) {
      std::rethrow_exception(m_error);
    }
    return std::move(m_items);
  }

 private:
  Convert m_convert;
  std::vector<Item> m_items;
  std::exception_ptr m_error;
};

template <class Item, class Argument, class ForEach, class Convert>
std::vector<Item> Collect(ForEach forEach, Convert convert) {
  using Gatherer = Collector<Item, Argument, Convert>;
  Gatherer gatherer(std::move(convert));
  Invoke([&] { return forEach(&Gatherer::Visit, &gatherer); });
  return gatherer.Take();
}

std::vector<std::string> CollectTexts(HostSimStatus (*forEach)(HostSimTextVisitor, void*)) {
  return Collect<std::string, const char*>(forEach, [](const char* text) { return Text(text); });
}

hostsim::LogRecord ToRecord(const HostSimLogRecord& record) {
  return hostsim::LogRecord{record.level,     record.eventType,      Text(record.file),
                            record.line,      Text(record.function), Text(record.signature),
                            Text(record.text)};
}

// ---- values in ---------------------------------------------------------------------------

std::int32_t Flag(bool value) { return value ? 1 : 0; }

// The failure as the C side takes it; its message must outlive the call.
HostSimFailure ToC(const hostsim::Failure& failure) {
  return HostSimFailure{failure.code, CText(failure.message, "a failure message"),
                        Flag(failure.throwException)};
}

const HostSimFailure* FailureOrNull(const std::optional<hostsim::Failure>& failure,
                                    HostSimFailure& storage) {
  if (!failure) {
    return nullptr;
  }
  storage = ToC(*failure);
  return &storage;
}

// The value as the C side takes it; its strings stay the variant's.
HostSimValue ToC(const Util::Variant& variant) {
  HostSimValue value{};
  value.tag = variant.GetType();
  switch (value.tag) {
    case HOSTSIM_TAG_DOUBLE:
      value.real = variant.GetValue().real;
      break;
    case HOSTSIM_TAG_STRING:
      value.string = variant.GetValue().string;
      break;
    case HOSTSIM_TAG_WIDE_STRING:
      value.wideString = variant.GetValue().wideString;
      break;
    default:
      std::memcpy(&value.bits, &variant.GetValue(), sizeof value.bits);
      break;
  }
  return value;
}

std::int32_t ToC(hostsim::EvaluatorKind kind) {
  switch (kind) {
    case hostsim::EvaluatorKind::None:
      return HOSTSIM_EVALUATOR_NONE;
    case hostsim::EvaluatorKind::OtherObject:
      return HOSTSIM_EVALUATOR_OTHER_OBJECT;
    case hostsim::EvaluatorKind::Evaluator:
      return HOSTSIM_EVALUATOR_EVALUATOR;
  }
  throw std::invalid_argument("hostsim: unknown evaluator kind");
}

std::int32_t ToC(std::optional<bool> result) {
  if (!result) {
    return HOSTSIM_CONDITION_UNCHANGED;
  }
  return *result ? HOSTSIM_CONDITION_TRUE : HOSTSIM_CONDITION_FALSE;
}

// ---- callbacks ---------------------------------------------------------------------------

using Observer = std::function<void(const hostsim::LogRecord&)>;

// The observer the C side calls back through ObserveLog. Held shared, so that a call under
// way on another thread keeps the observer it started with alive when it is replaced.
struct ObserverSlot {
  std::mutex setting;  // one SetLogObserver at a time, so that registration and slot agree
  std::mutex mutex;
  std::shared_ptr<const Observer> current;
};

// Never destroyed, as the module's threads may still log while the process exits.
ObserverSlot& TheObserverSlot() {
  static ObserverSlot* const slot = new ObserverSlot();
  return *slot;
}

void ObserveLog(const HostSimLogRecord* record, void* context) noexcept {
  try {
    ObserverSlot& slot = *static_cast<ObserverSlot*>(context);
    std::shared_ptr<const Observer> observer;
    {
      std::lock_guard lock(slot.mutex);
      observer = slot.current;
    }
    if (observer) {
      (*observer)(ToRecord(*record));
    }
  } catch (...) {
    KeepObserverError(std::current_exception());
  }
}

struct DoneQuestion {
  const std::function<bool()>& done;
  std::exception_ptr error;
};

// An exception from done() ends the run, as it would leave the C++ side's loop at once.
int AskDone(void* context) noexcept {
  DoneQuestion& question = *static_cast<DoneQuestion*>(context);
  try {
    return question.done() ? 1 : 0;
  } catch (...) {
    question.error = std::current_exception();
    return 1;
  }
}

}  // namespace

namespace hostsim {

// ---- log -------------------------------------------------------------------------------

std::vector<LogRecord> LogRecords() {
  return Collect<LogRecord, const HostSimLogRecord*>(
      HostSim_ForEachLogRecord, [](const HostSimLogRecord* record) { return ToRecord(*record); });
}

std::vector<std::string> LogTexts() {
  return Collect<std::string, const HostSimLogRecord*>(
      HostSim_ForEachLogRecord, [](const HostSimLogRecord* record) { return Text(record->text); });
}

void ClearLog() {
  Invoke([] { return HostSim_ClearLog(); });
}

void SetLogObserver(std::function<void(const LogRecord&)> observer) {
  ObserverSlot& slot = TheObserverSlot();
  std::lock_guard setting(slot.setting);
  std::shared_ptr<const Observer> previous;
  if (observer) {
    auto next = std::make_shared<const Observer>(std::move(observer));
    Invoke([&slot] { return HostSim_SetLogObserver(&ObserveLog, &slot); });
    std::lock_guard lock(slot.mutex);
    previous = std::exchange(slot.current, std::move(next));
  } else {
    {
      std::lock_guard lock(slot.mutex);
      previous = std::exchange(slot.current, nullptr);
    }
    Invoke([] { return HostSim_SetLogObserver(nullptr, nullptr); });
  }
  // previous goes here, outside the slot's lock: its destructor may call back into hostsim.
}

// ---- host configuration ----------------------------------------------------------------

void SetDataIniFileName(std::optional<std::string> path) {
  const char* text = path ? CText(*path, "the data INI file name") : nullptr;
  Invoke([text] { return HostSim_SetDataIniFileName(text); });
}

void SetBaseDirectory(const std::string& directory) {
  const char* text = CText(directory, "the base directory");
  Invoke([text] { return HostSim_SetBaseDirectory(text); });
}

std::optional<std::string> ReadProfileValue(const std::string& section, const std::string& key,
                                            const std::string& iniFile) {
  const std::vector<std::string> found = Collect<std::string, const char*>(
      [&](HostSimTextVisitor visit, void* context) {
        return HostSim_ReadProfileValue(CText(section, "the section"), CText(key, "the key"),
                                        CText(iniFile, "the INI file"), visit, context);
      },
      [](const char* text) { return Text(text); });
  return found.empty() ? std::nullopt : std::optional<std::string>(found.front());
}

bool WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                       const std::string& iniFile) {
  return CallC([&] {
           return HostSim_WriteProfileValue(CText(section, "the section"), CText(key, "the key"),
                                            CText(value, "the value"),
                                            CText(iniFile, "the INI file"));
         }) == HOSTSIM_OK;
}

void SetLaunchApproval(bool approved) {
  Invoke([approved] { return HostSim_SetLaunchApproval(Flag(approved)); });
}

std::vector<ApprovalRequest> ApprovalRequests() {
  return Collect<ApprovalRequest, const HostSimApprovalRequest*>(
      HostSim_ForEachApprovalRequest, [](const HostSimApprovalRequest* request) {
        return ApprovalRequest{request->feature, request->action, request->interactive != 0};
      });
}

void SetDomFactoryResult(HRESULT result) {
  Invoke([result] { return HostSim_SetDomFactoryResult(static_cast<std::int32_t>(result)); });
}

unsigned DomDocumentsCreated() {
  std::uint32_t count = 0;
  Invoke([&count] { return HostSim_GetDomDocumentsCreated(&count); });
  return count;
}

void SetFormatterFails(bool fails) {
  Invoke([fails] { return HostSim_SetFormatterFails(Flag(fails)); });
}

std::vector<ProfileRequest> ProfileRequests() {
  return Collect<ProfileRequest, const HostSimProfileRequest*>(
      HostSim_ForEachProfileRequest, [](const HostSimProfileRequest* request) {
        return ProfileRequest{request->write != 0,
                              OptionalText(request->section),
                              OptionalText(request->key),
                              OptionalText(request->value),
                              OptionalText(request->result),
                              static_cast<unsigned long>(request->bufferSize),
                              OptionalText(request->iniFile),
                              OptionalText(request->sourceFile),
                              request->sourceLine};
      });
}

// ---- current user and preferences -------------------------------------------------------

void SetCurrentUserPresent(bool present) {
  Invoke([present] { return HostSim_SetCurrentUserPresent(Flag(present)); });
}

void SetPreferenceStorePresent(bool present) {
  Invoke([present] { return HostSim_SetPreferenceStorePresent(Flag(present)); });
}

void SetPreference(const std::string& name, const std::string& value) {
  const char* nameText = CText(name, "a preference name");
  const char* valueText = CText(value, "a preference value");
  Invoke([nameText, valueText] { return HostSim_SetPreference(nameText, valueText); });
}

void SetPreferenceVariant(const std::string& name, const VARIANT& value) {
  const char* nameText = CText(name, "a preference name");
  Invoke([nameText, &value] { return HostSim_SetPreferenceVariant(nameText, &value); });
}

void ClearPreferences() {
  Invoke([] { return HostSim_ClearPreferences(); });
}

std::vector<std::string> PreferenceRequests() {
  return CollectTexts(HostSim_ForEachPreferenceRequest);
}

// ---- condition evaluator ---------------------------------------------------------------

void SetEvaluatorKind(EvaluatorKind kind) {
  const std::int32_t cKind = ToC(kind);
  Invoke([cKind] { return HostSim_SetEvaluatorKind(cKind); });
}

void SetCondition(const std::string& name, std::optional<bool> result,
                  std::optional<Failure> failure) {
  const char* nameText = CText(name, "a condition name");
  HostSimFailure storage{};
  const HostSimFailure* cFailure = FailureOrNull(failure, storage);
  const std::int32_t cResult = ToC(result);
  Invoke(
      [nameText, cResult, cFailure] { return HostSim_SetCondition(nameText, cResult, cFailure); });
}

void SetVariable(const std::string& name, const Util::Variant& value,
                 std::optional<Failure> failure) {
  const char* nameText = CText(name, "a variable name");
  HostSimFailure storage{};
  const HostSimFailure* cFailure = FailureOrNull(failure, storage);
  const HostSimValue cValue = ToC(value);
  Invoke(
      [nameText, &cValue, cFailure] { return HostSim_SetVariable(nameText, &cValue, cFailure); });
}

void ClearEvaluator() {
  Invoke([] { return HostSim_ClearEvaluator(); });
}

std::vector<std::string> EvaluatorRequests() {
  return CollectTexts(HostSim_ForEachEvaluatorRequest);
}

// ---- message sequence ------------------------------------------------------------------

std::size_t PendingMessageCount() {
  std::uint64_t count = 0;
  Invoke([&count] { return HostSim_GetPendingMessageCount(&count); });
  return static_cast<std::size_t>(count);
}

std::vector<std::string> PendingMessageTypes() {
  return CollectTexts(HostSim_ForEachPendingMessageType);
}

std::size_t RunPendingMessages() {
  std::uint64_t ran = 0;
  Check(CallC([&ran] { return HostSim_RunPendingMessages(&ran); }));
  RethrowAnyObserverError();
  return static_cast<std::size_t>(ran);
}

bool RunMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  DoneQuestion question{done, nullptr};
  std::int32_t finished = 0;
  const std::int64_t timeoutMs = timeout.count();
  const HostSimStatus status = CallC([&question, timeoutMs, &finished] {
    return HostSim_RunMessagesUntil(&AskDone, &question, timeoutMs, &finished);
  });
  if (question.error) {
    std::rethrow_exception(question.error);
  }
  Check(status);
  RethrowAnyObserverError();
  return finished != 0;
}

bool WaitForMessage(std::chrono::milliseconds timeout) {
  std::int32_t arrived = 0;
  const std::int64_t timeoutMs = timeout.count();
  Invoke([timeoutMs, &arrived] { return HostSim_WaitForMessage(timeoutMs, &arrived); });
  return arrived != 0;
}

void DiscardPendingMessages() {
  Invoke([] { return HostSim_DiscardPendingMessages(); });
}

std::uint64_t MessagesExecuted() {
  std::uint64_t count = 0;
  Invoke([&count] { return HostSim_GetMessagesExecuted(&count); });
  return count;
}

std::uint64_t MessagesFailed() {
  std::uint64_t count = 0;
  Invoke([&count] { return HostSim_GetMessagesFailed(&count); });
  return count;
}

// ---- notifications ---------------------------------------------------------------------

std::size_t RegisteredNotificationCount(int kind) {
  std::uint64_t count = 0;
  Invoke([kind, &count] { return HostSim_GetRegisteredNotificationCount(kind, &count); });
  return static_cast<std::size_t>(count);
}

void DeliverGoingBackground() {
  Invoke([] { return HostSim_DeliverGoingBackground(); });
}

// ---- memory ----------------------------------------------------------------------------

MemoryStats GetMemoryStats() {
  HostSimMemoryStats stats{};
  Invoke([&stats] { return HostSim_GetMemoryStats(&stats); });
  return MemoryStats{stats.liveBlocks, stats.liveBytes, stats.allocations, stats.releases};
}

void Reset() {
  Invoke([] { return HostSim_Reset(); });
}

}  // namespace hostsim
