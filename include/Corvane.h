// Corvane: the message-fetch module's two entry points. Neither takes arguments or returns
// anything; both start one activation on the host's message sequence.
#pragma once

#ifdef _WIN32
#  define CORVANE_EXPORT __declspec(dllexport)
#else
#  define CORVANE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" CORVANE_EXPORT void InvokeWebTsm();

class CORVANE_EXPORT WebTSMManager {
public:
  void OnFirstTimeSetup();
};
