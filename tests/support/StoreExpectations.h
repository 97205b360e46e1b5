// What the message store left behind in a profile: files of the messages folder and their
// bytes, the success line.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>

#include "HostProfile.h"

namespace corvane_test {

inline std::set<std::string> FilesIn(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

inline constexpr const char* kSavedLine = "Received the response and saved";

// The declaration that begins every message file (39 bytes).
inline constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";

// Line breaks on disk are CR LF and nothing else.
inline void ExpectOnlyCrLfLineBreaks(const std::string& bytes) {
  for (std::size_t index = 0; index < bytes.size(); ++index) {
    if (bytes[index] == '\r') {
      ASSERT_LT(index + 1, bytes.size());
      EXPECT_EQ(bytes[index + 1], '\n') << "lone CR at " << index;
    } else if (bytes[index] == '\n') {
      ASSERT_GT(index, 0u);
      EXPECT_EQ(bytes[index - 1], '\r') << "lone LF at " << index;
    }
  }
}

// The markup without the white space that stands alone between two tags: what is left of a
// serialisation once an indenting serialiser's (Wine's MSXML) line breaks and tabs are gone.
inline std::string WithoutIndentation(const std::string& markup) {
  std::string result;
  std::size_t index = 0;
  while (index < markup.size()) {
    const std::size_t end = markup.find_first_not_of(" \t\r\n", index);
    const bool betweenTags = index > 0 && markup[index - 1] == '>' && end != std::string::npos &&
                             markup[end] == '<' && end > index;
    if (betweenTags) {
      index = end;
      continue;
    }
    result += markup[index++];
  }
  return result;
}

}  // namespace corvane_test
