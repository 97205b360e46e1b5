// KXUtilities: the redirected base directory and the DOM factory.
#include <atomic>
#include <mutex>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "HostSimInternal.h"
#include "NoDestructor.h"
#include "host/KXUtilities.h"
#include "hostsim/HostSim.h"

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

// The process's current directory; empty when it cannot be read.
std::string CurrentDirectory() {
#ifdef _WIN32
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
#else
  char buffer[4096] = {};
  return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
#endif
}

std::string DefaultBaseDirectory() { return WithSeparator(CurrentDirectory()); }

struct Configuration {
  std::mutex mutex;
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

void ResetBaseDirectoryAndDomFactory() {
  Configuration& configuration = TheConfiguration();
  {
    std::lock_guard lock(configuration.mutex);
    configuration.baseDirectory = DefaultBaseDirectory();
  }
  configuration.domFactoryResult = S_OK;
  configuration.domDocumentsCreated = 0;
}

}  // namespace hostsim::detail

namespace hostsim {

void SetBaseDirectory(const std::string& directory) {
  detail::Configuration& configuration = detail::TheConfiguration();
  std::lock_guard lock(configuration.mutex);
  configuration.baseDirectory = detail::WithSeparator(directory);
}

void SetDomFactoryResult(HRESULT result) { detail::TheConfiguration().domFactoryResult = result; }

unsigned DomDocumentsCreated() { return detail::TheConfiguration().domDocumentsCreated; }

}  // namespace hostsim

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
