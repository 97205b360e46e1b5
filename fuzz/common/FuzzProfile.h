// One host profile for a whole fuzzing process, set up once and reset cheaply between inputs.
// The base directory lies three folders below the profile's root, so that a file written
// through a parent step in a name still lands inside the root, where the checks see it.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "LineBreaks.h"
#include "MessageFileContent.h"
#include "ModuleLogTexts.h"
#include "TemporaryFolder.h"
#include "hostsim/HostSim.h"

namespace corvane_fuzz {

namespace fs = std::filesystem;

class FuzzProfile {
 public:
  explicit FuzzProfile(const std::string& name)
      : m_folder("corvane-fuzz-" + name + "-"),
        root(m_folder.path),
        base(root / "a" / "b" / "base"),
        placementFolder(base / "components" / "PlacementConfiguration"),
        messagesFolder(base / "components" / "messages"),
        iniFile(base / "kxdata.ini") {
    fs::create_directories(placementFolder);
    fs::create_directories(messagesFolder);
  }

  // A fresh host on this profile (so that the host's records of calls do not pile up), an
  // empty messages folder and `checksum` recorded.
  void Reset(const std::string& checksum) const {
    hostsim::Reset();
    hostsim::SetBaseDirectory(base.string());
    hostsim::SetDataIniFileName(iniFile.string());
    for (const auto& entry : fs::directory_iterator(messagesFolder)) fs::remove_all(entry.path());
    if (RecordedCheckSum() != checksum) {
      hostsim::WriteProfileValue("WEBTSM", "CheckSum", checksum, iniFile.string());
    }
  }

  std::string RecordedCheckSum() const {
    return hostsim::ReadProfileValue("WEBTSM", "CheckSum", iniFile.string()).value_or("");
  }

  // After an answer: every file under the root is the INI file or the one message file, and
  // the recorded checksum is still `previous` unless it names that file, which holds the XML
  // declaration followed by the message set, breaks its lines with CR LF only and was logged
  // as saved. Returns whether a message file was stored.
  bool CheckStore(const std::string& previous) const {
    std::string stored;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_directory() || entry.path() == iniFile) continue;
      const std::string name = entry.path().filename().string();
      Require(entry.path().parent_path() == messagesFolder,
              "a file outside the messages folder: " + entry.path().string());
      Require(name.ends_with(corvane::kMessageFileSuffix),
              "a file that is no message file: " + name);
      Require(stored.empty(), "two message files from one answer");
      stored = name;
    }
    const std::string recorded = RecordedCheckSum();
    const auto texts = hostsim::LogTexts();
    const bool saved = std::ranges::find(texts, corvane_test::kSavedLine) != texts.end();
    if (stored.empty()) {
      Require(recorded == previous, "checksum '" + recorded + "' recorded without a message file");
      Require(!saved, "success logged without a message file");
      return false;
    }
    Require(stored == recorded + corvane::kMessageFileSuffix,
            "message file '" + stored + "' but recorded checksum '" + recorded + "'");
    Require(saved, "message file stored without the success line");
    const std::string content = corvane_test::ReadBytes(messagesFolder / stored).value_or("");
    const std::string start = std::string(corvane::kMessageFileDeclaration) + "<Messages";
    Require(content.starts_with(start), "message file does not begin with " + start);
    Require(content.ends_with("</Messages>") || content.ends_with("/>"),
            "message file does not end with the set");
    Require(corvane_test::FindLoneLineBreak(content) == std::string::npos,
            "a lone CR or LF in the message file");
    return true;
  }

 private:
  const corvane_test::TemporaryFolder m_folder;  // removed with the profile

 public:
  const fs::path root;
  const fs::path base;
  const fs::path placementFolder;
  const fs::path messagesFolder;
  const fs::path iniFile;
};

}  // namespace corvane_fuzz
