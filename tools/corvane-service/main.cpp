// corvane-service: a sample message service for Corvane on a loopback address.
#include <libxml/parser.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <thread>

#include "MessageService.h"
#include "ServiceOptions.h"

#ifndef CORVANE_SERVICE_SAMPLES_DIR
#define CORVANE_SERVICE_SAMPLES_DIR "samples"
#endif

namespace {

using corvane::service::MessageService;

// SIGINT and SIGTERM are blocked in every thread and taken by sigwait on the main thread,
// which then stops the server outside any signal handler.
sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto commandLine =
      corvane::service::ParseServiceCommandLine(arguments, CORVANE_SERVICE_SAMPLES_DIR);
  if (commandLine.help) {
    std::cout << corvane::service::ServiceUsage();
    return 0;
  }
  if (!commandLine.options) {
    std::cerr << "corvane-service: " << commandLine.error << "\n(see --help)\n";
    return 2;
  }
  const auto& options = *commandLine.options;
  std::error_code error;
  if (!std::filesystem::is_directory(options.folder, error)) {
    std::cerr << "corvane-service: " << options.folder.string() << " is not a folder\n";
    return 2;
  }

  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  xmlInitParser();

  MessageService service(options, std::cout, std::cerr);
  if (!corvane::service::MessageSetFolder(options.folder, nullptr).Current()) {
    std::cerr << "corvane-service: no message set in " << options.folder.string()
              << " yet; answering 503 until one is added\n";
  }
  const int port = service.Bind();
  if (port < 0) {
    std::cerr << "corvane-service: cannot bind " << options.address << ":" << options.port << "\n";
    return 1;
  }
  bool served = true;
  std::thread server([&] {
    served = service.Serve();
    if (!served) kill(getpid(), SIGTERM);  // wakes the sigwait below
  });
  if (service.WaitUntilServing(std::chrono::seconds(10))) {
    const bool bracket = options.address.find(':') != std::string::npos;
    std::cout << "listening on " << (bracket ? "[" : "") << options.address << (bracket ? "]" : "")
              << ":" << port << std::endl;
  }
  int received = 0;
  sigwait(&signals, &received);
  service.Stop();
  server.join();
  std::cout << "stopped (signal " << received << ")" << std::endl;
  return served ? 0 : 1;
}
