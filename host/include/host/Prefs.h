// PREFS: the current user and the user's preference store.
#pragma once

#include "platform/Win32Api.h"

class CPersistentAggregateValueManager {
public:
  virtual ~CPersistentAggregateValueManager();
  // Fills value with the preference's value; the module ignores the result.
  virtual HRESULT GetAggregateValue(const char* name, VARIANT* value) = 0;
};

class CUser {
public:
  virtual ~CUser();
  virtual CPersistentAggregateValueManager* GetUsersAVM() = 0;
};

CUser* GetCurrentUser();
