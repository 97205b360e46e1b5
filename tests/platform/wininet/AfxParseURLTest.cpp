// The MFC URL parse the module feeds its connection and request with.
#include <gtest/gtest.h>

#include <string>

#include "platform/AfxInet.h"

namespace {

struct UrlCase {
  const char* name;
  const char* url;
  DWORD service;
  const char* server;
  const char* object;
  INTERNET_PORT port;
};

class ParsesUrl : public testing::TestWithParam<UrlCase> {};

TEST_P(ParsesUrl, IntoServiceServerObjectAndPort) {
  const UrlCase& c = GetParam();
  DWORD service = 0;
  CStringA server;
  CStringA object;
  INTERNET_PORT port = 0;
  ASSERT_TRUE(AfxParseURL(c.url, service, server, object, port));
  EXPECT_EQ(service, c.service);
  EXPECT_STREQ(server.GetString(), c.server);
  EXPECT_STREQ(object.GetString(), c.object);
  EXPECT_EQ(port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, ParsesUrl,
    testing::Values(UrlCase{"HttpDefaultPort", "http://tsm.example.com/svc/get.aspx?a=1&b=2",
                            AFX_INET_SERVICE_HTTP, "tsm.example.com", "/svc/get.aspx?a=1&b=2", 80},
                    UrlCase{"HttpExplicitPort", "http://127.0.0.1:8080/x", AFX_INET_SERVICE_HTTP,
                            "127.0.0.1", "/x", 8080},
                    UrlCase{"HttpsDefaultPort", "https://example.com/", AFX_INET_SERVICE_HTTPS,
                            "example.com", "/", 443},
                    UrlCase{"NoPathGivesSlash", "http://example.com", AFX_INET_SERVICE_HTTP,
                            "example.com", "/", 80},
                    UrlCase{"QueryWithoutPath", "http://example.com?q=1", AFX_INET_SERVICE_HTTP,
                            "example.com", "/?q=1", 80},
                    UrlCase{"FragmentDropped", "http://example.com/a?b=1#top",
                            AFX_INET_SERVICE_HTTP, "example.com", "/a?b=1", 80},
                    UrlCase{"UserInfoSkipped", "http://user:pw@example.com:81/",
                            AFX_INET_SERVICE_HTTP, "example.com", "/", 81},
                    UrlCase{"SchemeCaseIgnored", "HTTP://Example.com/Path", AFX_INET_SERVICE_HTTP,
                            "Example.com", "/Path", 80},
                    UrlCase{"Ipv6Literal", "http://[::1]:8081/v6", AFX_INET_SERVICE_HTTP, "::1",
                            "/v6", 8081},
                    UrlCase{"SurroundingBlanks", "  http://example.com/a  ", AFX_INET_SERVICE_HTTP,
                            "example.com", "/a", 80},
                    UrlCase{"Ftp", "ftp://files.example.com/pub", AFX_INET_SERVICE_FTP,
                            "files.example.com", "/pub", 21}),
    [](const auto& test) { return std::string(test.param.name); });

class RejectsUrl : public testing::TestWithParam<const char*> {};

TEST_P(RejectsUrl, WithUnknownServiceAndEmptyNames) {
  DWORD service = AFX_INET_SERVICE_HTTP;
  CStringA server("previous.example.com");
  CStringA object("/previous");
  INTERNET_PORT port = 1234;
  EXPECT_FALSE(AfxParseURL(GetParam(), service, server, object, port));
  EXPECT_EQ(service, AFX_INET_SERVICE_UNK);
  EXPECT_TRUE(server.IsEmpty());
  EXPECT_TRUE(object.IsEmpty());
  EXPECT_EQ(port, 1234);
}

INSTANTIATE_TEST_SUITE_P(Urls, RejectsUrl,
                         testing::Values(nullptr, "", "   ", "example.com/path",
                                         "http:/example.com", "http://", "http:///path",
                                         "http://host:0/", "http://host:65536/", "http://host:8x/",
                                         "http://[::1/", "http://ho st/", "mailto:a@b.c",
                                         "unknown://host/", "://host/"));

}  // namespace
