// The host's fixed facts: the data INI file's name, the redirected base directory, and the
// DOM factory.
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

#include "HostSimInternal.h"
#include "NoDestructor.h"
#include "hostsim/HostSim.h"
#include "host/KXTool32.h"
#include "host/KXUtilities.h"

namespace hostsim::detail {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string WithSeparator(std::string directory) {
  if (directory.empty() || (directory.back() != '/' && directory.back() != '\\')) {
    directory += kSeparator;
  }
  return directory;
}

std::string DefaultBaseDirectory() {
  std::error_code error;
  return WithSeparator(std::filesystem::current_path(error).string());
}

struct Configuration {
  std::mutex mutex;
  bool hasIniFile = false;
  std::string iniFile;
  std::string baseDirectory = DefaultBaseDirectory();
  std::atomic<HRESULT> domFactoryResult{S_OK};
  std::atomic<unsigned> domDocumentsCreated{0};
};

Configuration& TheConfiguration() {
  static NoDestructor<Configuration> configuration;
  return configuration.get();
}

class HostReDirectFile final : public Util::ReDirectFile {
public:
  Util::TString GetDirectoryFromId(int id) override {
    if (id != BaseDirectory) {
      return Util::TString();
    }
    Configuration& configuration = TheConfiguration();
    std::lock_guard lock(configuration.mutex);
    return Util::TString(configuration.baseDirectory.c_str());
  }
};

}  // namespace

void ResetConfiguration() {
  Configuration& configuration = TheConfiguration();
  {
    std::lock_guard lock(configuration.mutex);
    configuration.hasIniFile = false;
    configuration.iniFile.clear();
    configuration.baseDirectory = DefaultBaseDirectory();
  }
  configuration.domFactoryResult = S_OK;
  configuration.domDocumentsCreated = 0;
}

}  // namespace hostsim::detail

namespace hostsim {

void SetDataIniFileName(std::optional<std::string> path) {
  detail::Configuration& configuration = detail::TheConfiguration();
  std::lock_guard lock(configuration.mutex);
  configuration.hasIniFile = path.has_value();
  configuration.iniFile = path.value_or(std::string());
}

void SetBaseDirectory(const std::string& directory) {
  detail::Configuration& configuration = detail::TheConfiguration();
  std::lock_guard lock(configuration.mutex);
  configuration.baseDirectory = detail::WithSeparator(directory);
}

void SetDomFactoryResult(HRESULT result) { detail::TheConfiguration().domFactoryResult = result; }

unsigned DomDocumentsCreated() { return detail::TheConfiguration().domDocumentsCreated; }

}  // namespace hostsim

// The pointer stays valid until the host names another file.
const char* GetKXDataIniFileName() {
  hostsim::detail::Configuration& configuration = hostsim::detail::TheConfiguration();
  std::lock_guard lock(configuration.mutex);
  return configuration.hasIniFile ? configuration.iniFile.c_str() : nullptr;
}

namespace Util {

ReDirectFile::~ReDirectFile() = default;

ReDirectFile& ReDirectFile::GetReDirectFileInstance() {
  static hostsim::detail::NoDestructor<hostsim::detail::HostReDirectFile> instance;
  return instance.get();
}

namespace MSXML_XML {

HRESULT CreateDOMDocument(IXMLDOMDocument2** document) {
  if (document == nullptr) {
    return E_POINTER;
  }
  *document = nullptr;
  hostsim::detail::Configuration& configuration = hostsim::detail::TheConfiguration();
  const HRESULT configured = configuration.domFactoryResult;
  if (FAILED(configured)) {
    return configured;
  }
  const HRESULT result = CoCreateInstance(CLSID_DOMDocument60, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IXMLDOMDocument2, reinterpret_cast<void**>(document));
  if (SUCCEEDED(result)) {
    ++configuration.domDocumentsCreated;
  }
  return result;
}

}  // namespace MSXML_XML
}  // namespace Util
