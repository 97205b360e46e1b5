// Secure defaults: a document type declaration cannot make the parser read a file or expand
// entities. Ours refuses the declaration as a parse error; Wine's MSXML loads it but leaves
// external entities unexpanded. On Linux the test also watches the file for any open.
#include <filesystem>
#include <fstream>
#include <string>

#include "DomFixture.h"

#ifndef _WIN32
#  include <sys/inotify.h>
#  include <unistd.h>
#endif

namespace dom_test {
namespace {

constexpr std::string_view kSecret = "CORVANE-SECRET-CONTENT";

// A file that a parser resolving external entities would read.
class SecretFile {
public:
  SecretFile()
      : m_path(std::filesystem::temp_directory_path() /
               ("corvane-msxml-secret-" + std::to_string(::testing::UnitTest::GetInstance()
                                                             ->random_seed()) +
                ".txt")) {
    std::ofstream(m_path) << kSecret;
  }
  SecretFile(const SecretFile&) = delete;
  SecretFile& operator=(const SecretFile&) = delete;
  ~SecretFile() {
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
  }

  const std::filesystem::path& Path() const { return m_path; }
  std::string Url() const { return "file:///" + m_path.generic_string(); }

private:
  std::filesystem::path m_path;
};

#ifndef _WIN32
// Reports whether anything opened a file after the watch began.
class OpenWatch {
public:
  explicit OpenWatch(const std::filesystem::path& path)
      : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    EXPECT_GE(m_fd, 0);
    EXPECT_GE(inotify_add_watch(m_fd, path.c_str(), IN_OPEN | IN_ACCESS), 0);
  }
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;
  ~OpenWatch() { close(m_fd); }

  bool SawAccess() const {
    alignas(inotify_event) char events[4096];
    return read(m_fd, events, sizeof events) > 0;
  }

private:
  int m_fd;
};
#endif

struct HostileCase {
  const char* name;
  const char* before;  // the text before the file's URL
  const char* after;   // the text after it
};

class HostileDocument : public DomTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileDocument, NeitherReadsTheFileNorShowsItsContent) {
  const SecretFile secret;
  const std::string text = GetParam().before + secret.Url() + GetParam().after;
#ifndef _WIN32
  const OpenWatch watch(secret.Path());
#endif
  const HRESULT hr = Load(text);
  if (kWine) {
    if (hr == S_OK) {
      EXPECT_EQ(Xml(m_document).find(kSecret), std::string::npos);
      EXPECT_EQ(Text(m_document).find(kSecret), std::string::npos);
    }
    return;
  }
  EXPECT_EQ(hr, S_FALSE);
  Bstr reason;
  EXPECT_EQ(ParseError()->get_reason(reason.out()), S_OK);
  EXPECT_NE(reason.Utf8().find("DTD"), std::string::npos) << reason.Utf8();
#ifndef _WIN32
  EXPECT_FALSE(watch.SawAccess());
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Doctypes, HostileDocument,
    ::testing::Values(
        HostileCase{"ExternalGeneralEntity", "<!DOCTYPE a [<!ENTITY x SYSTEM \"", "\">]><a>&x;</a>"},
        HostileCase{"ExternalSubset", "<!DOCTYPE a SYSTEM \"", "\"><a/>"},
        HostileCase{"ExternalParameterEntity", "<!DOCTYPE a [<!ENTITY % p SYSTEM \"",
                    "\"> %p;]><a/>"},
        HostileCase{"EntityInAttribute", "<!DOCTYPE a [<!ENTITY x SYSTEM \"",
                    "\">]><a v=\"&x;\"/>"}),
    CaseName());

// Nested internal entities would expand to a billion characters if a DTD were honoured.
TEST_F(DomTest, EntityExpansionBombIsRefusedOrBounded) {
  const char* bomb =
      "<!DOCTYPE a [<!ENTITY l \"lollollollol\">"
      "<!ENTITY l1 \"&l;&l;&l;&l;&l;&l;&l;&l;&l;&l;\">"
      "<!ENTITY l2 \"&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;\">"
      "<!ENTITY l3 \"&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;\">"
      "<!ENTITY l4 \"&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;\">"
      "<!ENTITY l5 \"&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;\">"
      "<!ENTITY l6 \"&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;\">"
      "<!ENTITY l7 \"&l6;&l6;&l6;&l6;&l6;&l6;&l6;&l6;&l6;&l6;\">"
      "<!ENTITY l8 \"&l7;&l7;&l7;&l7;&l7;&l7;&l7;&l7;&l7;&l7;\">]><a>&l8;</a>";
  const HRESULT hr = Load(bomb);
  if (!kWine) {
    EXPECT_EQ(hr, S_FALSE);
  }
  if (hr == S_OK) {
    EXPECT_LT(Text(m_document).size(), 1'000'000U);
  }
}

}  // namespace
}  // namespace dom_test
