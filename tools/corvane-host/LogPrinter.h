// Prints the module's log lines as the host records them: readable text, or one JSON object
// per line with every field of the record.
#pragma once

#include <hostsim/HostSim.h>

#include <mutex>
#include <ostream>

namespace corvane::host {

class LogPrinter {
 public:
  enum class Format { Text, Json };

  LogPrinter(std::ostream& out, Format format);
  void Print(const hostsim::LogRecord& record);

  // The two forms of one record (texts converted from the ANSI code page to UTF-8).
  static std::string AsText(const hostsim::LogRecord& record);
  static std::string AsJson(const hostsim::LogRecord& record);

 private:
  std::ostream& m_out;
  Format m_format;
  std::mutex m_mutex;
};

}  // namespace corvane::host
