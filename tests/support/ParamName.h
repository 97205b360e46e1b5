// Names parameterised cases after the `name` member of their parameter.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct ParamName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& param) const {
    return param.param.name;
  }
};
