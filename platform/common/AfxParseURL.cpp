#include "platform/AfxInet.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace {

struct Scheme {
  std::string_view name;
  DWORD service;
  INTERNET_PORT defaultPort;
};

constexpr Scheme kSchemes[] = {
    {"http", AFX_INET_SERVICE_HTTP, INTERNET_DEFAULT_HTTP_PORT},
    {"https", AFX_INET_SERVICE_HTTPS, INTERNET_DEFAULT_HTTPS_PORT},
    {"ftp", AFX_INET_SERVICE_FTP, INTERNET_DEFAULT_FTP_PORT},
    {"gopher", AFX_INET_SERVICE_GOPHER, INTERNET_DEFAULT_GOPHER_PORT},
    {"file", AFX_INET_SERVICE_FILE, 0},
    {"news", AFX_INET_SERVICE_NEWS, 119},
    {"nntp", AFX_INET_SERVICE_NNTP, 119},
    {"telnet", AFX_INET_SERVICE_TELNET, 23},
    {"wais", AFX_INET_SERVICE_WAIS, 210},
    {"prospero", AFX_INET_SERVICE_PROSPERO, 1525},
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

const Scheme* FindScheme(std::string_view name) {
  for (const auto& scheme : kSchemes) {
    if (EqualsNoCase(scheme.name, name)) return &scheme;
  }
  return nullptr;
}

// "65535" → 65535; false for anything but 1 to 65535 in decimal digits.
bool ParsePort(std::string_view text, INTERNET_PORT& port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<INTERNET_PORT>(value);
  return true;
}

// "host", "host:port", "[v6]" or "[v6]:port", after any "user:password@".
bool SplitAuthority(std::string_view authority, std::string_view& host, INTERNET_PORT& port) {
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::string_view portText;
  if (!authority.empty() && authority.front() == '[') {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = authority.substr(1, close - 1);
    const auto rest = authority.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    if (!rest.empty()) portText = rest.substr(1);
  } else {
    const auto colon = authority.find(':');
    host = authority.substr(0, colon);
    if (colon != std::string_view::npos) portText = authority.substr(colon + 1);
  }
  if (host.empty()) return false;
  for (char c : host) {
    if (IsBlank(c)) return false;
  }
  return portText.empty() || ParsePort(portText, port);
}

}  // namespace

BOOL AfxParseURL(LPCSTR url, DWORD& serviceType, CStringA& server, CStringA& object,
                 INTERNET_PORT& port) {
  serviceType = AFX_INET_SERVICE_UNK;
  const auto fail = [&] {
    serviceType = AFX_INET_SERVICE_UNK;
    server.Empty();
    object.Empty();
    return FALSE;
  };
  if (url == nullptr) return fail();
  std::string_view text(url);
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return fail();
  const Scheme* scheme = FindScheme(text.substr(0, colon));
  if (scheme == nullptr || text.substr(colon + 1, 2) != "//") return fail();
  text.remove_prefix(colon + 3);

  const auto authorityEnd = std::min(text.find_first_of("/?#"), text.size());
  std::string_view host;
  INTERNET_PORT parsedPort = scheme->defaultPort;
  const auto authority = text.substr(0, authorityEnd);
  const bool localFile = scheme->service == AFX_INET_SERVICE_FILE && authority.empty();
  if (!localFile && !SplitAuthority(authority, host, parsedPort)) return fail();
  // The fragment belongs to the client; it is never part of the request.
  std::string_view rest = text.substr(authorityEnd);
  rest = rest.substr(0, rest.find('#'));

  serviceType = scheme->service;
  server = CStringA(host.data(), static_cast<int>(host.size()));
  std::string path;
  path.reserve(rest.size() + 1);
  if (rest.empty() || rest.front() != '/') path.push_back('/');
  path.append(rest.data(), rest.size());
  object = path.c_str();
  port = parsedPort;
  return TRUE;
}
