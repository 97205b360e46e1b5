// Command line of corvane-service.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvane::service {

struct ServiceOptions {
  std::filesystem::path folder;
  std::string address = "127.0.0.1";
  int port = 0;  // 0: an ephemeral port
  std::string checksumParameter = "cs";
  std::chrono::milliseconds delay{0};
};

struct ServiceCommandLine {
  std::optional<ServiceOptions> options;  // empty when help was asked for or on an error
  bool help = false;
  std::string error;
};

ServiceCommandLine ParseServiceCommandLine(const std::vector<std::string>& arguments,
                                           const std::filesystem::path& defaultFolder);

std::string ServiceUsage();

}  // namespace corvane::service
