// APPCORE: the host's app messages and launch approval.
#pragma once

#include <cstdint>

#include "host/KXUtilities.h"

class AppMsg {
public:
  AppMsg();
  AppMsg(const AppMsg&) = delete;
  AppMsg& operator=(const AppMsg&) = delete;
  virtual ~AppMsg();
  virtual void Execute() = 0;

private:
  std::uint64_t m_hostSequenceNumber;  // the host's; the module neither sets nor reads it
};

// Constructing a SequencedAppMsg hands it to the host, from any thread. The host runs
// Execute() on its own thread, one message at a time, then deletes the message through its
// virtual destructor.
class SequencedAppMsg : public AppMsg {
public:
  SequencedAppMsg();
  ~SequencedAppMsg() override;
};

enum ProgramFeature : int { ProgramFeatureWebTsm = 1077 };
enum UserAction : int { UserActionNone = 0 };

class ApproveLaunchFeature {
public:
  ApproveLaunchFeature(ProgramFeature feature, UserAction action, bool interactive);
  Util::Status ApproveAll() const;

private:
  ProgramFeature m_feature;
  UserAction m_action;
  bool m_interactive;
};
