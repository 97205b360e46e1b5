#include "WinInetObjects.h"

#include <atomic>
#include <utility>

#include "WinInetRequest.h"

namespace wininet {
namespace {

// Handle values are never reused, so a stale handle can never reach a newer object.
HINTERNET NextHandleValue() {
  static std::atomic<std::uintptr_t> next{0x1000};
  return reinterpret_cast<HINTERNET>(next.fetch_add(4));
}

}  // namespace

InternetObject::InternetObject(ObjectKind objectKind, HINTERNET parentHandle,
                               std::shared_ptr<SessionShared> sessionShared,
                               DWORD_PTR contextValue, DWORD objectFlags)
    : kind(objectKind),
      handle(NextHandleValue()),
      parent(parentHandle),
      shared(std::move(sessionShared)),
      context(contextValue),
      flags(objectFlags) {}

Session::Session(std::string agentName, DWORD access, std::string proxyName,
                 std::string bypass, DWORD sessionFlags)
    : InternetObject(ObjectKind::Session, nullptr, std::make_shared<SessionShared>(), 0,
                     sessionFlags),
      agent(std::move(agentName)),
      accessType(access),
      proxy(std::move(proxyName)),
      proxyBypass(std::move(bypass)) {}

Connection::Connection(const std::shared_ptr<Session>& owner, std::string serverName,
                       INTERNET_PORT serverPort, std::string user, std::string pass,
                       DWORD connectionFlags, DWORD_PTR contextValue)
    : InternetObject(ObjectKind::Connection, owner->handle, owner->shared, contextValue,
                     connectionFlags),
      session(owner),
      server(std::move(serverName)),
      port(serverPort),
      userName(std::move(user)),
      password(std::move(pass)) {}

Request::Request(const std::shared_ptr<Connection>& owner, std::string verbName,
                 std::string objectName, std::string httpVersion, DWORD requestFlags,
                 DWORD_PTR contextValue)
    : InternetObject(ObjectKind::Request, owner->handle, owner->shared, contextValue,
                     requestFlags),
      connection(owner),
      verb(std::move(verbName)),
      object(std::move(objectName)),
      version(std::move(httpVersion)) {}

}  // namespace wininet

namespace wininet {

std::shared_ptr<Request> Request::SharedFromThis() {
  return std::static_pointer_cast<Request>(shared_from_this());
}

}  // namespace wininet
