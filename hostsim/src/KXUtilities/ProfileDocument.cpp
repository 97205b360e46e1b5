// INI text with Windows profile-string semantics.
#include "KXUtilities/ProfileDocument.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace hostsim::detail {
namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsHeaderLine(std::string_view trimmed) { return !trimmed.empty() && trimmed[0] == '['; }

std::string_view HeaderName(std::string_view trimmed) {
  const std::size_t close = trimmed.find(']');
  return Trim(
      trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// A key line's name and value; value-less lines (no '=') and comments have no value.
struct KeyLine {
  std::string_view name;
  std::optional<std::string_view> value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] == ';' || IsHeaderLine(trimmed)) {
    return std::nullopt;
  }
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) {
    return KeyLine{trimmed, std::nullopt};
  }
  return KeyLine{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

// Copies a list of names, each followed by a NUL, with a final NUL; a list that does not fit
// is cut and still ends with two NULs, and the result is then bufferSize - 2.
unsigned long CopyNameList(const std::vector<std::string>& names, char* buffer,
                           unsigned long bufferSize) {
  if (bufferSize == 1) {
    buffer[0] = '\0';
    return 0;
  }
  unsigned long free = bufferSize - 1;
  char* out = buffer;
  for (const std::string& name : names) {
    const unsigned long needed = static_cast<unsigned long>(name.size()) + 1;
    if (needed > free) {
      if (free > 0) {
        std::memcpy(out, name.data(), free - 1);
        out += free - 1;
        *out++ = '\0';
      }
      *out = '\0';
      return bufferSize - 2;
    }
    std::memcpy(out, name.c_str(), needed);
    out += needed;
    free -= needed;
  }
  *out = '\0';
  return static_cast<unsigned long>(out - buffer);
}

// The default loses its trailing blanks; a value (or default) in matching quotes loses them.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string_view DefaultText(const char* defaultValue) {
  std::string_view text = defaultValue != nullptr ? defaultValue : "";
  while (text.size() > 1 && text.back() == ' ') {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

ProfileDocument ProfileDocument::Parse(std::string_view text) {
  ProfileDocument document;
  const std::size_t firstNewline = text.find('\n');
  if (firstNewline != std::string_view::npos) {
    document.m_lineEnd = firstNewline > 0 && text[firstNewline - 1] == '\r' ? "\r\n" : "\n";
  }
  document.m_endsWithLineEnd = text.empty() || text.back() == '\n';
  std::string section;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    const std::string_view trimmed = Trim(line);
    const bool header = IsHeaderLine(trimmed);
    if (header) {
      section = HeaderName(trimmed);
    }
    document.m_lines.push_back(Line{std::string(line), section, header});
    start = end + 1;
  }
  return document;
}

std::size_t ProfileDocument::FindHeader(std::string_view section) const {
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (m_lines[i].isHeader && SameName(m_lines[i].section, section)) {
      return i;
    }
  }
  return m_lines.size();
}

std::size_t ProfileDocument::SectionEnd(std::size_t header) const {
  std::size_t end = header + 1;
  while (end < m_lines.size() && !m_lines[end].isHeader) {
    ++end;
  }
  return end;
}

std::optional<std::size_t> ProfileDocument::FindKeyLine(std::string_view section,
                                                        std::string_view key) const {
  // Keys before the first header belong to the nameless section.
  std::size_t begin = 0;
  std::size_t end = 0;
  if (Trim(section).empty()) {
    while (end < m_lines.size() && !m_lines[end].isHeader) {
      ++end;
    }
  } else {
    const std::size_t header = FindHeader(section);
    if (header == m_lines.size()) {
      return std::nullopt;
    }
    begin = header + 1;
    end = SectionEnd(header);
  }
  for (std::size_t i = begin; i < end; ++i) {
    const std::optional<KeyLine> parsed = ParseKeyLine(m_lines[i].text);
    if (parsed && SameName(parsed->name, key)) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<std::string> ProfileDocument::Find(std::string_view section,
                                                 std::string_view key) const {
  const std::optional<std::size_t> line = FindKeyLine(section, key);
  if (!line) {
    return std::nullopt;
  }
  const std::optional<KeyLine> parsed = ParseKeyLine(m_lines[*line].text);
  if (!parsed->value) {
    return std::nullopt;
  }
  return std::string(*parsed->value);
}

std::vector<std::string> ProfileDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : m_lines) {
    if (line.isHeader && !line.section.empty()) {
      names.push_back(line.section);
    }
  }
  return names;
}

std::vector<std::string> ProfileDocument::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  const std::size_t header = FindHeader(section);
  if (header == m_lines.size()) {
    return names;
  }
  for (std::size_t i = header + 1; i < SectionEnd(header); ++i) {
    if (const std::optional<KeyLine> parsed = ParseKeyLine(m_lines[i].text)) {
      names.emplace_back(parsed->name);
    }
  }
  return names;
}

void ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string name(Trim(key));
  const std::string newText = name + "=" + std::string(Trim(value));
  if (const std::optional<std::size_t> line = FindKeyLine(section, key)) {
    const std::string keptName(ParseKeyLine(m_lines[*line].text)->name);
    m_lines[*line].text = keptName + "=" + std::string(Trim(value));
    return;
  }
  const std::size_t header = FindHeader(section);
  if (header == m_lines.size()) {
    if (!m_lines.empty() && !Trim(m_lines.back().text).empty()) {
      m_lines.push_back(Line{"", m_lines.back().section, false});
    }
    const std::string sectionName(Trim(section));
    m_lines.push_back(Line{"[" + sectionName + "]", sectionName, true});
    m_lines.push_back(Line{newText, sectionName, false});
    m_endsWithLineEnd = true;
    return;
  }
  // After the section's last non-blank line, so that blank separators stay before the next.
  std::size_t insertAt = SectionEnd(header);
  while (insertAt > header + 1 && Trim(m_lines[insertAt - 1].text).empty()) {
    --insertAt;
  }
  if (insertAt == m_lines.size()) {
    m_endsWithLineEnd = true;
  }
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                 Line{newText, m_lines[header].section, false});
}

void ProfileDocument::RemoveKey(std::string_view section, std::string_view key) {
  if (const std::optional<std::size_t> line = FindKeyLine(section, key)) {
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(*line));
  }
}

void ProfileDocument::RemoveSection(std::string_view section) {
  const std::size_t header = FindHeader(section);
  if (header != m_lines.size()) {
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
  }
}

std::string ProfileDocument::Text() const {
  std::string text;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    text += m_lines[i].text;
    if (i + 1 < m_lines.size() || m_endsWithLineEnd) {
      text += m_lineEnd;
    }
  }
  return text;
}

unsigned long ReadProfileString(const std::optional<std::string>& fileText, const char* section,
                                const char* key, const char* defaultValue, char* buffer,
                                unsigned long bufferSize) {
  if (buffer == nullptr || bufferSize == 0) {
    return 0;
  }
  const ProfileDocument document = ProfileDocument::Parse(fileText.value_or(std::string()));
  if (section == nullptr) {
    return CopyNameList(document.SectionNames(), buffer, bufferSize);
  }
  if (key == nullptr) {
    return CopyNameList(document.KeyNames(section), buffer, bufferSize);
  }
  const std::optional<std::string> found = document.Find(section, key);
  const std::string_view value =
      Unquote(found ? std::string_view(*found) : DefaultText(defaultValue));
  const std::size_t copied = std::min<std::size_t>(value.size(), bufferSize - 1);
  std::memcpy(buffer, value.data(), copied);
  buffer[copied] = '\0';
  return static_cast<unsigned long>(copied);
}

}  // namespace hostsim::detail
