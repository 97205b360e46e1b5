// A program run as a child process with its stdout and stderr captured, for tests that drive
// the tools as a user would. Every wait is bounded; a child still running at the end is
// killed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace corvane::test {

class ChildProcess {
public:
  explicit ChildProcess(const std::vector<std::string>& arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return m_pid > 0; }
  // The next whole line of stdout, without its line feed; empty when none came in time.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  void Signal(int signal) const;
  // Reads both streams to their end and reaps the child; its exit code, 128 + the signal
  // when a signal ended it, or -1 when it had to be killed after the timeout.
  int Wait(std::chrono::milliseconds timeout);

  const std::string& Stdout() const { return m_stdout; }  // what was not returned by ReadLine
  const std::string& Stderr() const { return m_stderr; }

private:
  // Reads what is available until `until` or both streams end; false on timeout.
  bool Pump(std::chrono::steady_clock::time_point until, bool stopAtLine);

  pid_t m_pid = -1;
  int m_out = -1;
  int m_err = -1;
  std::string m_stdout;
  std::string m_stderr;
  std::optional<int> m_exit;
};

struct Finished {
  int exitCode = -1;
  std::string out;
  std::string err;
};

Finished RunToEnd(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout);

}  // namespace corvane::test
