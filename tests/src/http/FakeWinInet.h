// A scripted WinINet for the Linux unit tests of the module's HTTP exchange. The test
// program defines the WinINet functions itself, so they take the place of the platform's in
// the module linked into it. Every call is recorded; failures, queued reads and their later
// completion are scripted. Host thread only.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Win32Api.h"

namespace fake_wininet {

struct OpenRequest {
  std::string object;
  DWORD flags;
  DWORD_PTR context;
};

struct Read {
  bool recordWasFresh;  // every member zero but size, buffer and length; no flags
  DWORD asked;
  LPVOID buffer;
  DWORD_PTR context;
};

// What the next read does.
struct ReadStep {
  enum class Kind { Bytes, Queued, Fails };
  Kind kind = Kind::Bytes;
  std::string bytes;  // delivered now (Bytes) or by the later completion (Queued)
  DWORD error = 0;    // Fails: the last error
};
ReadStep Bytes(std::string bytes);
ReadStep Fails(DWORD error);

struct Script {
  std::optional<DWORD> openFails;         // InternetOpenA returns null with this error
  std::optional<DWORD> setCallbackFails;  // INTERNET_INVALID_STATUS_CALLBACK with this error
  std::optional<DWORD> connectFails;      // null with this error (997: pending)
  std::optional<DWORD> openRequestFails;  // null with this error (997: pending)
  std::optional<DWORD> sendFails;         // FALSE with this error; default: FALSE + 997
  bool sendSucceedsAtOnce = false;        // TRUE from the send
};

struct Log {
  std::vector<std::string> calls;  // function names in call order
  std::vector<INTERNET_STATUS_CALLBACK> callbacks;
  std::vector<OpenRequest> requests;
  std::vector<Read> reads;
  std::vector<HINTERNET> closed;
  std::vector<HINTERNET> badCloses;  // handles closed that were not open
};

// Back to a fresh WinINet with this script; the open handles are forgotten.
void Reset(const Script& script = {});
void SetScript(const Script& script);
void QueueReads(std::deque<ReadStep> steps);
const Log& Calls();
std::set<HINTERNET> OpenHandles();
HINTERNET LastSession();
HINTERNET LastRequest();

// Completes the queued read on the read's context: writes its bytes into the record it was
// given, or with an error writes nothing and reports the failure. False when no read is
// queued.
bool CompleteQueuedRead(DWORD error = 0);
// The send's completion, on the context of the last request opened.
void CompleteSend(DWORD_PTR result = 1, DWORD error = 0);

}  // namespace fake_wininet
