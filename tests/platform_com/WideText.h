// UTF-16 text helpers that read the same on both targets (OLECHAR is wchar_t on Windows,
// char16_t on Linux).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Win32Api.h"

using WideString = std::basic_string<OLECHAR>;

inline WideString Units(std::initializer_list<unsigned> units) {
  WideString text;
  for (unsigned unit : units) text.push_back(static_cast<OLECHAR>(unit));
  return text;
}

inline WideString FromBstr(BSTR text) {
  return text == nullptr ? WideString() : WideString(text, SysStringLen(text));
}

// Names parameterised cases after their `name` field.
struct CaseName {
  template <class Case>
  std::string operator()(const testing::TestParamInfo<Case>& param) const {
    return param.param.name;
  }
};
