// The MFC URL parse the module feeds its connection and request with.
#include <gtest/gtest.h>

#include "platform/AfxInet.h"

namespace {

struct UrlCase {
  const char* url;
  DWORD service;  // AFX_INET_SERVICE_UNK: refused, names emptied, port left alone
  const char* server;
  const char* object;
  INTERNET_PORT port;
};

constexpr DWORD kHttp = AFX_INET_SERVICE_HTTP;
constexpr DWORD kRefused = AFX_INET_SERVICE_UNK;

const UrlCase kUrls[] = {
    {"http://tsm.example.com/svc/get.aspx?a=1&b=2", kHttp, "tsm.example.com",
     "/svc/get.aspx?a=1&b=2", 80},
    {"http://127.0.0.1:8080/x", kHttp, "127.0.0.1", "/x", 8080},
    {"https://example.com/", AFX_INET_SERVICE_HTTPS, "example.com", "/", 443},
    {"ftp://files.example.com/pub", AFX_INET_SERVICE_FTP, "files.example.com", "/pub", 21},
    {"http://example.com", kHttp, "example.com", "/", 80},
    {"http://example.com?q=1", kHttp, "example.com", "/?q=1", 80},
    {"http://example.com/a?b=1#top", kHttp, "example.com", "/a?b=1", 80},
    {"http://user:pw@example.com:81/", kHttp, "example.com", "/", 81},
    {"HTTP://Example.com/Path", kHttp, "Example.com", "/Path", 80},
    {"http://[::1]:8081/v6", kHttp, "::1", "/v6", 8081},
    {"  http://example.com/a  ", kHttp, "example.com", "/a", 80},
    {nullptr, kRefused, "", "", 1234},
    {"", kRefused, "", "", 1234},
    {"example.com/path", kRefused, "", "", 1234},
    {"http:/example.com", kRefused, "", "", 1234},
    {"http://", kRefused, "", "", 1234},
    {"http://host:65536/", kRefused, "", "", 1234},
    {"http://host:8x/", kRefused, "", "", 1234},
    {"http://[::1/", kRefused, "", "", 1234},
    {"http://ho st/", kRefused, "", "", 1234},
    {"mailto:a@b.c", kRefused, "", "", 1234},
    {"://host/", kRefused, "", "", 1234},
};

TEST(AfxParseURL, GivesServiceServerObjectAndPortOrRefusesTheUrl) {
  for (const UrlCase& c : kUrls) {
    SCOPED_TRACE(c.url != nullptr ? c.url : "(null)");
    DWORD service = kHttp;
    CStringA server;
    server = "previous.example.com";
    CStringA object;
    object = "/previous";
    INTERNET_PORT port = 1234;
    EXPECT_EQ(AfxParseURL(c.url, service, server, object, port) != FALSE, c.service != kRefused);
    EXPECT_EQ(service, c.service);
    EXPECT_STREQ(server, c.server);
    EXPECT_STREQ(object, c.object);
    EXPECT_EQ(port, c.port);
  }
}

}  // namespace
