// Base directory, data INI name, text files, preferences and the DOM factory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "host/KXTool32.h"
#include "host/KXUtilities.h"
#include "host/Prefs.h"
#include "hostsim/HostSim.h"

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string Narrow(BSTR text) {
  std::string narrow;
  for (UINT i = 0; text != nullptr && i < SysStringLen(text); ++i) {
    narrow.push_back(static_cast<char>(text[i]));
  }
  return narrow;
}

struct VariantHolder {
  VariantHolder() { VariantInit(&value); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
  ~VariantHolder() { VariantClear(&value); }
  VARIANT value;
};

class HostServices : public ::testing::Test {
protected:
  void SetUp() override {
    hostsim::Reset();
    m_directory = std::filesystem::temp_directory_path() /
                  ("hostsim-services-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                   "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_directory);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(m_directory, ignored);
    hostsim::Reset();
  }
  std::filesystem::path m_directory;
};

TEST_F(HostServices, BaseDirectoryAlwaysEndsWithTheSeparator) {
  hostsim::SetBaseDirectory("profile");
  EXPECT_EQ(std::string(Util::ReDirectFile::GetReDirectFileInstance().GetDirectoryFromId(1)),
            std::string("profile") + kSeparator);
  hostsim::SetBaseDirectory(std::string("ready") + kSeparator);
  EXPECT_EQ(std::string(Util::ReDirectFile::GetReDirectFileInstance().GetDirectoryFromId(1)),
            std::string("ready") + kSeparator);
  EXPECT_STREQ(Util::ReDirectFile::GetReDirectFileInstance().GetDirectoryFromId(2), "");
  hostsim::Reset();
  const std::string initial(Util::ReDirectFile::GetReDirectFileInstance().GetDirectoryFromId(1));
  ASSERT_FALSE(initial.empty());
  EXPECT_EQ(initial.back(), kSeparator);
}

TEST_F(HostServices, DataIniFileNameIsNullUntilNamed) {
  EXPECT_EQ(GetKXDataIniFileName(), nullptr);
  hostsim::SetDataIniFileName("data.ini");
  EXPECT_STREQ(GetKXDataIniFileName(), "data.ini");
  hostsim::SetDataIniFileName(std::nullopt);
  EXPECT_EQ(GetKXDataIniFileName(), nullptr);
}

TEST_F(HostServices, ReadTextFileGivesTheWholeFileByteForByte) {
  const std::filesystem::path path = m_directory / "text.xml";
  const std::string content = "<a>\r\n\tline two \xE9\r\n</a>\n" + std::string(20000, 'x');
  std::ofstream(path, std::ios::binary) << content;
  Util::TString text("previous");
  const Util::Status status = FileSystem::ReadTextFile(Util::TString(path.string().c_str()), text);
  EXPECT_TRUE(status.Succeeded());
  EXPECT_EQ(std::string(text), content);
}

TEST_F(HostServices, ReadTextFileFailsForAMissingFileAndKeepsTheText) {
  Util::TString text("previous");
  const std::string missing = (m_directory / "missing.xml").string();
  const Util::Status status = FileSystem::ReadTextFile(Util::TString(missing.c_str()), text);
  EXPECT_TRUE(status.Failed());
  EXPECT_NE(std::string(status.GetStatusMessage()).find("missing.xml"), std::string::npos);
  EXPECT_STREQ(text, "previous");
}

TEST_F(HostServices, PreferenceStoreFillsTheVariantWithAStringCopy) {
  hostsim::SetPreference("UserprefCountry", "DE");
  CUser* user = GetCurrentUser();
  ASSERT_NE(user, nullptr);
  CPersistentAggregateValueManager* store = user->GetUsersAVM();
  ASSERT_NE(store, nullptr);
  for (int round = 0; round < 2; ++round) {  // the stored value survives being handed out
    VariantHolder value;
    value.value.vt = VT_BSTR;
    value.value.bstrVal = SysAllocString(nullptr);
    store->GetAggregateValue("UserprefCountry", &value.value);
    ASSERT_EQ(value.value.vt, VT_BSTR);
    EXPECT_EQ(Narrow(value.value.bstrVal), "DE");
  }
  VariantHolder unknown;
  unknown.value.vt = VT_I4;
  unknown.value.lVal = 12;
  EXPECT_TRUE(FAILED(store->GetAggregateValue("UserprefOther", &unknown.value)));
  EXPECT_EQ(unknown.value.vt, VT_I4);
  EXPECT_EQ(unknown.value.lVal, 12);
  EXPECT_EQ(hostsim::PreferenceRequests(),
            (std::vector<std::string>{"UserprefCountry", "UserprefCountry", "UserprefOther"}));
}

TEST_F(HostServices, PreferenceStoreCanHoldAnyVariant) {
  VariantHolder number;
  number.value.vt = VT_I4;
  number.value.lVal = 31;
  hostsim::SetPreferenceVariant("UserprefAge", number.value);
  VariantHolder value;
  GetCurrentUser()->GetUsersAVM()->GetAggregateValue("UserprefAge", &value.value);
  EXPECT_EQ(value.value.vt, VT_I4);
  EXPECT_EQ(value.value.lVal, 31);
}

TEST_F(HostServices, UserAndStoreCanBeAbsent) {
  hostsim::SetPreferenceStorePresent(false);
  ASSERT_NE(GetCurrentUser(), nullptr);
  EXPECT_EQ(GetCurrentUser()->GetUsersAVM(), nullptr);
  hostsim::SetCurrentUserPresent(false);
  EXPECT_EQ(GetCurrentUser(), nullptr);
}

struct ComApartment {
  ComApartment() { CoInitialize(nullptr); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() { CoUninitialize(); }
};

struct Releaser {
  void operator()(IUnknown* object) const { object->Release(); }
};

TEST_F(HostServices, DomFactoryCreatesADocumentOrFailsAsConfigured) {
  const ComApartment apartment;
  IXMLDOMDocument2* created = nullptr;
  ASSERT_EQ(Util::MSXML_XML::CreateDOMDocument(&created), S_OK);
  ASSERT_NE(created, nullptr);
  const std::unique_ptr<IXMLDOMDocument2, Releaser> document(created);
  EXPECT_EQ(hostsim::DomDocumentsCreated(), 1u);

  hostsim::SetDomFactoryResult(E_OUTOFMEMORY);
  IXMLDOMDocument2* none = reinterpret_cast<IXMLDOMDocument2*>(&created);
  EXPECT_EQ(Util::MSXML_XML::CreateDOMDocument(&none), E_OUTOFMEMORY);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(hostsim::DomDocumentsCreated(), 1u);
}

}  // namespace
