// Any bytes as the service's answer, through the module's whole answer path: decoding,
// parsing, selection, the message file and the recorded checksum. After each answer: no file
// outside the messages folder and no temporary file left; the recorded checksum changes only
// together with a message file of exactly that name, which holds the XML declaration followed
// by the message set.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "CorvaneConfiguration.h"
#include "FuzzProfile.h"
#include "FuzzSupport.h"
#include "MessageFileContent.h"

namespace {

using corvane_fuzz::Require;
using corvane_fuzz::fs::path;

constexpr const char* kPrevious = "previous";
constexpr const char* kSavedLine = "Received the response and saved";

std::string ReadWhole(const path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Every file under the root is the INI file or a message file; returns the message file's
// name, empty when there is none.
std::string OnlyMessageFile(const corvane_fuzz::FuzzProfile& profile) {
  std::string messageFile;
  for (const auto& entry : corvane_fuzz::fs::recursive_directory_iterator(profile.root)) {
    if (entry.is_directory()) continue;
    if (entry.path() == profile.iniFile) continue;
    Require(entry.path().parent_path() == profile.messagesFolder,
            "a file outside the messages folder: " + entry.path().string());
    const std::string name = entry.path().filename().string();
    Require(EndsWith(name, corvane::kMessageFileSuffix), "a file that is no message file: " + name);
    Require(messageFile.empty(), "two message files from one answer");
    messageFile = name;
  }
  return messageFile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const corvane_fuzz::FuzzProfile profile("answer");
  profile.Reset(kPrevious);

  // The reading hands on text up to a zero byte; an answer holds none.
  std::string body(reinterpret_cast<const char*>(data), size);
  std::erase(body, '\0');
  try {
    CorvaneConfiguration::GetInstance()->ProcessResponse(body.c_str());
  } catch (...) {
    corvane_fuzz::Fail("ProcessResponse raised an exception");
  }

  const std::string messageFile = OnlyMessageFile(profile);
  const std::string recorded = profile.RecordedCheckSum();
  const auto texts = hostsim::LogTexts();
  const bool saved = std::find(texts.begin(), texts.end(), kSavedLine) != texts.end();
  if (messageFile.empty()) {
    Require(recorded == kPrevious, "checksum '" + recorded + "' recorded without a message file");
    Require(!saved, "success logged without a message file");
    return 0;
  }
  Require(messageFile == recorded + corvane::kMessageFileSuffix,
          "message file '" + messageFile + "' but recorded checksum '" + recorded + "'");
  Require(saved, "message file stored without the success line");
  const std::string content = ReadWhole(profile.messagesFolder / messageFile);
  const std::string start = std::string(corvane::kMessageFileDeclaration) + "<Messages";
  Require(content.compare(0, start.size(), start) == 0,
          "message file does not begin with " + start);
  Require(EndsWith(content, "</Messages>") || EndsWith(content, "/>"),
          "message file does not end with the set");
  return 0;
}
