// An INI file's text with the profile-string semantics of Windows: case-insensitive section
// and key names, blanks trimmed around names and values, matching quotes stripped from a
// value, the first of duplicate sections and keys winning. Lines it does not change keep
// their bytes, comments included.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostsim::detail {

class ProfileDocument {
 public:
  static ProfileDocument Parse(std::string_view text);

  // The raw value of the first matching key, trimmed; nothing when absent or value-less.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::string_view section) const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  void RemoveKey(std::string_view section, std::string_view key);
  void RemoveSection(std::string_view section);

  std::string Text() const;

 private:
  struct Line {
    std::string text;
    std::string section;  // the section a key line belongs to; for a header, its own name
    bool isHeader = false;
  };

  std::size_t FindHeader(std::string_view section) const;  // lines.size() when absent
  std::size_t SectionEnd(std::size_t header) const;        // index after the section's last line
  std::optional<std::size_t> FindKeyLine(std::string_view section, std::string_view key) const;

  std::vector<Line> m_lines;
  std::string m_lineEnd = "\r\n";
  bool m_endsWithLineEnd = true;
};

// GetPrivateProfileStringA's answer for a file whose text is given (nothing: no such file).
// Fills buffer as Windows does, including the lists of names for a null section or key, and
// returns the number of characters copied.
unsigned long ReadProfileString(const std::optional<std::string>& fileText, const char* section,
                                const char* key, const char* defaultValue, char* buffer,
                                unsigned long bufferSize);

}  // namespace hostsim::detail
