#include "ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

extern char** environ;

namespace corvane::test {
namespace {

using Clock = std::chrono::steady_clock;

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments) {
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (pipe(out) != 0 || pipe(err) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  m_out = out[0];
  m_err = err[0];
}

ChildProcess::~ChildProcess() {
  if (m_pid > 0 && !m_exit) {
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
  }
  CloseIfOpen(m_out);
  CloseIfOpen(m_err);
}

bool ChildProcess::Pump(Clock::time_point until, bool stopAtLine) {
  while (m_out >= 0 || m_err >= 0) {
    if (stopAtLine && m_stdout.find('\n') != std::string::npos) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return false;
    std::array<pollfd, 2> fds = {pollfd{m_out, POLLIN, 0}, pollfd{m_err, POLLIN, 0}};
    if (poll(fds.data(), fds.size(), static_cast<int>(left.count())) <= 0) continue;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char chunk[4096];
      const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
      std::string& sink = i == 0 ? m_stdout : m_stderr;
      if (got > 0) {
        sink.append(chunk, static_cast<std::size_t>(got));
      } else {
        CloseIfOpen(i == 0 ? m_out : m_err);
      }
    }
  }
  return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  Pump(Clock::now() + timeout, true);
  const auto end = m_stdout.find('\n');
  if (end == std::string::npos) return std::nullopt;
  std::string line = m_stdout.substr(0, end);
  m_stdout.erase(0, end + 1);
  return line;
}

void ChildProcess::Signal(int signal) const {
  if (m_pid > 0 && !m_exit) kill(m_pid, signal);
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (m_exit) return *m_exit;
  if (m_pid <= 0) return -1;
  const auto until = Clock::now() + timeout;
  const bool ended = Pump(until, false);
  int status = 0;
  while (ended && Clock::now() < until) {
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_exit = ExitCodeOf(status);
      return *m_exit;
    }
    usleep(2000);
  }
  kill(m_pid, SIGKILL);
  waitpid(m_pid, &status, 0);
  m_exit = -1;
  return -1;
}

Finished RunToEnd(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout) {
  ChildProcess child(arguments);
  Finished finished;
  finished.exitCode = child.Wait(timeout);
  finished.out = child.Stdout();
  finished.err = child.Stderr();
  return finished;
}

}  // namespace corvane::test
