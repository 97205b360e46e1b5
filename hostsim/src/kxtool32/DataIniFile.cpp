// kxtool32: the name of the host data INI file, or none.
#include <mutex>
#include <optional>
#include <string>

#include "HostSimInternal.h"
#include "NoDestructor.h"
#include "host/KXTool32.h"
#include "hostsim/HostSim.h"

namespace hostsim::detail {
namespace {

struct DataIniFile {
  std::mutex mutex;
  std::optional<std::string> name;
};

DataIniFile& TheDataIniFile() {
  static NoDestructor<DataIniFile> file;
  return file.get();
}

}  // namespace

void ResetDataIniFile() { hostsim::SetDataIniFileName(std::nullopt); }

}  // namespace hostsim::detail

namespace hostsim {

void SetDataIniFileName(std::optional<std::string> path) {
  detail::DataIniFile& file = detail::TheDataIniFile();
  std::lock_guard lock(file.mutex);
  file.name = std::move(path);
}

}  // namespace hostsim

// The pointer stays valid until the host names another file.
const char* GetKXDataIniFileName() {
  hostsim::detail::DataIniFile& file = hostsim::detail::TheDataIniFile();
  std::lock_guard lock(file.mutex);
  return file.name ? file.name->c_str() : nullptr;
}
