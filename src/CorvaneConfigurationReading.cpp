// Reading the answer: passes on the host's thread, each started by a DelayedWebRequest.
#include <algorithm>
#include <cstring>
#include <utility>

#include "CorvaneConfiguration.h"
#include "HttpExchange.h"
#include "ModuleLog.h"

namespace {

constexpr corvane::LogSite kReadSite{corvane::kConfigurationSource,
                                     "CorvaneConfiguration::ReadResponse",
                                     "void __cdecl CorvaneConfiguration::ReadResponse(void)"};

}  // namespace

void CorvaneConfiguration::OnRequestComplete(DWORD_PTR exchange, bool failed, DWORD error) {
  if (exchange == 0 || exchange != m_requestContext) {
    return;  // an exchange closed since: its completion has nothing left to read
  }
  if (failed && m_readQueued) {
    // The queued read broke off: what was gathered is a truncated answer.
    CORVANE_LOG_PROGRESS(kReadSite, "InternetReadFileEx failed, error --> %lu",
                         static_cast<unsigned long>(error));
    CloseInternetHandles();
    return;
  }
  ReadResponse();
}

void CorvaneConfiguration::ReadResponse() {
  while (true) {
    DWORD delivered = 0;
    if (!TakeReadResult(delivered)) {
      return;  // failed, or queued: its completion starts the next pass
    }
    AppendChunk(delivered);
    if (delivered == 0) {
      m_responseComplete = 1;
    }
    ++m_readCount;
    if (m_readCount > kMaxReadsPerAnswer) {
      CORVANE_LOG_PROGRESS(kReadSite, "TBD: huge response");
      ForgetAnswer();
      return;
    }
    if (m_responseComplete != 0) {
      break;
    }
  }

  Util::TString answer = std::exchange(m_answerText, Util::TString());
  CloseInternetHandles();
  if (Util::CompareStrings(answer, "", Util::CaseSensitive) != 0) {
    ProcessResponse(answer);
  }
}

// The byte count of the next read: either the read that an earlier pass left queued, which
// WinINet has completed into the record, or a new one. False when there is nothing to take
// now.
bool CorvaneConfiguration::TakeReadResult(DWORD& delivered) {
  if (!m_readQueued) {
    // A fresh record for every read; the buffer is cleared so that a queued read that fails
    // without writing leaves no stale bytes behind.
    m_readRecord = INTERNET_BUFFERSA{};
    m_readRecord.dwStructSize = sizeof m_readRecord;
    m_readRecord.lpvBuffer = m_readBuffer;
    m_readRecord.dwBufferLength = kReadChunk;
    std::memset(m_readBuffer, 0, sizeof m_readBuffer);
    if (InternetReadFileExA(m_hRequest.get(), &m_readRecord, 0, m_requestContext) == FALSE) {
      m_readQueued = GetLastError() == ERROR_IO_PENDING && m_hRequest;
      return false;
    }
  }
  m_readQueued = false;
  delivered = std::min<DWORD>(m_readRecord.dwBufferLength, kReadChunk);
  return true;
}

// Adds the chunk's text up to its first zero byte.
void CorvaneConfiguration::AppendChunk(DWORD delivered) {
  m_readBuffer[delivered] = '\0';
  if (m_readBuffer[0] != '\0') {
    m_answerText += m_readBuffer;
  }
}

void CorvaneConfiguration::ForgetAnswer() {
  m_answerText.Empty();
  m_readCount = 0;
}
