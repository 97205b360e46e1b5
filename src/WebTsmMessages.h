// The module's two host app messages. Constructing one hands it to the host, which runs
// Execute() on its own thread and then deletes it; the module keeps no pointer to either.
#pragma once

#include "host/AppCore.h"

// Starts an activation: the handshake on the worker.
class SendWebRequest : public SequencedAppMsg {
public:
  void Execute() override;
};

// Reads the answer after WinINet reported the request (or a queued read) complete.
class DelayedWebRequest : public SequencedAppMsg {
public:
  void Execute() override;
};
