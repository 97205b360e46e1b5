#include "LogPrinter.h"

#include <nlohmann/json.hpp>

#include "TextEncoding.h"

namespace corvane::host {
namespace {

// "Features\MarketingSupport\Corvane\src\webtsmmanager" -> "webtsmmanager"
std::string ShortFile(const std::string& file) {
  const auto slash = file.find_last_of("\\/");
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

}  // namespace

LogPrinter::LogPrinter(std::ostream& out, Format format) : m_out(out), m_format(format) {}

std::string LogPrinter::AsText(const hostsim::LogRecord& record) {
  // Appended piece by piece: GCC 12 at -O3 wrongly reports overlapping copies in a chain of
  // string concatenations.
  std::string text = "[";
  text += std::to_string(record.level);
  text += '/';
  text += std::to_string(record.eventType);
  text += "] ";
  text += ShortFile(record.file);
  text += ':';
  text += std::to_string(record.line);
  text += ' ';
  text += AnsiToUtf8(record.function);
  text += ": ";
  text += AnsiToUtf8(record.text);
  return text;
}

std::string LogPrinter::AsJson(const hostsim::LogRecord& record) {
  nlohmann::ordered_json line;
  line["level"] = record.level;
  line["eventType"] = record.eventType;
  line["file"] = AnsiToUtf8(record.file);
  line["line"] = record.line;
  line["function"] = AnsiToUtf8(record.function);
  line["signature"] = AnsiToUtf8(record.signature);
  line["text"] = AnsiToUtf8(record.text);
  return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void LogPrinter::Print(const hostsim::LogRecord& record) {
  const std::string line = m_format == Format::Json ? AsJson(record) : AsText(record);
  const std::lock_guard lock(m_mutex);
  m_out << line << std::endl;
}

}  // namespace corvane::host
