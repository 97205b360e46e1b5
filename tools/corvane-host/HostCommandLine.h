// Command line of corvane-host: run, check and init.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ActivationRunner.h"
#include "LogPrinter.h"
#include "ModuleLibrary.h"
#include "ProfileScaffold.h"

namespace corvane::host {

struct HostCommand {
  enum class Kind { Help, Run, Check, Init };
  Kind kind = Kind::Help;
  std::filesystem::path profile;
  // run
  RoundSettings round;
  int rounds = 1;
  ModuleLibrary::EntryPoint entry = ModuleLibrary::EntryPoint::InvokeWebTsm;
  LogPrinter::Format logFormat = LogPrinter::Format::Text;
  std::optional<std::filesystem::path> module;
  // init
  ScaffoldRequest scaffold;
};

struct HostCommandLine {
  std::optional<HostCommand> command;
  std::string error;
};

HostCommandLine ParseHostCommandLine(const std::vector<std::string>& arguments);
std::string HostUsage();

}  // namespace corvane::host
