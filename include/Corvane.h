// Corvane: the message-fetch module's two entry points. Neither takes arguments or returns
// anything; both start one activation on the host's message sequence.
#pragma once

#ifdef _WIN32
// Corvane.def is the one list of the DLL's exports: marking the class here as well would
// export its member a second time under the compiler's own name.
#  define CORVANE_EXPORT
#else
#  define CORVANE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" CORVANE_EXPORT void InvokeWebTsm();

class CORVANE_EXPORT WebTSMManager {
public:
  void OnFirstTimeSetup();
};
