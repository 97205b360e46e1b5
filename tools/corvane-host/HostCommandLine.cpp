#include "HostCommandLine.h"

#include "NumberArgument.h"

namespace corvane::host {
namespace {

class Arguments {
 public:
  explicit Arguments(const std::vector<std::string>& arguments) : m_arguments(arguments) {}
  bool Done() const { return m_next >= m_arguments.size(); }
  const std::string& Next() { return m_arguments[m_next++]; }
  std::optional<std::string> Value(const std::string& option, std::string& error) {
    if (Done()) {
      error = option + " needs a value";
      return std::nullopt;
    }
    return Next();
  }

 private:
  const std::vector<std::string>& m_arguments;
  std::size_t m_next = 0;
};

// Reads one option of `run`; false with `error` set when it is not one or is invalid.
bool ReadRunOption(const std::string& option, Arguments& arguments, HostCommand& command,
                   std::string& error) {
  const auto number = [&](long low, long high) -> std::optional<long> {
    const auto text = arguments.Value(option, error);
    if (!text) return std::nullopt;
    const auto value = tools::ParseNumberArgument(*text, low, high);
    if (!value) {
      error = option + " must be a number from " + std::to_string(low) + " to " +
              std::to_string(high) + ", not " + *text;
    }
    return value;
  };
  const auto milliseconds = [&](long low, long high) -> std::optional<std::chrono::milliseconds> {
    const auto value = number(low, high);
    return value ? std::optional(std::chrono::milliseconds(*value)) : std::nullopt;
  };
  if (option == "--calls") {
    const auto value = number(0, 10000);
    if (value) command.round.calls = static_cast<int>(*value);
    return value.has_value();
  }
  if (option == "--rounds") {
    const auto value = number(1, 100000);
    if (value) command.rounds = static_cast<int>(*value);
    return value.has_value();
  }
  if (option == "--background-after") {
    command.round.backgroundAfter = milliseconds(0, 3600000);
    return command.round.backgroundAfter.has_value();
  }
  if (option == "--background-within") {
    command.round.backgroundWithin = milliseconds(1, 3600000);
    return command.round.backgroundWithin.has_value();
  }
  if (option == "--quiet-ms") {
    const auto value = milliseconds(10, 60000);
    if (value) command.round.quiet = *value;
    return value.has_value();
  }
  if (option == "--timeout-ms") {
    const auto value = milliseconds(100, 3600000);
    if (value) command.round.timeout = *value;
    return value.has_value();
  }
  if (option == "--entry") {
    const auto value = arguments.Value(option, error);
    if (value == "invoke") {
      command.entry = ModuleLibrary::EntryPoint::InvokeWebTsm;
    } else if (value == "setup") {
      command.entry = ModuleLibrary::EntryPoint::OnFirstTimeSetup;
    } else if (value) {
      error = "--entry must be invoke or setup, not " + *value;
    }
    return error.empty();
  }
  if (option == "--module") {
    const auto value = arguments.Value(option, error);
    if (value) command.module = *value;
    return value.has_value();
  }
  if (option == "--json") {
    command.logFormat = LogPrinter::Format::Json;
    return true;
  }
  error = "unknown option " + option;
  return false;
}

bool ReadInitOption(const std::string& option, Arguments& arguments, HostCommand& command,
                    std::string& error) {
  if (option == "--force") {
    command.scaffold.overwrite = true;
    return true;
  }
  if (option == "--url") {
    const auto value = arguments.Value(option, error);
    if (value) command.scaffold.url = *value;
    return value.has_value();
  }
  if (option == "--var") {
    const auto value = arguments.Value(option, error);
    if (!value) return false;
    const auto variable = ParseAceVariableArgument(*value);
    if (!variable) {
      error = "--var " + *value + ": the variable name is empty (NAME[:PARAMETER][=VALUE])";
      return false;
    }
    command.scaffold.variables.push_back(*variable);
    return true;
  }
  error = "unknown option " + option + " for init";
  return false;
}

}  // namespace

HostCommandLine ParseHostCommandLine(const std::vector<std::string>& list) {
  HostCommandLine result;
  HostCommand command;
  Arguments arguments(list);
  if (arguments.Done()) {
    result.error = "no profile given";
    return result;
  }
  std::string first = arguments.Next();
  if (first == "--help" || first == "-h" || first == "help") {
    result.command = command;
    return result;
  }
  command.kind = HostCommand::Kind::Run;
  if (first == "run" || first == "check" || first == "init") {
    command.kind = first == "run"     ? HostCommand::Kind::Run
                   : first == "check" ? HostCommand::Kind::Check
                                      : HostCommand::Kind::Init;
    if (arguments.Done()) {
      result.error = first + " needs a profile folder";
      return result;
    }
    first = arguments.Next();
  }
  if (first.starts_with("--")) {
    result.error = "the profile folder comes before the options (got " + first + ")";
    return result;
  }
  command.profile = first;
  command.scaffold.folder = first;
  while (!arguments.Done()) {
    const std::string& option = arguments.Next();
    if (option == "--help" || option == "-h") {
      command.kind = HostCommand::Kind::Help;
      result.command = command;
      return result;
    }
    const bool ok = command.kind == HostCommand::Kind::Init
                        ? ReadInitOption(option, arguments, command, result.error)
                    : command.kind == HostCommand::Kind::Run
                        ? ReadRunOption(option, arguments, command, result.error)
                        : (result.error = "check takes no options", false);
    if (!ok) return result;
  }
  if (command.kind == HostCommand::Kind::Init && command.scaffold.url.empty()) {
    result.error = "init needs --url";
    return result;
  }
  result.command = command;
  return result;
}

std::string HostUsage() {
  return R"(Usage:
  corvane-host [run] PROFILE [options]   load the module as the host does and run it
  corvane-host check PROFILE             only read and check the profile
  corvane-host init PROFILE --url URL [--var NAME[:PARAMETER][=VALUE]]... [--force]
                                         write a fresh profile folder
  corvane-host --help

run: the profile is read and checked in full first; a bad profile is reported with the file
and the problem (exit 2) and the module is not loaded. Then the host is set up from it, the
module is loaded (dlopen / LoadLibraryA) and, per round, its entry point is called and the
host's message sequence runs on this thread until nothing is queued, no exchange is in
flight and the queue has been empty for the quiet period. An exchange is in flight from the
log line "Sending the TSM request" until a DelayedWebRequest has run for it, a WinINet
failure line is logged, or the host goes to the background.
  --calls N               entry-point calls per round, back to back (default 1)
  --rounds N              rounds, each run to its end before the next (default 1)
  --entry invoke|setup    InvokeWebTsm (default) or WebTSMManager::OnFirstTimeSetup
  --background-after MS   deliver "going to the background" MS after a round's first call
  --background-within MS  deliver it at a random moment within MS of each round's first call
  --quiet-ms MS           quiet period (default 300)
  --timeout-ms MS         time limit per round (default 15000); passing it exits with 4
  --json                  log lines as JSON objects: level, eventType, file, line,
                          function, signature, text
  --module PATH           the module (default: libCorvane.so / Corvane.dll beside this
                          program)
Every module log line goes to stdout as it is written; a summary per round, the message
files written and the recorded [WEBTSM] CheckSum go to stderr.

init: writes PROFILE/profile.json, PROFILE/data.ini ([WEBTSM] WEBTSMON=1) and
PROFILE/base/components/PlacementConfiguration/TSMCnfg.XML with one AceVariable per --var,
and creates PROFILE/base/components/messages/. A VALUE goes to where the module reads the
variable from: a name starting with "Userpref" becomes a preference of the current user,
"CheckSum" (any case) the recorded checksum in data.ini, any other name an evaluator
variable (an integer when VALUE is one, else a string). --force rewrites these files in a
folder that is not empty.
  example: corvane-host init /tmp/p --url http://127.0.0.1:8080/messages
             --var CheckSum:cs --var App.Version=27 --var Userpref_Region:region=north

Profile folder: profile.json, data.ini (the data INI file), base/ (base directory 1) with
components/PlacementConfiguration/TSMCnfg.XML and components/messages/; all must exist but
TSMCnfg.XML (a host may have none: check notes it, run goes ahead).
profile.json (UTF-8, every key optional, unknown keys are errors):
  "launchApproval": true|false                  (default true)
  "dataIniFile": "data.ini" | null              (null: the host names none)
  "baseDirectory": "base"
  "evaluator": null | "other" | {               (null: none registered; "other": an object
     "conditions": {NAME: true|false|null |      of another type registered instead)
                   {"result": .., "failure": F}},
     "variables": {NAME: 27 | 2.9 | true | "text" | {"tag": T, "value": V, "failure": F}}}
  "currentUser": null | {"preferenceStore": null | {NAME: "text"}}
  T: empty null int8 int16 int32 int64 long uint8 uint16 uint32 uint64 ulong double bool
     string wideString, or a number for any other tag; F: {"code": n, "message": "..",
     "throw": false}. Paths are relative to the profile folder. See tools/README-tools.md.

Exit codes: 0 done, 1 bad command line, 2 bad profile or init failed, 3 module cannot be
loaded or lacks the entry point, 4 time limit passed.
)";
}

}  // namespace corvane::host
