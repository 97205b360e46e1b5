// The host's condition evaluator, looked up anew on every use: the host may register or
// replace it at any time, so nothing is cached.
#pragma once

#include "host/ConditionEvaluator.h"

namespace corvane {

// Null when nothing is registered under the evaluator's name or the object is of another type.
inline AppFW::IConditionEvaluator* FindConditionEvaluator() {
  return dynamic_cast<AppFW::IConditionEvaluator*>(
      Util::SystemObjectRegistrar::instance().GetSystemObject("AppFW::IConditionEvaluator"));
}

}  // namespace corvane
