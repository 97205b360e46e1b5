// Storage for the stand-in host's process-wide state. The state is built on first use and
// never destroyed: modules unloaded at process exit still unregister notification handlers
// and release strings after the host's own static objects would have been torn down.
#pragma once

#include <new>
#include <utility>

namespace hostsim::detail {

template <class T>
class NoDestructor {
public:
  template <class... Args>
  explicit NoDestructor(Args&&... args) {
    ::new (static_cast<void*>(m_storage)) T(std::forward<Args>(args)...);
  }
  NoDestructor(const NoDestructor&) = delete;
  NoDestructor& operator=(const NoDestructor&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(m_storage)); }

private:
  alignas(T) unsigned char m_storage[sizeof(T)];
};

}  // namespace hostsim::detail
