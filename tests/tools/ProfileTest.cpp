// corvane-host's profile folders: reading a good one, every kind of bad one with its
// message, and the folders `corvane-host init` writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FileText.h"
#include "ParamName.h"
#include "ProfileReader.h"
#include "ProfileScaffold.h"

namespace fs = std::filesystem;
using namespace corvane::host;

namespace {

void WriteAll(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    m_path = fs::temp_directory_path() / ("corvane-profile-" + name);
    fs::remove_all(m_path);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
  }
  const fs::path& Path() const { return m_path; }

 private:
  fs::path m_path;
};

// A complete profile folder with the given profile.json.
void WriteProfileFolder(const fs::path& folder, const std::string& json) {
  WriteAll(folder / "profile.json", json);
  WriteAll(folder / "data.ini", "[WEBTSM]\nWEBTSMON=1\n");
  WriteAll(folder / "base/components/PlacementConfiguration/TSMCnfg.XML", "<TSMConfiguration/>");
  fs::create_directories(folder / "base/components/messages");
}

constexpr const char* kFullProfile = R"({
  "launchApproval": false,
  "dataIniFile": "ini/host.ini",
  "baseDirectory": "root",
  "evaluator": {
    "conditions": {
      "Browser.IsConnectionActive": {"result": null, "failure": {"code": 7, "message": "offline"}},
      "Other": false
    },
    "variables": {
      "App.Version": 27,
      "Big": 5000000000,
      "Ratio": 2.9,
      "Flag": true,
      "Name": "Zoë",
      "Wide": {"tag": "wideString", "value": "Straße"},
      "NullText": {"tag": "string", "value": null},
      "Nothing": {"tag": "empty"},
      "Odd": {"tag": 4660, "value": 5},
      "Failing": {"tag": "uint16", "value": 3, "failure": {"code": -2, "throw": true}}
    }
  },
  "currentUser": {"preferenceStore": {"Userpref_Region": "north"}}
})";

const VariableSpec* FindVariable(const Profile& profile, const std::string& name) {
  for (const auto& variable : profile.variables) {
    if (variable.name == name) return &variable;
  }
  return nullptr;
}

}  // namespace

TEST(ProfileJson, FullProfileGivesEveryHostValue) {
  const ProfileLoad load = ParseProfileJson(kFullProfile, "/p");
  ASSERT_TRUE(load.profile) << load.error;
  const Profile& profile = *load.profile;
  EXPECT_FALSE(profile.launchApproval);
  ASSERT_TRUE(profile.dataIniFile);
  EXPECT_EQ(*profile.dataIniFile, fs::path("/p/ini/host.ini").lexically_normal());
  EXPECT_EQ(profile.baseDirectory, fs::path("/p/root").lexically_normal());
  EXPECT_EQ(profile.evaluator, EvaluatorPresence::Evaluator);

  ASSERT_EQ(profile.conditions.size(), 2u);
  const ConditionSpec& active = profile.conditions[0];
  EXPECT_EQ(active.name, "Browser.IsConnectionActive");
  EXPECT_FALSE(active.result);
  ASSERT_TRUE(active.failure);
  EXPECT_EQ(active.failure->code, 7);
  EXPECT_EQ(active.failure->message, "offline");
  EXPECT_FALSE(active.failure->throwException);
  EXPECT_EQ(profile.conditions[1].result, std::optional<bool>(false));

  using Kind = VariableSpec::Kind;
  struct Expected {
    const char* name;
    Kind kind;
    std::uint32_t tag;
  };
  for (const Expected& e :
       {Expected{"App.Version", Kind::Integer, 0x0103}, Expected{"Big", Kind::Integer, 0x0104},
        Expected{"Ratio", Kind::Double, 0x0401}, Expected{"Flag", Kind::Bool, 0x0801},
        Expected{"Name", Kind::String, 0x2001}, Expected{"Wide", Kind::WideString, 0x2002},
        Expected{"NullText", Kind::String, 0x2001}, Expected{"Nothing", Kind::None, 0x0000},
        Expected{"Odd", Kind::Raw, 4660}, Expected{"Failing", Kind::Integer, 0x0202}}) {
    const VariableSpec* variable = FindVariable(profile, e.name);
    ASSERT_NE(variable, nullptr) << e.name;
    EXPECT_EQ(variable->kind, e.kind) << e.name;
    EXPECT_EQ(variable->tag, e.tag) << e.name;
  }
  EXPECT_EQ(FindVariable(profile, "App.Version")->integer, 27);
  EXPECT_EQ(FindVariable(profile, "Big")->integer, 5000000000);
  EXPECT_DOUBLE_EQ(FindVariable(profile, "Ratio")->real, 2.9);
  EXPECT_EQ(FindVariable(profile, "Name")->text, std::optional<std::string>("Zo\xC3\xAB"));
  EXPECT_FALSE(FindVariable(profile, "NullText")->text);
  EXPECT_EQ(FindVariable(profile, "Odd")->integer, 5);
  ASSERT_TRUE(FindVariable(profile, "Failing")->failure);
  EXPECT_TRUE(FindVariable(profile, "Failing")->failure->throwException);
  EXPECT_EQ(FindVariable(profile, "Failing")->failure->code, -2);

  EXPECT_TRUE(profile.currentUser);
  EXPECT_TRUE(profile.preferenceStore);
  ASSERT_EQ(profile.preferences.size(), 1u);
  EXPECT_EQ(profile.preferences[0].name, "Userpref_Region");
  EXPECT_EQ(profile.preferences[0].value, "north");
}

TEST(ProfileJson, EmptyObjectGivesTheDefaults) {
  const ProfileLoad load = ParseProfileJson("{}", "/p");
  ASSERT_TRUE(load.profile) << load.error;
  EXPECT_TRUE(load.profile->launchApproval);
  EXPECT_EQ(load.profile->dataIniFile, std::optional<fs::path>(fs::path("/p/data.ini")));
  EXPECT_EQ(load.profile->baseDirectory, fs::path("/p/base"));
  EXPECT_EQ(load.profile->evaluator, EvaluatorPresence::Evaluator);
  EXPECT_TRUE(load.profile->currentUser);
  EXPECT_TRUE(load.profile->preferenceStore);
}

TEST(ProfileJson, AbsentPiecesOfTheHost) {
  const ProfileLoad load =
      ParseProfileJson(R"({"dataIniFile": null, "evaluator": null, "currentUser": null})", "/p");
  ASSERT_TRUE(load.profile) << load.error;
  EXPECT_FALSE(load.profile->dataIniFile);
  EXPECT_EQ(load.profile->evaluator, EvaluatorPresence::None);
  EXPECT_FALSE(load.profile->currentUser);

  const ProfileLoad other =
      ParseProfileJson(R"({"evaluator": "other", "currentUser": {"preferenceStore": null}})", "/p");
  ASSERT_TRUE(other.profile) << other.error;
  EXPECT_EQ(other.profile->evaluator, EvaluatorPresence::OtherObject);
  EXPECT_TRUE(other.profile->currentUser);
  EXPECT_FALSE(other.profile->preferenceStore);
}

struct BadJsonCase {
  const char* name;
  const char* json;
  const char* message;  // the whole message
};

class BadProfileJson : public ::testing::TestWithParam<BadJsonCase> {};

TEST_P(BadProfileJson, IsRejectedWithWhereAndWhat) {
  const ProfileLoad load = ParseProfileJson(GetParam().json, "/p");
  EXPECT_FALSE(load.profile);
  EXPECT_EQ(load.error, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadProfileJson,
    ::testing::Values(
        BadJsonCase{"NotJson", "{\"launchApproval\": tru}",
                    "parse error at line 1, column 23: syntax error while parsing value - invalid "
                    "literal; last read: '\"launchApproval\": tru}'"},
        BadJsonCase{"RootArray", "[]", "the document: must be an object, not an array"},
        BadJsonCase{"UnknownTopKey", R"({"launchAproval": true})",
                    "launchAproval: unknown key (known here: launchApproval, dataIniFile, "
                    "baseDirectory, evaluator, currentUser)"},
        BadJsonCase{"ApprovalText", R"({"launchApproval": "yes"})",
                    "launchApproval: must be true or false, not a string"},
        BadJsonCase{"IniNumber", R"({"dataIniFile": 5})",
                    "dataIniFile: must be a string, not an integer"},
        BadJsonCase{"IniEmpty", R"({"dataIniFile": ""})",
                    "dataIniFile: must not be empty (null: the host names none)"},
        BadJsonCase{"EvaluatorText", R"({"evaluator": "none"})",
                    "evaluator: the only text allowed is \"other\""},
        BadJsonCase{"EvaluatorNumber", R"({"evaluator": 3})",
                    "evaluator: must be null, \"other\" or an object, not an integer"},
        BadJsonCase{"ConditionsArray", R"({"evaluator": {"conditions": []}})",
                    "evaluator.conditions: must be an object, not an array"},
        BadJsonCase{"ConditionText",
                    R"({"evaluator": {"conditions": {"Browser.IsConnectionActive": "yes"}}})",
                    "evaluator.conditions[\"Browser.IsConnectionActive\"]: must be true, false, "
                    "null or an object {result, failure}, not a string"},
        BadJsonCase{"FailureCodeText",
                    R"({"evaluator": {"conditions": {"c": {"failure": {"code": "7"}}}}})",
                    "evaluator.conditions.c.failure.code: must be an integer, not a string"},
        BadJsonCase{"FailureUnknownKey",
                    R"({"evaluator": {"conditions": {"c": {"failure": {"reason": "x"}}}}})",
                    "evaluator.conditions.c.failure.reason: unknown key (known here: code, "
                    "message, throw)"},
        BadJsonCase{
            "UnknownTag",
            R"({"evaluator": {"variables": {"App.Version": {"tag": "int33", "value": 1}}}})",
            "evaluator.variables[\"App.Version\"].tag: unknown tag \"int33\""},
        BadJsonCase{"MissingTag", R"({"evaluator": {"variables": {"v": {"value": 1}}}})",
                    "evaluator.variables.v.tag: is missing"},
        BadJsonCase{"IntegerTagWithText",
                    R"({"evaluator": {"variables": {"v": {"tag": "int32", "value": "27"}}}})",
                    "evaluator.variables.v.value: must be an integer, not a string"},
        BadJsonCase{"IntegerTagWithFraction",
                    R"({"evaluator": {"variables": {"v": {"tag": "int8", "value": 1.5}}}})",
                    "evaluator.variables.v.value: must be an integer, not a number"},
        BadJsonCase{"IntegerTagWithoutValue",
                    R"({"evaluator": {"variables": {"v": {"tag": "long"}}}})",
                    "evaluator.variables.v.value: is missing"},
        BadJsonCase{"EmptyTagWithValue",
                    R"({"evaluator": {"variables": {"v": {"tag": "empty", "value": 0}}}})",
                    "evaluator.variables.v.value: takes no value with this tag"},
        BadJsonCase{"BoolTagWithNumber",
                    R"({"evaluator": {"variables": {"v": {"tag": "bool", "value": 1}}}})",
                    "evaluator.variables.v.value: must be true or false, not an integer"},
        BadJsonCase{"NegativeRawTag", R"({"evaluator": {"variables": {"v": {"tag": -1}}}})",
                    "evaluator.variables.v.tag: is out of range (0 to 4294967295)"},
        BadJsonCase{"VariableNull", R"({"evaluator": {"variables": {"v": null}}})",
                    "evaluator.variables.v: must be a boolean, number, string or an object "
                    "{tag, value, failure}, not null"},
        BadJsonCase{"IntegerTooLarge",
                    R"({"evaluator": {"variables": {"v": 18446744073709551615}}})",
                    "evaluator.variables.v: is out of range (-9223372036854775808 to "
                    "9223372036854775807)"},
        BadJsonCase{"UserTrue", R"({"currentUser": true})",
                    "currentUser: must be null or an object {preferenceStore}, not a boolean"},
        BadJsonCase{"PreferenceNumber",
                    R"({"currentUser": {"preferenceStore": {"Userpref_A": 1}}})",
                    "currentUser.preferenceStore.Userpref_A: must be a string, not an integer"},
        BadJsonCase{"EmptyKeyQuoted", R"({"evaluator": {"variables": {"": []}}})",
                    "evaluator.variables[\"\"]: must be a boolean, number, string or an object "
                    "{tag, value, failure}, not an array"}),
    ParamName());

class ProfileFolder : public ::testing::Test {
 protected:
  TempFolder m_temp;
  fs::path Folder() const { return m_temp.Path(); }
  std::string Error() const { return ReadProfile(Folder()).error; }
};

TEST_F(ProfileFolder, CompleteFolderIsRead) {
  WriteProfileFolder(Folder(), "{}");
  const ProfileLoad load = ReadProfile(Folder());
  ASSERT_TRUE(load.profile) << load.error;
  EXPECT_EQ(load.profile->baseDirectory, Folder() / "base");
}

TEST_F(ProfileFolder, MissingFolder) {
  EXPECT_EQ(Error(), Folder().string() + ": profile folder does not exist");
}

TEST_F(ProfileFolder, MissingProfileJson) {
  WriteProfileFolder(Folder(), "{}");
  fs::remove(Folder() / "profile.json");
  EXPECT_EQ(Error(), (Folder() / "profile.json").string() + ": cannot be read (missing?)");
}

TEST_F(ProfileFolder, MalformedProfileJsonNamesTheFile) {
  WriteProfileFolder(Folder(), "{\n  \"evaluator\": {\"variables\": {\"v\": {\"tag\": \"x\"}}}\n}");
  EXPECT_EQ(Error(), (Folder() / "profile.json").string() +
                         ": evaluator.variables.v.tag: unknown tag \"x\"");
}

TEST_F(ProfileFolder, MissingBaseDirectory) {
  WriteProfileFolder(Folder(), R"({"baseDirectory": "elsewhere"})");
  EXPECT_EQ(Error(), (Folder() / "elsewhere").string() +
                         ": base directory (baseDirectory in profile.json) is not a folder");
}

// A host may have no placement configuration: the profile loads, with a note that says so.
TEST_F(ProfileFolder, MissingPlacementConfigurationIsANoteNotAnError) {
  WriteProfileFolder(Folder(), "{}");
  const fs::path placement = Folder() / "base" / "components/PlacementConfiguration/TSMCnfg.XML";
  fs::remove(placement);
  const ProfileLoad load = ReadProfile(Folder());
  ASSERT_TRUE(load.profile) << load.error;
  EXPECT_THAT(load.notes, ::testing::ElementsAre(placement.string() +
                                                 ": placement configuration is missing; the "
                                                 "module sends no request"));
}

TEST_F(ProfileFolder, MissingMessagesFolder) {
  WriteProfileFolder(Folder(), "{}");
  fs::remove(Folder() / "base/components/messages");
  EXPECT_EQ(Error(),
            (Folder() / "base" / "components/messages").string() + ": messages folder is missing");
}

TEST_F(ProfileFolder, MissingDataIniUnlessTheHostNamesNone) {
  WriteProfileFolder(Folder(), "{}");
  fs::remove(Folder() / "data.ini");
  EXPECT_EQ(Error(), (Folder() / "data.ini").string() +
                         ": data INI file (dataIniFile in profile.json) is missing; create it, "
                         "even empty, or set null");
  WriteAll(Folder() / "profile.json", R"({"dataIniFile": null})");
  EXPECT_EQ(Error(), "");
}

struct VariableArgumentCase {
  const char* name;
  const char* definition;
  std::optional<std::string> variable;
  std::optional<std::string> parameter;
  std::optional<std::string> value;
};

class AceVariableArgumentTest : public ::testing::TestWithParam<VariableArgumentCase> {};

TEST_P(AceVariableArgumentTest, SplitsNameParameterAndValue) {
  const auto argument = ParseAceVariableArgument(GetParam().definition);
  ASSERT_EQ(argument.has_value(), GetParam().variable.has_value());
  if (!argument) return;
  EXPECT_EQ(argument->name, *GetParam().variable);
  EXPECT_EQ(argument->parameterName, GetParam().parameter);
  EXPECT_EQ(argument->value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Definitions, AceVariableArgumentTest,
    ::testing::Values(
        VariableArgumentCase{"NameOnly", "CheckSum", "CheckSum", std::nullopt, std::nullopt},
        VariableArgumentCase{"WithParameter", "CheckSum:cs", "CheckSum", "cs", std::nullopt},
        VariableArgumentCase{"WithValue", "App.Version=27", "App.Version", std::nullopt, "27"},
        VariableArgumentCase{"All", "Userpref_Region:region=north", "Userpref_Region", "region",
                             "north"},
        VariableArgumentCase{"ValueWithSeparators", "Company:co=A&B=C:D", "Company", "co",
                             "A&B=C:D"},
        VariableArgumentCase{"EmptyParameterAndValue", "x:=", "x", "", ""},
        VariableArgumentCase{"EmptyName", ":cs", std::nullopt, std::nullopt, std::nullopt},
        VariableArgumentCase{"Empty", "", std::nullopt, std::nullopt, std::nullopt}),
    ParamName());

TEST(PlacementConfiguration, ListsTheVariablesWithEscapedAttributes) {
  const std::string xml = PlacementConfigurationXml(
      "http://127.0.0.1:1/m?a=1&b=\"2\"",
      {{"CheckSum", "cs", std::nullopt}, {"A<B", std::nullopt, std::string("1")}});
  EXPECT_NE(
      xml.find(
          "<WebTSMPlacementConfiguration url=\"http://127.0.0.1:1/m?a=1&amp;b=&quot;2&quot;\">"),
      std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<AceVariable name=\"CheckSum\" parameterName=\"cs\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<AceVariable name=\"A&lt;B\"/>"), std::string::npos);
  EXPECT_LT(xml.find("CheckSum"), xml.find("A&lt;B"));
}

class Scaffold : public ::testing::Test {
 protected:
  ScaffoldRequest Request() const {
    ScaffoldRequest request;
    request.folder = m_temp.Path();
    request.url = "http://127.0.0.1:8080/messages";
    for (const char* definition : {"CheckSum:cs=1234", "App.Version=27", "Company.Name:co=A&B",
                                   "Userpref_Region:region=north", "Some.Flag:flag"}) {
      request.variables.push_back(*ParseAceVariableArgument(definition));
    }
    return request;
  }
  TempFolder m_temp;
};

TEST_F(Scaffold, WritesAProfileThatReadsBackWithEachValueInItsPlace) {
  ASSERT_EQ(ScaffoldProfile(Request()), "");
  const ProfileLoad load = ReadProfile(m_temp.Path());
  ASSERT_TRUE(load.profile) << load.error;
  const Profile& profile = *load.profile;

  ASSERT_EQ(profile.conditions.size(), 1u);
  EXPECT_EQ(profile.conditions[0].name, "Browser.IsConnectionActive");
  EXPECT_EQ(profile.conditions[0].result, std::optional<bool>(true));
  ASSERT_EQ(profile.variables.size(), 2u);
  const VariableSpec* version = FindVariable(profile, "App.Version");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->kind, VariableSpec::Kind::Integer);
  EXPECT_EQ(version->integer, 27);
  const VariableSpec* company = FindVariable(profile, "Company.Name");
  ASSERT_NE(company, nullptr);
  EXPECT_EQ(company->text, std::optional<std::string>("A&B"));
  ASSERT_EQ(profile.preferences.size(), 1u);
  EXPECT_EQ(profile.preferences[0].value, "north");

  const std::string ini = ReadFileText(m_temp.Path() / "data.ini");
  EXPECT_NE(ini.find("[WEBTSM]"), std::string::npos);
  EXPECT_NE(ini.find("WEBTSMON=1"), std::string::npos);
  EXPECT_NE(ini.find("CheckSum=1234"), std::string::npos);
  const std::string placement =
      ReadFileText(m_temp.Path() / "base/components/PlacementConfiguration/TSMCnfg.XML");
  EXPECT_NE(placement.find("<AceVariable name=\"Some.Flag\" parameterName=\"flag\"/>"),
            std::string::npos);
  EXPECT_TRUE(fs::is_directory(m_temp.Path() / "base/components/messages"));
}

TEST_F(Scaffold, RefusesAFolderThatIsNotEmptyUnlessForced) {
  ScaffoldRequest request = Request();
  WriteAll(m_temp.Path() / "keep.txt", "mine");
  EXPECT_EQ(ScaffoldProfile(request),
            m_temp.Path().string() + ": folder is not empty (--force rewrites the profile files)");
  EXPECT_FALSE(fs::exists(m_temp.Path() / "profile.json"));
  request.overwrite = true;
  EXPECT_EQ(ScaffoldProfile(request), "");
  EXPECT_EQ(ReadFileText(m_temp.Path() / "keep.txt"), "mine");
  EXPECT_TRUE(ReadProfile(m_temp.Path()).profile);
}
