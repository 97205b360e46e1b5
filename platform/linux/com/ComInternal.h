// State shared between the COM source files.
#pragma once

namespace platform::com {

// Whether the calling thread has initialised COM and not yet balanced it.
bool IsInitialisedOnThisThread();

}  // namespace platform::com
