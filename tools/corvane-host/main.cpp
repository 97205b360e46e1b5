// corvane-host: the host application as a program. Sets up the stand-in host from a profile
// folder, loads the module as the host does and runs its work, printing every log line.
#include <hostsim/HostSim.h>

#include <iostream>
#include <optional>
#include <stdexcept>

#include "ActivationRunner.h"
#include "ExchangeTracker.h"
#include "HostCommandLine.h"
#include "HostSetup.h"
#include "LogPrinter.h"
#include "MessageFolderWatch.h"
#include "ModuleLibrary.h"
#include "ProcessResources.h"
#include "ProfileReader.h"
#include "TextEncoding.h"

namespace {

using namespace corvane::host;

enum ExitCode { kDone = 0, kBadCommandLine = 1, kBadProfile = 2, kBadModule = 3, kTimedOut = 4 };

std::string RecordedChecksum(const Profile& profile) {
  if (!profile.dataIniFile) return "(the host names no data INI file)";
  const std::optional<std::string> value = hostsim::ReadProfileValue(
      "WEBTSM", "CheckSum", std::filesystem::absolute(*profile.dataIniFile).string());
  return value ? AnsiToUtf8(*value) : "(absent)";
}

// Removes the log observer before the printer and tracker it refers to go away.
struct LogObservation {
  LogObservation(LogPrinter& printer, ExchangeTracker& tracker) {
    hostsim::SetLogObserver([&printer, &tracker](const hostsim::LogRecord& record) {
      printer.Print(record);
      tracker.OnLog(record.text);
    });
  }
  ~LogObservation() { hostsim::SetLogObserver(nullptr); }
  LogObservation(const LogObservation&) = delete;
  LogObservation& operator=(const LogObservation&) = delete;
};

int Run(const HostCommand& command, const Profile& profile) {
  ApplyProfile(profile);
  LogPrinter printer(std::cout, command.logFormat);
  ExchangeTracker tracker;
  const LogObservation observation(printer, tracker);
  const MessageFolderWatch messages((profile.baseDirectory / kMessagesFolderPath).make_preferred());

  const std::optional<ProcessResources> resourcesBefore = CurrentProcessResources();
  int exitCode = kDone;
  int rounds = 0;
  std::uint64_t requestsSent = 0;
  std::uint64_t completions = 0;
  int backgrounds = 0;
  try {
    const ModuleLibrary module(command.module.value_or(ModuleLibrary::DefaultPath()));
    const auto callEntry = [&] { module.Call(command.entry); };
    for (int round = 1; round <= command.rounds && exitCode == kDone; ++round) {
      const RoundOutcome outcome = RunRound(callEntry, tracker, command.round);
      ++rounds;
      requestsSent += outcome.requestsSent;
      completions += outcome.completions;
      backgrounds += outcome.backgroundDelivered ? 1 : 0;
      std::cerr << "corvane-host: round " << round << ": " << outcome.messagesRun
                << " messages run, " << outcome.requestsSent << " requests sent, "
                << outcome.completions << " completions"
                << (outcome.backgroundDelivered ? ", went to the background" : "")
                << (outcome.finished ? "" : "; time limit passed") << "\n";
      if (!outcome.finished) exitCode = kTimedOut;
    }
  } catch (const std::runtime_error& error) {
    std::cerr << "corvane-host: " << error.what() << "\n";
    return kBadModule;
  }
  std::cerr << "corvane-host: " << rounds << " rounds: " << requestsSent << " requests sent, "
            << completions << " completions, " << backgrounds << " went to the background\n";
  for (const auto& file : messages.WrittenFiles()) {
    std::cerr << "corvane-host: message file written: " << file.string() << "\n";
  }
  std::cerr << "corvane-host: [WEBTSM] CheckSum = " << RecordedChecksum(profile) << "\n";
  const std::optional<ProcessResources> resourcesAfter = CurrentProcessResources();
  if (resourcesBefore && resourcesAfter) {
    std::cerr << "corvane-host: process: " << resourcesBefore->descriptors << " descriptors and "
              << resourcesBefore->threads << " threads before the module was loaded, "
              << resourcesAfter->descriptors << " and " << resourcesAfter->threads
              << " after it was unloaded; " << resourcesAfter->residentKiB << " KiB resident\n";
  }
  const hostsim::MemoryStats memory = hostsim::GetMemoryStats();
  std::cerr << "corvane-host: host string memory: " << memory.liveBlocks << " blocks ("
            << memory.liveBytes << " bytes) live after " << memory.allocations << " allocations\n";
  if (hostsim::MessagesFailed() > 0) {
    std::cerr << "corvane-host: " << hostsim::MessagesFailed()
              << " messages left Execute by an exception (see the log)\n";
  }
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  const auto commandLine = ParseHostCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!commandLine.command) {
    std::cerr << "corvane-host: " << commandLine.error << "\n(see corvane-host --help)\n";
    return kBadCommandLine;
  }
  const HostCommand& command = *commandLine.command;
  switch (command.kind) {
    case HostCommand::Kind::Help:
      std::cout << HostUsage();
      return kDone;
    case HostCommand::Kind::Init: {
      const std::string error = ScaffoldProfile(command.scaffold);
      if (!error.empty()) {
        std::cerr << "corvane-host: " << error << "\n";
        return kBadProfile;
      }
      std::cout << "corvane-host: wrote profile " << command.profile.string() << "\n";
      return kDone;
    }
    case HostCommand::Kind::Check:
    case HostCommand::Kind::Run:
      break;
  }
  const ProfileLoad load = ReadProfile(command.profile);
  if (!load.profile) {
    std::cerr << "corvane-host: " << load.error << "\n";
    return kBadProfile;
  }
  for (const std::string& note : load.notes) {
    std::cerr << "corvane-host: note: " << note << "\n";
  }
  if (command.kind == HostCommand::Kind::Check) {
    std::cout << "corvane-host: profile " << command.profile.string()
              << (load.notes.empty() ? " is complete\n" : " is usable\n");
    return kDone;
  }
  return Run(command, *load.profile);
}
