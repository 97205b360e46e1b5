// The worker driven directly, over the scripted WinINet, with a fresh host profile. The
// worker is the process's one instance: each test starts and ends with its exchange closed.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include <gtest/gtest.h>

#include "CorvaneConfiguration.h"
#include "Answers.h"
#include "FakeWinInet.h"
#include "HostProfile.h"
#include "hostsim/HostSim.h"

namespace corvane_test {

inline constexpr std::size_t kChunk = 2047;

// The answer cut into reads of at most 2047 bytes, then the empty read that ends the body.
std::deque<fake_wininet::ReadStep> AsReads(const std::string& body);

class WorkerTest : public ::testing::Test {
protected:
  WorkerTest();
  ~WorkerTest() override;

  CorvaneConfiguration& Worker() { return *CorvaneConfiguration::GetInstance(); }

  // Sends a request to the URL and lets the send complete: one DelayedWebRequest queued.
  void StartExchange(const char* url = "http://service.test:8080/tsm/get?cs=0");
  // Runs what the host has queued; returns how many messages ran.
  std::size_t RunHost() { return hostsim::RunPendingMessages(); }

  // The stored message file of that checksum, empty when there is none.
  std::string MessageFile(const std::string& checksum) const;
  std::size_t MessageFileCount() const;

  HostProfile m_profile;
};

}  // namespace corvane_test
