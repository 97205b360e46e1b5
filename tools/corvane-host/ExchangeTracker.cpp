#include "ExchangeTracker.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace corvane::host {
namespace {

constexpr std::string_view kSending = "Sending the TSM request";
constexpr std::array<std::string_view, 5> kFailures = {
    "InternetOpen failed", "InternetSetStatusCallback failed", "InternetConnect failed",
    "HttpOpenRequest failed", "HttpSendRequest failed"};
constexpr std::string_view kCompletionMessage = "DelayedWebRequest";

}  // namespace

std::uint64_t MessagesRunByHost() { return hostsim::MessagesExecuted(); }

ExchangeTracker::ExchangeTracker() : m_seen(MessagesRunByHost()) {}

void ExchangeTracker::EndOne() {
  if (m_open > 0) --m_open;
}

void ExchangeTracker::OnLog(const std::string& text) {
  const std::lock_guard lock(m_mutex);
  if (text == kSending) {
    ++m_sent;
    ++m_open;
  } else if (std::any_of(kFailures.begin(), kFailures.end(),
                         [&](std::string_view failure) { return text.starts_with(failure); })) {
    EndOne();
  }
}

bool ExchangeTracker::Observe() {
  const std::uint64_t run = MessagesRunByHost();
  const bool any = run != m_seen;
  const std::lock_guard lock(m_mutex);
  for (std::size_t next = 0; m_seen < run; ++m_seen, ++next) {
    const bool fromQueue = next < m_nextTypes.size();
    if (!fromQueue || m_nextTypes[next].find(kCompletionMessage) != std::string::npos) {
      ++m_completions;
      EndOne();
    }
  }
  m_nextTypes = hostsim::PendingMessageTypes();
  return any;
}

void ExchangeTracker::OnBackground() {
  const std::lock_guard lock(m_mutex);
  m_open = 0;
}

bool ExchangeTracker::InFlight() const {
  const std::lock_guard lock(m_mutex);
  return m_open > 0;
}

std::uint64_t ExchangeTracker::Sent() const {
  const std::lock_guard lock(m_mutex);
  return m_sent;
}

std::uint64_t ExchangeTracker::Completions() const {
  const std::lock_guard lock(m_mutex);
  return m_completions;
}

}  // namespace corvane::host
