// The module's two host app messages. Constructing one hands it to the host, which runs
// Execute() on its own thread and then deletes it; the module keeps no pointer to either.
#pragma once

#include "host/AppCore.h"
#include "platform/Win32Api.h"

// Starts an activation: the handshake on the worker.
class SendWebRequest : public SequencedAppMsg {
 public:
  void Execute() override;
};

// What a WinINet completion reports: the context of the exchange it belongs to, and whether
// the operation failed with which WinINet error.
struct RequestCompletion {
  DWORD_PTR exchange = 0;
  bool failed = false;
  DWORD error = 0;
};

// Reads the answer after WinINet reported the request (or a queued read) complete. The
// completion is a base ahead of the host's: bases are built in order, so it is filled before
// the host's constructor hands the message to the host's thread.
class DelayedWebRequest : private RequestCompletion, public SequencedAppMsg {
 public:
  explicit DelayedWebRequest(const RequestCompletion& completion) : RequestCompletion(completion) {}
  void Execute() override;
};
