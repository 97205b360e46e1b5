// The host's condition evaluator, registered as the system object
// "AppFW::IConditionEvaluator".
#pragma once

#include "host/KXUtilities.h"

namespace AppFW {

class IConditionEvaluator : public Util::Object {
public:
  ~IConditionEvaluator() override;
  virtual Util::Status EvaluateCondition(const char* name, bool& result) = 0;
  virtual Util::Status GetVariableValue(const char* name, Util::Variant& value) = 0;
};

}  // namespace AppFW
