// The objects behind WinINet handles: a session, its connections and their requests.
// A session and every handle below it share one lock (SessionShared) that guards all of
// their mutable state and the bookkeeping of the status callbacks in flight.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/WinInet.h"

namespace wininet {

class InternetObject;

struct SessionShared {
  struct RunningCallback {
    std::thread::id thread;
    const InternetObject* object;
  };

  std::mutex mutex;
  // Signalled whenever a callback returns or a request changes state.
  std::condition_variable changed;
  std::vector<RunningCallback> running;
};

// WinINet's defaults; 0 and 0xFFFFFFFF mean "no limit".
struct Timeouts {
  DWORD connectMs = 60'000;
  DWORD receiveMs = 30'000;
  DWORD sendMs = 30'000;
};

enum class ObjectKind { Session, Connection, Request };

class InternetObject : public std::enable_shared_from_this<InternetObject> {
public:
  InternetObject(ObjectKind kind, HINTERNET parent, std::shared_ptr<SessionShared> shared,
                 DWORD_PTR context, DWORD flags);
  virtual ~InternetObject() = default;
  InternetObject(const InternetObject&) = delete;
  InternetObject& operator=(const InternetObject&) = delete;

  const ObjectKind kind;
  const HINTERNET handle;
  const HINTERNET parent;
  const std::shared_ptr<SessionShared> shared;
  const DWORD_PTR context;
  const DWORD flags;

  // Guarded by shared->mutex.
  INTERNET_STATUS_CALLBACK callback = nullptr;
  bool closed = false;
  Timeouts timeouts;
};

class Session final : public InternetObject {
public:
  Session(std::string agent, DWORD accessType, std::string proxy, std::string proxyBypass,
          DWORD flags);

  bool IsAsync() const { return (flags & INTERNET_FLAG_ASYNC) != 0; }

  const std::string agent;
  const DWORD accessType;
  const std::string proxy;
  const std::string proxyBypass;
};

class Connection final : public InternetObject {
public:
  Connection(const std::shared_ptr<Session>& session, std::string server, INTERNET_PORT port,
             std::string userName, std::string password, DWORD flags, DWORD_PTR context);

  const std::shared_ptr<Session> session;
  const std::string server;
  const INTERNET_PORT port;
  const std::string userName;
  const std::string password;
};

}  // namespace wininet
