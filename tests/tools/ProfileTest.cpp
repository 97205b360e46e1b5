// corvane-host's profile folders: the accepted shapes of profile.json, one case of each kind
// of error with its whole message (fuzz/profile walks the rest of the input space), the checks
// of the folder and the folders `corvane-host init` writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "ParamName.h"
#include "ProfileReader.h"
#include "ProfileScaffold.h"
#include "TemporaryFolder.h"

namespace fs = std::filesystem;
using namespace corvane::host;
using corvane_test::ReadBytes;
using corvane_test::TemporaryFolder;

namespace {

// A message's paths with '/' only: on Windows the reader joins some parts with backslashes.
std::string Slashes(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

const VariableSpec* FindVariable(const Profile& profile, const std::string& name) {
  for (const auto& variable : profile.variables) {
    if (variable.name == name) return &variable;
  }
  return nullptr;
}

}  // namespace

// What each kind of value becomes in the request is checked end to end (end-to-end.sh, the
// value-kinds case); here the pieces of the host that no request shows, given, defaulted and
// absent.
TEST(ProfileJson, HostPiecesAreGivenDefaultedOrAbsent) {
  const ProfileLoad given = ParseProfileJson(R"({"launchApproval": false,
    "dataIniFile": "ini/../host.ini", "baseDirectory": "root", "evaluator": {"variables": {
      "v": {"tag": "uint16", "value": 3, "failure": {"code": -2, "throw": true}}}}})",
                                             "/p");
  ASSERT_TRUE(given.profile) << given.error;
  EXPECT_FALSE(given.profile->launchApproval);
  EXPECT_EQ(given.profile->dataIniFile, std::optional<fs::path>("/p/host.ini"));
  EXPECT_EQ(given.profile->baseDirectory, fs::path("/p/root"));
  const std::optional<FailureSpec>& failure = given.profile->variables.at(0).failure;
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->code, -2);
  EXPECT_TRUE(failure->throwException);

  const ProfileLoad defaults = ParseProfileJson("{}", "/p");
  ASSERT_TRUE(defaults.profile) << defaults.error;
  EXPECT_TRUE(defaults.profile->launchApproval);
  EXPECT_EQ(defaults.profile->dataIniFile, std::optional<fs::path>("/p/data.ini"));
  EXPECT_EQ(defaults.profile->evaluator, EvaluatorPresence::Evaluator);
  EXPECT_TRUE(defaults.profile->currentUser && defaults.profile->preferenceStore);

  const ProfileLoad absent =
      ParseProfileJson(R"({"dataIniFile": null, "evaluator": null, "currentUser": null})", "/p");
  ASSERT_TRUE(absent.profile) << absent.error;
  EXPECT_FALSE(absent.profile->dataIniFile);
  EXPECT_EQ(absent.profile->evaluator, EvaluatorPresence::None);
  EXPECT_FALSE(absent.profile->currentUser);

  const ProfileLoad other =
      ParseProfileJson(R"({"evaluator": "other", "currentUser": {"preferenceStore": null}})", "/p");
  ASSERT_TRUE(other.profile) << other.error;
  EXPECT_EQ(other.profile->evaluator, EvaluatorPresence::OtherObject);
  EXPECT_TRUE(other.profile->currentUser);
  EXPECT_FALSE(other.profile->preferenceStore);
}

// A complete folder with one thing changed: read (with a note when the placement configuration
// is missing, which `check` prints and `run` goes past), or the file in question and the
// problem, each kind of problem once; fuzz/profile walks the rest of the malformed profiles.
struct FolderCase {
  const char* name;
  const char* profileJson;
  const char* removed;  // relative to the folder ("": the folder itself); nullptr: nothing
  const char* file;     // relative to the folder
  const char* problem;  // empty: the profile reads
};

class ProfileFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(ProfileFolder, IsReadOrNamesTheFileAndTheProblem) {
  const TemporaryFolder temp;
  const fs::path& folder = temp.path;
  const fs::path placement = folder / "base" / kPlacementConfigurationPath;
  temp.Write("profile.json", GetParam().profileJson);
  temp.Write("data.ini", "");
  temp.Write(fs::path("base") / kPlacementConfigurationPath, "<TSMConfiguration/>");
  fs::create_directories(folder / "base" / kMessagesFolderPath);
  if (GetParam().removed) fs::remove_all(folder / GetParam().removed);

  const ProfileLoad load = ReadProfile(folder);
  if (*GetParam().problem) {
    EXPECT_FALSE(load.profile);
    const fs::path file = *GetParam().file ? folder / GetParam().file : folder;
    EXPECT_EQ(Slashes(load.error), Slashes(file.string() + ": " + GetParam().problem));
    return;
  }
  ASSERT_TRUE(load.profile) << load.error;
  EXPECT_EQ(load.profile->baseDirectory, folder / "base");
  std::vector<std::string> notes;
  if (!fs::exists(placement)) {
    notes.push_back(placement.string() +
                    ": placement configuration is missing; the module sends no request");
  }
  EXPECT_EQ(load.notes, notes);
}

FolderCase BadJson(const char* name, const char* json, const char* problem) {
  return {name, json, nullptr, "profile.json", problem};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileFolder,
    ::testing::Values(
        FolderCase{"Complete", "{}", nullptr, "", ""},
        FolderCase{"NoPlacementConfiguration", "{}", "base/components/PlacementConfiguration", "",
                   ""},
        FolderCase{"NoDataIniAndNoneNamed", R"({"dataIniFile": null})", "data.ini", "", ""},
        FolderCase{"NoFolder", "{}", "", "", "profile folder does not exist"},
        FolderCase{"NoProfileJson", "{}", "profile.json", "profile.json",
                   "cannot be read (missing?)"},
        FolderCase{"NoBaseDirectory", R"({"baseDirectory": "elsewhere"})", nullptr, "elsewhere",
                   "base directory (baseDirectory in profile.json) is not a folder"},
        FolderCase{"NoMessagesFolder", "{}", "base/components/messages", "base/components/messages",
                   "messages folder is missing"},
        FolderCase{"NoDataIni", "{}", "data.ini", "data.ini",
                   "data INI file (dataIniFile in profile.json) is missing; create it, even "
                   "empty, or set null"},
        BadJson("NotJson", "{\"launchApproval\": tru}",
                "parse error at line 1, column 23: syntax error while parsing value - invalid "
                "literal; last read: '\"launchApproval\": tru}'"),
        BadJson("RootArray", "[]", "the document: must be an object, not an array"),
        BadJson("UnknownTopKey", R"({"launchAproval": true})",
                "launchAproval: unknown key (known here: launchApproval, dataIniFile, "
                "baseDirectory, evaluator, currentUser)"),
        BadJson("IniEmpty", R"({"dataIniFile": ""})",
                "dataIniFile: must not be empty (null: the host names none)"),
        BadJson("EvaluatorText", R"({"evaluator": "none"})",
                "evaluator: the only text allowed is \"other\""),
        BadJson("ConditionText", R"({"evaluator": {"conditions": {"A.B": "yes"}}})",
                "evaluator.conditions[\"A.B\"]: must be true, false, null or an object "
                "{result, failure}, not a string"),
        BadJson("UnknownTag", R"({"evaluator": {"variables": {"v": {"tag": "int33"}}}})",
                "evaluator.variables.v.tag: unknown tag \"int33\""),
        BadJson("MissingTag", R"({"evaluator": {"variables": {"v": {"value": 1}}}})",
                "evaluator.variables.v.tag: is missing"),
        // The same texts as MissingTag and IntegerTooLarge, from checks of their own.
        BadJson("IntegerTagWithoutValue", R"({"evaluator": {"variables": {"v": {"tag": "long"}}}})",
                "evaluator.variables.v.value: is missing"),
        BadJson("NegativeRawTag", R"({"evaluator": {"variables": {"v": {"tag": -1}}}})",
                "evaluator.variables.v.tag: is out of range (0 to 4294967295)"),
        BadJson("EmptyTagWithValue",
                R"({"evaluator": {"variables": {"v": {"tag": "empty", "value": 0}}}})",
                "evaluator.variables.v.value: takes no value with this tag"),
        BadJson("IntegerTooLarge", R"({"evaluator": {"variables": {"v": 18446744073709551615}}})",
                "evaluator.variables.v: is out of range (-9223372036854775808 to "
                "9223372036854775807)"),
        BadJson("EmptyKeyQuoted", R"({"evaluator": {"variables": {"": null}}})",
                "evaluator.variables[\"\"]: must be a boolean, number, string or an object "
                "{tag, value, failure}, not null"),
        BadJson("PreferenceNumber", R"({"currentUser": {"preferenceStore": {"U": 1}}})",
                "currentUser.preferenceStore.U: must be a string, not an integer")),
    ParamName());

// `init` writes a folder that reads back with each value in its place and the URL and names
// escaped in the placement configuration; a folder that is not empty is refused unless forced,
// and forcing keeps the files that are not the profile's. A value may hold the separators; a
// definition needs a name.
TEST(Scaffold, WritesAProfileThatReadsBackAndKeepsWhatElseIsInItsFolder) {
  const TemporaryFolder temp;
  ScaffoldRequest request{temp.path, "http://127.0.0.1:1/m?a=1&b=\"2\"", {}, false};
  for (const char* definition : {"CheckSum:cs=1234", "App.Version=27", "Company.Name:co=A&B=C:D",
                                 "Userpref_Region:region=north", "A<B:flag", "Bare"}) {
    request.variables.push_back(*ParseAceVariableArgument(definition));
  }
  EXPECT_FALSE(ParseAceVariableArgument(":cs"));
  temp.Write("keep.txt", "mine");
  EXPECT_EQ(ScaffoldProfile(request),
            temp.path.string() + ": folder is not empty (--force rewrites the profile files)");
  EXPECT_FALSE(fs::exists(temp.path / "profile.json"));
  request.overwrite = true;
  ASSERT_EQ(ScaffoldProfile(request), "");
  EXPECT_EQ(ReadBytes(temp.path / "keep.txt"), "mine");

  // end-to-end.sh runs a scaffolded profile: its values and condition reach the request.
  const ProfileLoad load = ReadProfile(temp.path);
  ASSERT_TRUE(load.profile) << load.error;
  const Profile& profile = *load.profile;
  ASSERT_EQ(profile.variables.size(), 2u);
  const VariableSpec* company = FindVariable(profile, "Company.Name");
  ASSERT_NE(company, nullptr);
  EXPECT_EQ(company->text, std::optional<std::string>("A&B=C:D"));
  ASSERT_EQ(profile.preferences.size(), 1u);
  EXPECT_EQ(profile.preferences[0].value, "north");

  EXPECT_THAT(ReadBytes(temp.path / "data.ini").value_or(""),
              ::testing::AllOf(::testing::HasSubstr("[WEBTSM]"), ::testing::HasSubstr("WEBTSMON=1"),
                               ::testing::HasSubstr("CheckSum=1234")));
  const std::string xml = ReadBytes(temp.path / "base" / kPlacementConfigurationPath).value_or("");
  EXPECT_THAT(xml, ::testing::HasSubstr("url=\"http://127.0.0.1:1/m?a=1&amp;b=&quot;2&quot;\">"));
  EXPECT_THAT(xml, ::testing::HasSubstr("<AceVariable name=\"App.Version\"/>"));
  EXPECT_THAT(xml, ::testing::HasSubstr("<AceVariable name=\"A&lt;B\" parameterName=\"flag\"/>"));
  EXPECT_LT(xml.find("CheckSum"), xml.find("A&lt;B"));
}
