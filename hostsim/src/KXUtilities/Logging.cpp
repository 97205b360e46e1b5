// The host's log: every line the module writes is recorded with its level, event type and
// source position; tests read the records and tools watch them as they arrive. Only the
// newest records are kept, so that a long-running host does not grow with its log.
#include <cstdarg>
#include <deque>
#include <mutex>
#include <utility>

#include "BoundedHistory.h"
#include "HostSimInternal.h"
#include "KXUtilities/TextFormat.h"
#include "NoDestructor.h"
#include "hostsim/HostSim.h"

namespace hostsim::detail {
namespace {

class RecordingOps final : public Util::Ops {
 public:
  void Write(int level, int eventType, const char* file, int line, const char* function,
             const char* signature, const char* text) override {
    LogRecord record{level,          eventType,       Text(file), line,
                     Text(function), Text(signature), Text(text)};
    std::function<void(const LogRecord&)> observer;
    {
      std::lock_guard lock(m_mutex);
      m_records.push_back(record);
      observer = m_observer;
    }
    if (observer) {
      observer(record);
    }
  }

  std::vector<LogRecord> Records() {
    std::lock_guard lock(m_mutex);
    return m_records;
  }
  void Clear() {
    std::lock_guard lock(m_mutex);
    m_records.clear();
  }
  void SetObserver(std::function<void(const LogRecord&)> observer) {
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
  }

 private:
  static std::string Text(const char* text) { return text != nullptr ? text : ""; }

  std::mutex m_mutex;
  BoundedHistory<LogRecord> m_records;
  std::function<void(const LogRecord&)> m_observer;
};

RecordingOps& TheOps() {
  static NoDestructor<RecordingOps> ops;
  return ops.get();
}

}  // namespace

void ResetLog() { TheOps().Clear(); }

}  // namespace hostsim::detail

namespace hostsim {

std::vector<LogRecord> LogRecords() { return detail::TheOps().Records(); }

std::vector<std::string> LogTexts() {
  std::vector<std::string> texts;
  for (LogRecord& record : LogRecords()) {
    texts.push_back(std::move(record.text));
  }
  return texts;
}

void ClearLog() { detail::TheOps().Clear(); }

void SetLogObserver(std::function<void(const LogRecord&)> observer) {
  detail::TheOps().SetObserver(std::move(observer));
}

}  // namespace hostsim

namespace Util {

Ops::~Ops() = default;

Ops& GetOps() { return hostsim::detail::TheOps(); }

Ops::MessageFunctor::MessageFunctor(Ops& ops, int level, int eventType, const char* file, int line,
                                    const char* function, const char* signature)
    : m_ops(ops),
      m_level(level),
      m_eventType(eventType),
      m_file(file),
      m_line(line),
      m_function(function),
      m_signature(signature) {}

Ops::MessageFunctor::~MessageFunctor() = default;

void Ops::MessageFunctor::operator()(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::optional<std::string> text = hostsim::detail::FormatText(format, arguments);
  va_end(arguments);
  m_ops.Write(m_level, m_eventType, m_file, m_line, m_function, m_signature,
              text ? text->c_str() : format);
}

}  // namespace Util
