// The host's message sequence and the app-message base classes that feed it.
#include "APPCORE/MessageQueue.h"

#include <algorithm>
#include <exception>
#include <string_view>
#include <thread>
#include <typeinfo>

#include "HostSimInternal.h"
#include "NoDestructor.h"
#include "hostsim/HostSim.h"

#if defined(__GNUC__)
#include <cxxabi.h>
#endif

namespace hostsim::detail {
namespace {

constexpr const char* kRunnerFile = "hostsim/MessageQueue";
constexpr const char* kRunnerFunction = "hostsim::RunMessage";
constexpr const char* kRunnerSignature = "void __cdecl hostsim::RunMessage(SequencedAppMsg *)";

const void* VtableOf(const SequencedAppMsg* message) {
  return __atomic_load_n(reinterpret_cast<const void* const*>(message), __ATOMIC_ACQUIRE);
}

std::string TypeName(const SequencedAppMsg& message) {
  const char* mangled = typeid(message).name();
#if defined(__GNUC__)
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  if (status == 0 && demangled) {
    return demangled.get();
  }
#else
  // The Microsoft ABI's names read "class X" or "struct X": the class name is what follows.
  const std::string_view name(mangled);
  for (const std::string_view keyword : {"class ", "struct "}) {
    if (name.substr(0, keyword.size()) == keyword) {
      return std::string(name.substr(keyword.size()));
    }
  }
#endif
  return mangled;
}

void LogFailure(const std::string& type, const std::string& reason) {
  Util::Ops::MessageFunctor(Util::GetOps(), Util::Ops::LevelError, Util::Ops::EventError,
                            kRunnerFile, __LINE__, kRunnerFunction, kRunnerSignature)(
      "Message %s left Execute with %s", type.c_str(), reason.c_str());
}

// Runs Execute and reports what leaves it; true when it returned normally.
bool ExecuteGuarded(SequencedAppMsg& message) {
  try {
    message.Execute();
    return true;
  } catch (const Util::Exception& exception) {
    const Util::Status& status = exception.GetStatus();
    LogFailure(TypeName(message), "Util::Exception (" + std::to_string(status.GetStatusCode()) +
                                      ") " + static_cast<const char*>(status.GetStatusMessage()));
  } catch (const std::exception& exception) {
    LogFailure(TypeName(message), std::string("std::exception: ") + exception.what());
  } catch (...) {
    LogFailure(TypeName(message), "an exception of unknown type");
  }
  return false;
}

}  // namespace

MessageQueue& TheMessageQueue() {
  static NoDestructor<MessageQueue> queue;
  return queue.get();
}

void MessageQueue::Post(SequencedAppMsg* message) {
  {
    std::lock_guard lock(m_mutex);
    m_entries.push_back(Entry{message, VtableOf(message)});
  }
  m_arrived.notify_all();
}

std::size_t MessageQueue::PendingCount() {
  std::lock_guard lock(m_mutex);
  return m_entries.size();
}

// A message is handed over while its derived constructor has yet to run, possibly on
// another thread: whatever looks at its dynamic type first waits until it has replaced the
// host base's.
void MessageQueue::WaitUntilConstructed(const Entry& entry) {
  while (VtableOf(entry.message) == entry.baseVtable) {
    std::this_thread::yield();
  }
}

std::vector<std::string> MessageQueue::PendingTypes() {
  std::vector<std::string> types;
  std::lock_guard lock(m_mutex);
  for (const Entry& entry : m_entries) {
    WaitUntilConstructed(entry);
    types.push_back(TypeName(*entry.message));
  }
  return types;
}

void MessageQueue::Run(const Entry& entry) {
  WaitUntilConstructed(entry);
  const bool succeeded = ExecuteGuarded(*entry.message);
  delete entry.message;
  std::lock_guard lock(m_mutex);
  ++m_executed;
  if (!succeeded) {
    ++m_failed;
  }
}

std::size_t MessageQueue::RunPending() {
  std::size_t count = PendingCount();
  std::size_t ran = 0;
  for (; ran < count; ++ran) {
    Entry entry{};
    {
      std::lock_guard lock(m_mutex);
      if (m_entries.empty()) {
        break;
      }
      entry = m_entries.front();
      m_entries.pop_front();
    }
    Run(entry);
  }
  return ran;
}

bool MessageQueue::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    Entry entry{};
    bool arrived = false;
    {
      std::unique_lock lock(m_mutex);
      arrived = m_arrived.wait_until(lock, deadline, [this] { return !m_entries.empty(); });
      if (arrived) {
        entry = m_entries.front();
        m_entries.pop_front();
      }
    }
    // done() is asked without the queue's lock: it may well ask the queue itself.
    if (!arrived) {
      return done();
    }
    Run(entry);
  }
  return true;
}

bool MessageQueue::WaitForMessage(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  return m_arrived.wait_for(lock, timeout, [this] { return !m_entries.empty(); });
}

void MessageQueue::DiscardPending() {
  std::deque<Entry> discarded;
  {
    std::lock_guard lock(m_mutex);
    discarded.swap(m_entries);
  }
  for (const Entry& entry : discarded) {
    WaitUntilConstructed(entry);
    delete entry.message;
  }
}

void MessageQueue::Forget(const SequencedAppMsg* message) {
  std::lock_guard lock(m_mutex);
  std::erase_if(m_entries, [message](const Entry& entry) { return entry.message == message; });
}

std::uint64_t MessageQueue::Executed() const {
  std::lock_guard lock(m_mutex);
  return m_executed;
}

std::uint64_t MessageQueue::Failed() const {
  std::lock_guard lock(m_mutex);
  return m_failed;
}

void MessageQueue::ResetCounters() {
  std::lock_guard lock(m_mutex);
  m_executed = 0;
  m_failed = 0;
}

void ResetMessages() {
  TheMessageQueue().DiscardPending();
  TheMessageQueue().ResetCounters();
}

}  // namespace hostsim::detail

namespace hostsim {

std::size_t PendingMessageCount() { return detail::TheMessageQueue().PendingCount(); }
std::vector<std::string> PendingMessageTypes() { return detail::TheMessageQueue().PendingTypes(); }
std::size_t RunPendingMessages() { return detail::TheMessageQueue().RunPending(); }
bool RunMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return detail::TheMessageQueue().RunUntil(done, timeout);
}
bool WaitForMessage(std::chrono::milliseconds timeout) {
  return detail::TheMessageQueue().WaitForMessage(timeout);
}
void DiscardPendingMessages() { detail::TheMessageQueue().DiscardPending(); }
std::uint64_t MessagesExecuted() { return detail::TheMessageQueue().Executed(); }
std::uint64_t MessagesFailed() { return detail::TheMessageQueue().Failed(); }

}  // namespace hostsim

namespace {
std::atomic<std::uint64_t> g_nextSequenceNumber{1};
}

AppMsg::AppMsg() : m_hostSequenceNumber(g_nextSequenceNumber++) {}
AppMsg::~AppMsg() = default;

SequencedAppMsg::SequencedAppMsg() { hostsim::detail::TheMessageQueue().Post(this); }

// A message destroyed before the host ran it (its constructor threw, or someone deleted
// it) leaves the queue.
SequencedAppMsg::~SequencedAppMsg() { hostsim::detail::TheMessageQueue().Forget(this); }
