// The service's answer: a WebControlMessage document carrying the current set's checksum and
// either the set itself or, when the client already holds that set, a NoOperation element.
#pragma once

#include <optional>
#include <string>

#include "MessageSetFolder.h"

namespace corvane::service {

std::string BuildWebControlMessage(const MessageSet& set, bool noOperation);

struct Answer {
  int status = 200;
  std::string contentType;
  std::string body;
  std::string summary;  // one line for the service's request log
};

// `clientChecksum` is the decoded value of the request's checksum parameter, if it had one.
Answer AnswerFor(const std::optional<MessageSet>& current,
                 const std::optional<std::string>& clientChecksum);

}  // namespace corvane::service
