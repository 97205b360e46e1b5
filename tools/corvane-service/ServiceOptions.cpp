#include "ServiceOptions.h"

#include "NumberArgument.h"

namespace corvane::service {
namespace {

bool IsLoopback(const std::string& address) {
  return address == "::1" || address == "localhost" || address.starts_with("127.");
}

}  // namespace

std::string ServiceUsage() {
  return R"(Usage: corvane-service [options]

Serves the message sets of a folder to Corvane over HTTP on a loopback address.
Every GET, whatever its path, is answered with a WebControlMessage document for the
current set: the "*.xml" file of the folder whose name sorts last that holds a Messages
element. Its Userpref_CheckSum attribute is the FNV-1a (64 bit) hash of the Messages
element's markup as 16 lower-case hex digits. When the request's checksum parameter equals it,
the answer carries <NoOperation/> instead of the set. The folder is read on every request.

Options:
  --folder DIR             folder of message sets (default: the bundled samples)
  --address ADDR           loopback address to bind: 127.0.0.1 (default), ::1 or localhost
  --port N                 port to bind; 0 (default) picks a free one
  --checksum-param NAME    query parameter that carries the client's checksum (default cs)
  --delay-ms N             wait N milliseconds (at most 60000) before answering
  --help                   this text

Output: the first line on stdout is "listening on ADDRESS:PORT"; then one line per
request ("GET target -> answer"). Files that hold no set are reported on stderr.
SIGINT or SIGTERM stops the service.
)";
}

ServiceCommandLine ParseServiceCommandLine(const std::vector<std::string>& arguments,
                                           const std::filesystem::path& defaultFolder) {
  ServiceCommandLine result;
  ServiceOptions options;
  options.folder = defaultFolder;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--help" || name == "-h") {
      result.help = true;
      return result;
    }
    if (i + 1 >= arguments.size()) {
      result.error = name.starts_with("--") ? name + " needs a value" : "unknown argument " + name;
      return result;
    }
    const std::string& value = arguments[++i];
    if (name == "--folder") {
      options.folder = value;
    } else if (name == "--address") {
      if (!IsLoopback(value)) {
        result.error = "--address must be a loopback address, not " + value;
        return result;
      }
      options.address = value;
    } else if (name == "--port") {
      const auto port = tools::ParseNumberArgument(value, 0, 65535);
      if (!port) {
        result.error = "--port must be a number from 0 to 65535, not " + value;
        return result;
      }
      options.port = static_cast<int>(*port);
    } else if (name == "--checksum-param") {
      if (value.empty()) {
        result.error = "--checksum-param must not be empty";
        return result;
      }
      options.checksumParameter = value;
    } else if (name == "--delay-ms") {
      const auto delay = tools::ParseNumberArgument(value, 0, 60000);
      if (!delay) {
        result.error = "--delay-ms must be a number from 0 to 60000, not " + value;
        return result;
      }
      options.delay = std::chrono::milliseconds(*delay);
    } else {
      result.error = "unknown option " + name;
      return result;
    }
  }
  result.options = std::move(options);
  return result;
}

}  // namespace corvane::service
