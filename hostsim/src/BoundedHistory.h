// The newest entries of what the stand-in host records of the calls it serves: far more than
// any test reads back between two resets, and bounded, so that a host process running
// thousands of activations does not grow with every call.
#pragma once

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

namespace hostsim::detail {

template <class Entry>
class BoundedHistory {
 public:
  static constexpr std::size_t kLimit = 1024;

  void push_back(Entry entry) {
    if (m_entries.size() == kLimit) m_entries.pop_front();
    m_entries.push_back(std::move(entry));
  }
  template <class... Arguments>
  void emplace_back(Arguments&&... arguments) {
    push_back(Entry(std::forward<Arguments>(arguments)...));
  }
  void clear() { m_entries.clear(); }
  std::size_t size() const { return m_entries.size(); }
  operator std::vector<Entry>() const { return {m_entries.begin(), m_entries.end()}; }

 private:
  std::deque<Entry> m_entries;
};

}  // namespace hostsim::detail
