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
constexpr std::string_view kRequestMessage = "SendWebRequest";

}  // namespace

void ExchangeTracker::EndOne() {
  if (m_open > 0) --m_open;
}

void ExchangeTracker::OnLog(const std::string& text) {
  const std::lock_guard lock(m_mutex);
  if (text == kSending) {
    ++m_sent;
    m_open = 1;  // the module closes an earlier exchange first, which then sees no completion
  } else if (std::any_of(kFailures.begin(), kFailures.end(),
                         [&](std::string_view failure) { return text.starts_with(failure); })) {
    EndOne();
  }
}

void ExchangeTracker::OnMessagesRun(const std::vector<std::string>& queuedBefore, std::size_t ran) {
  const std::lock_guard lock(m_mutex);
  m_run += ran;
  for (std::size_t i = 0; i < ran; ++i) {
    if (i >= queuedBefore.size() || queuedBefore[i].find(kRequestMessage) == std::string::npos) {
      ++m_completions;
      EndOne();
    }
  }
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

std::uint64_t ExchangeTracker::MessagesRun() const {
  const std::lock_guard lock(m_mutex);
  return m_run;
}

}  // namespace corvane::host
