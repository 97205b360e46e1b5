// Util::Status, Util::Exception and the status-code thrower.
#include <cstdarg>
#include <optional>
#include <string>

#include "KXUtilities/TextFormat.h"
#include "host/KXUtilities.h"

namespace Util {

// A status succeeds exactly when its code is 0.
Status::Status() : m_statusCode(0) {}
Status::Status(long statusCode, const TString& message)
    : m_statusCode(statusCode), m_message(message) {}
Status::Status(const Status& other) = default;
Status& Status::operator=(const Status& other) = default;
Status::~Status() = default;

const Status& Status::GetSucceeded() {
  static const Status succeeded;
  return succeeded;
}

bool Status::Succeeded() const { return m_statusCode == 0; }
bool Status::Failed() const { return m_statusCode != 0; }
long Status::GetStatusCode() const { return m_statusCode; }
const TString& Status::GetStatusMessage() const { return m_message; }

Exception::Exception(const Status& status) : m_status(status) {}
Exception::Exception(const Exception& other) = default;
Exception& Exception::operator=(const Exception& other) = default;
Exception::~Exception() = default;
const Status& Exception::GetStatus() const { return m_status; }

SourceContext::SourceContext(const char* file, int line, const char* function,
                             const char* signature)
    : m_file(file), m_line(line), m_function(function), m_signature(signature) {}

LocalOps::LocalOps(const SourceContext& context) : m_context(context) {}
LocalOps::~LocalOps() = default;

LocalOps::ThrowStatusCodeFunctor::ThrowStatusCodeFunctor(LocalOps& localOps, int line)
    : m_localOps(localOps), m_line(line) {}

void LocalOps::ThrowStatusCodeFunctor::operator()(long statusCode, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::optional<std::string> text = hostsim::detail::FormatText(format, arguments);
  va_end(arguments);
  throw Exception(Status(statusCode, TString(text ? text->c_str() : format)));
}

}  // namespace Util
