// What the message store left behind in a profile: files of the messages folder and their
// bytes, the success line.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "HostProfile.h"
#include "LineBreaks.h"
#include "ModuleLogTexts.h"

namespace corvane_test {

inline std::set<std::string> FilesIn(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The declaration that begins every message file (39 bytes).
inline constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";

// Line breaks on disk are CR LF and nothing else.
inline void ExpectOnlyCrLfLineBreaks(const std::string& bytes) {
  EXPECT_EQ(FindLoneLineBreak(bytes), std::string::npos) << "a lone CR or LF";
}

// The markup without the white space that stands alone between two tags: what is left of a
// serialisation once an indenting serialiser's (Wine's MSXML) line breaks and tabs are gone.
inline std::string WithoutIndentation(const std::string& markup) {
  return std::regex_replace(markup, std::regex(">[ \t\r\n]+<"), "><");
}

}  // namespace corvane_test
