#include "ProfileReader.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

namespace corvane::host {
namespace {

using nlohmann::json;

// A problem in one place of profile.json; `where` is the path to the value.
struct ProfileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& where, const std::string& problem) {
  throw ProfileError(where + ": " + problem);
}

std::string Member(const std::string& where, const std::string& key) {
  // A key with control characters is quoted as JSON, which escapes them: a raw NUL would end
  // the message where the error text is read as a C string.
  const bool plain = !key.empty() && key.find_first_of(".[]\" ") == std::string::npos &&
                     std::none_of(key.begin(), key.end(), [](char c) {
                       return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
                     });
  if (plain) return where.empty() ? key : where + "." + key;
  return where + "[" + json(key).dump() + "]";
}

const char* TypeName(const json& value) {
  switch (value.type()) {
    case json::value_t::null:
      return "null";
    case json::value_t::boolean:
      return "a boolean";
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
      return "an integer";
    case json::value_t::number_float:
      return "a number";
    case json::value_t::string:
      return "a string";
    case json::value_t::array:
      return "an array";
    case json::value_t::object:
      return "an object";
    default:
      return "an unsupported value";
  }
}

[[noreturn]] void WrongType(const std::string& where, const json& value, const char* expected) {
  Fail(where, std::string("must be ") + expected + ", not " + TypeName(value));
}

void CheckKeys(const json& object, const std::string& where,
               std::initializer_list<const char*> known) {
  for (const auto& [key, value] : object.items()) {
    bool found = false;
    for (const char* name : known) found = found || key == name;
    if (!found) {
      std::string list;
      for (const char* name : known) list += std::string(list.empty() ? "" : ", ") + name;
      Fail(Member(where, key), "unknown key (known here: " + list + ")");
    }
  }
}

const json* Find(const json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

bool ReadBool(const json& value, const std::string& where) {
  if (!value.is_boolean()) WrongType(where, value, "true or false");
  return value.get<bool>();
}

std::string ReadString(const json& value, const std::string& where) {
  if (!value.is_string()) WrongType(where, value, "a string");
  return value.get<std::string>();
}

std::int64_t ReadInteger(const json& value, const std::string& where, std::int64_t low,
                         std::int64_t high) {
  if (value.is_number_unsigned()) {
    if (value.get<std::uint64_t>() > static_cast<std::uint64_t>(high)) {
      Fail(where, "is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    }
    return static_cast<std::int64_t>(value.get<std::uint64_t>());
  }
  if (!value.is_number_integer()) WrongType(where, value, "an integer");
  const auto number = value.get<std::int64_t>();
  if (number < low || number > high) {
    Fail(where, "is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
  }
  return number;
}

FailureSpec ReadFailure(const json& value, const std::string& where) {
  if (!value.is_object()) WrongType(where, value, "an object {code, message, throw}");
  CheckKeys(value, where, {"code", "message", "throw"});
  FailureSpec failure;
  if (const json* code = Find(value, "code")) {
    failure.code = static_cast<long>(ReadInteger(*code, Member(where, "code"),
                                                 std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
  }
  if (const json* message = Find(value, "message")) {
    failure.message = ReadString(*message, Member(where, "message"));
  }
  if (const json* raise = Find(value, "throw")) {
    failure.throwException = ReadBool(*raise, Member(where, "throw"));
  }
  return failure;
}

std::optional<bool> ReadOptionalBool(const json& value, const std::string& where) {
  if (value.is_null()) return std::nullopt;
  if (!value.is_boolean()) WrongType(where, value, "true, false or null");
  return value.get<bool>();
}

ConditionSpec ReadCondition(const std::string& name, const json& value, const std::string& where) {
  ConditionSpec condition;
  condition.name = name;
  if (value.is_boolean() || value.is_null()) {
    condition.result = ReadOptionalBool(value, where);
    return condition;
  }
  if (!value.is_object())
    WrongType(where, value, "true, false, null or an object {result, failure}");
  CheckKeys(value, where, {"result", "failure"});
  if (const json* result = Find(value, "result")) {
    condition.result = ReadOptionalBool(*result, Member(where, "result"));
  }
  if (const json* failure = Find(value, "failure")) {
    condition.failure = ReadFailure(*failure, Member(where, "failure"));
  }
  return condition;
}

struct TagName {
  const char* name;
  std::uint32_t tag;
  VariableSpec::Kind kind;
};

constexpr std::array<TagName, 16> kTags = {{
    {"empty", 0x0000, VariableSpec::Kind::None},
    {"null", 0x0001, VariableSpec::Kind::None},
    {"int8", 0x0101, VariableSpec::Kind::Integer},
    {"int16", 0x0102, VariableSpec::Kind::Integer},
    {"int32", 0x0103, VariableSpec::Kind::Integer},
    {"int64", 0x0104, VariableSpec::Kind::Integer},
    {"long", 0x0105, VariableSpec::Kind::Integer},
    {"uint8", 0x0201, VariableSpec::Kind::Integer},
    {"uint16", 0x0202, VariableSpec::Kind::Integer},
    {"uint32", 0x0203, VariableSpec::Kind::Integer},
    {"uint64", 0x0204, VariableSpec::Kind::Integer},
    {"ulong", 0x0205, VariableSpec::Kind::Integer},
    {"double", 0x0401, VariableSpec::Kind::Double},
    {"bool", 0x0801, VariableSpec::Kind::Bool},
    {"string", 0x2001, VariableSpec::Kind::String},
    {"wideString", 0x2002, VariableSpec::Kind::WideString},
}};

constexpr const TagName* FindTag(std::string_view name) {
  for (const auto& tag : kTags) {
    if (name == tag.name) return &tag;
  }
  return nullptr;
}

// The tag a bare JSON value of one type gets, looked up while building, so that no null
// lookup is left for the optimiser to warn about; a name missing from the table does not build.
consteval std::uint32_t TagOf(std::string_view name) { return FindTag(name)->tag; }

void ReadValue(const json* value, VariableSpec& variable, const std::string& where) {
  using Kind = VariableSpec::Kind;
  if (variable.kind == Kind::None) {
    if (value) Fail(where, "takes no value with this tag");
    return;
  }
  if (!value) {
    if (variable.kind == Kind::Raw) return;  // the value bits stay 0
    Fail(where, "is missing");
  }
  switch (variable.kind) {
    case Kind::Integer:
    case Kind::Raw:
      variable.integer = ReadInteger(*value, where, std::numeric_limits<std::int64_t>::min(),
                                     std::numeric_limits<std::int64_t>::max());
      break;
    case Kind::Double:
      if (!value->is_number()) WrongType(where, *value, "a number");
      variable.real = value->get<double>();
      break;
    case Kind::Bool:
      variable.boolean = ReadBool(*value, where);
      break;
    case Kind::String:
    case Kind::WideString:
      if (!value->is_null()) variable.text = ReadString(*value, where);
      break;
    case Kind::None:
      break;
  }
}

// A bare value picks its tag from its JSON type; an object names the tag.
VariableSpec ReadVariable(const std::string& name, const json& value, const std::string& where) {
  VariableSpec variable;
  variable.name = name;
  if (value.is_boolean()) {
    variable.kind = VariableSpec::Kind::Bool;
    variable.tag = TagOf("bool");
    variable.boolean = value.get<bool>();
  } else if (value.is_number_integer() || value.is_number_unsigned()) {
    variable.integer = ReadInteger(value, where, std::numeric_limits<std::int64_t>::min(),
                                   std::numeric_limits<std::int64_t>::max());
    const bool fits32 = variable.integer >= std::numeric_limits<std::int32_t>::min() &&
                        variable.integer <= std::numeric_limits<std::int32_t>::max();
    variable.kind = VariableSpec::Kind::Integer;
    variable.tag = fits32 ? TagOf("int32") : TagOf("int64");
  } else if (value.is_number_float()) {
    variable.kind = VariableSpec::Kind::Double;
    variable.tag = TagOf("double");
    variable.real = value.get<double>();
  } else if (value.is_string()) {
    variable.kind = VariableSpec::Kind::String;
    variable.tag = TagOf("string");
    variable.text = value.get<std::string>();
  } else if (value.is_object()) {
    CheckKeys(value, where, {"tag", "value", "failure"});
    const json* tag = Find(value, "tag");
    if (!tag) Fail(Member(where, "tag"), "is missing");
    if (tag->is_string()) {
      const TagName* known = FindTag(tag->get<std::string>());
      if (!known) Fail(Member(where, "tag"), "unknown tag " + tag->dump());
      variable.kind = known->kind;
      variable.tag = known->tag;
    } else {
      variable.kind = VariableSpec::Kind::Raw;
      variable.tag = static_cast<std::uint32_t>(
          ReadInteger(*tag, Member(where, "tag"), 0, std::numeric_limits<std::uint32_t>::max()));
    }
    ReadValue(Find(value, "value"), variable, Member(where, "value"));
    if (const json* failure = Find(value, "failure")) {
      variable.failure = ReadFailure(*failure, Member(where, "failure"));
    }
  } else {
    WrongType(where, value, "a boolean, number, string or an object {tag, value, failure}");
  }
  return variable;
}

void ReadEvaluator(const json& value, Profile& profile) {
  const std::string where = "evaluator";
  if (value.is_null()) {
    profile.evaluator = EvaluatorPresence::None;
    return;
  }
  if (value.is_string()) {
    if (value.get<std::string>() != "other") Fail(where, "the only text allowed is \"other\"");
    profile.evaluator = EvaluatorPresence::OtherObject;
    return;
  }
  if (!value.is_object()) WrongType(where, value, "null, \"other\" or an object");
  CheckKeys(value, where, {"conditions", "variables"});
  profile.evaluator = EvaluatorPresence::Evaluator;
  if (const json* conditions = Find(value, "conditions")) {
    const std::string at = Member(where, "conditions");
    if (!conditions->is_object()) WrongType(at, *conditions, "an object");
    for (const auto& [name, definition] : conditions->items()) {
      profile.conditions.push_back(ReadCondition(name, definition, Member(at, name)));
    }
  }
  if (const json* variables = Find(value, "variables")) {
    const std::string at = Member(where, "variables");
    if (!variables->is_object()) WrongType(at, *variables, "an object");
    for (const auto& [name, definition] : variables->items()) {
      profile.variables.push_back(ReadVariable(name, definition, Member(at, name)));
    }
  }
}

void ReadCurrentUser(const json& value, Profile& profile) {
  const std::string where = "currentUser";
  if (value.is_null()) {
    profile.currentUser = false;
    return;
  }
  if (!value.is_object()) WrongType(where, value, "null or an object {preferenceStore}");
  CheckKeys(value, where, {"preferenceStore"});
  const json* store = Find(value, "preferenceStore");
  if (!store) return;
  const std::string at = Member(where, "preferenceStore");
  if (store->is_null()) {
    profile.preferenceStore = false;
    return;
  }
  if (!store->is_object()) WrongType(at, *store, "null or an object of preference texts");
  for (const auto& [name, text] : store->items()) {
    profile.preferences.push_back({name, ReadString(text, Member(at, name))});
  }
}

std::filesystem::path Resolve(const std::filesystem::path& folder, const std::string& relative) {
  return (folder / std::filesystem::path(relative)).lexically_normal();
}

Profile ReadHostValues(const json& root, const std::filesystem::path& folder) {
  if (!root.is_object()) WrongType("the document", root, "an object");
  CheckKeys(root, "",
            {"launchApproval", "dataIniFile", "baseDirectory", "evaluator", "currentUser"});
  Profile profile;
  profile.folder = folder;
  profile.dataIniFile = Resolve(folder, "data.ini");
  profile.baseDirectory = Resolve(folder, "base");
  if (const json* approval = Find(root, "launchApproval")) {
    profile.launchApproval = ReadBool(*approval, "launchApproval");
  }
  if (const json* ini = Find(root, "dataIniFile")) {
    if (ini->is_null()) {
      profile.dataIniFile.reset();
    } else {
      const std::string name = ReadString(*ini, "dataIniFile");
      if (name.empty()) Fail("dataIniFile", "must not be empty (null: the host names none)");
      profile.dataIniFile = Resolve(folder, name);
    }
  }
  if (const json* base = Find(root, "baseDirectory")) {
    const std::string name = ReadString(*base, "baseDirectory");
    if (name.empty()) Fail("baseDirectory", "must not be empty");
    profile.baseDirectory = Resolve(folder, name);
  }
  if (const json* evaluator = Find(root, "evaluator")) ReadEvaluator(*evaluator, profile);
  if (const json* user = Find(root, "currentUser")) ReadCurrentUser(*user, profile);
  return profile;
}

std::string WithoutLibraryPrefix(const std::string& message) {
  // "[json.exception.parse_error.101] parse error at line 2, ..." -> "parse error at line 2, ..."
  const auto end = message.find("] ");
  return message.starts_with("[json.exception") && end != std::string::npos
             ? message.substr(end + 2)
             : message;
}

std::optional<std::string> ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return text;
}

std::string Problem(const std::filesystem::path& file, const std::string& problem) {
  return file.string() + ": " + problem;
}

std::string CheckNamedFiles(const Profile& profile, const std::filesystem::path& jsonFile) {
  std::error_code error;
  if (!std::filesystem::is_directory(profile.baseDirectory, error)) {
    return Problem(profile.baseDirectory, "base directory (baseDirectory in " +
                                              jsonFile.filename().string() + ") is not a folder");
  }
  const auto messages = profile.baseDirectory / kMessagesFolderPath;
  if (!std::filesystem::is_directory(messages, error)) {
    return Problem(messages, "messages folder is missing");
  }
  if (profile.dataIniFile && !std::filesystem::is_regular_file(*profile.dataIniFile, error)) {
    return Problem(*profile.dataIniFile, "data INI file (dataIniFile in " +
                                             jsonFile.filename().string() +
                                             ") is missing; create it, even empty, or set null");
  }
  return {};
}

}  // namespace

std::optional<std::uint32_t> TagFromName(const std::string& name) {
  const TagName* tag = FindTag(name);
  return tag ? std::optional<std::uint32_t>(tag->tag) : std::nullopt;
}

ProfileLoad ParseProfileJson(const std::string& text, const std::filesystem::path& folder) {
  ProfileLoad load;
  try {
    load.profile = ReadHostValues(json::parse(text), folder);
  } catch (const json::exception& error) {
    load.error = WithoutLibraryPrefix(error.what());
  } catch (const ProfileError& error) {
    load.error = error.what();
  }
  return load;
}

ProfileLoad ReadProfile(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    return {std::nullopt, Problem(folder, "profile folder does not exist"), {}};
  }
  const auto jsonFile = folder / kProfileFileName;
  const auto text = ReadFile(jsonFile);
  if (!text) return {std::nullopt, Problem(jsonFile, "cannot be read (missing?)"), {}};
  ProfileLoad load = ParseProfileJson(*text, folder);
  if (!load.profile) return {std::nullopt, Problem(jsonFile, load.error), {}};
  if (std::string problem = CheckNamedFiles(*load.profile, jsonFile); !problem.empty()) {
    return {std::nullopt, std::move(problem), {}};
  }
  // A host may have no placement configuration; the module then sends no request.
  const auto placement = load.profile->baseDirectory / kPlacementConfigurationPath;
  if (!std::filesystem::is_regular_file(placement, error)) {
    load.notes.push_back(
        Problem(placement, "placement configuration is missing; the module sends no request"));
  }
  return load;
}

}  // namespace corvane::host
