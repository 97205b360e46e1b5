#include "ModulePaths.h"

#include <initializer_list>

#include "host/KXUtilities.h"
#include "platform/Win32Api.h"

namespace corvane {
namespace {

// The host's base directory ends with a separator; each folder is appended with one.
Util::TString BaseDirectoryFolder(std::initializer_list<const char*> folders) {
  Util::TString path = Util::ReDirectFile::GetReDirectFileInstance().GetDirectoryFromId(
      Util::ReDirectFile::BaseDirectory);
  const char separator[] = {platform::kPathSeparator, '\0'};
  for (const char* folder : folders) {
    path += folder;
    path += separator;
  }
  return path;
}

}  // namespace

Util::TString PlacementConfigurationFolder() {
  return BaseDirectoryFolder({"components", "PlacementConfiguration"});
}

Util::TString MessagesFolder() { return BaseDirectoryFolder({"components", "messages"}); }

}  // namespace corvane
