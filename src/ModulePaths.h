// Folders under the host's base directory that the module reads and writes.
#pragma once

#include "TString.h"

namespace corvane {

// Base directory 1, then "components", "PlacementConfiguration", each followed by the
// platform's path separator.
Util::TString PlacementConfigurationFolder();
// Base directory 1, then "components", "messages", each followed by the path separator.
Util::TString MessagesFolder();

}  // namespace corvane
