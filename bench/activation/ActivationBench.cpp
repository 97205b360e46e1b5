// The cost of one activation as the host runs it, beside the bare work the job needs, in the
// same process against the same loopback server and answers:
// - Activation: the module loaded as a host loads it, its entry point called, the host's
//   message sequence run until the answer is stored and its checksum recorded;
// - Baseline: a libcurl GET on a fresh connection, a libxml2 parse, the XPath selection of
//   the set, its serialisation, a temporary file renamed over the message file, and the INI
//   file rewritten the same way;
// - DurableBaseline: the same, with each temporary file flushed to the disk before the rename
//   and the folder flushed after it, as the module stores both files;
// - StoreAlone: the durable baseline's work after the GET, on an answer already received.
// Real time is wall time; the CPU column counts every thread of the process; host_cpu is the
// CPU of the calling (host) thread alone. scripts/bench.sh prints the ratios. The largest
// set, 48,000 bytes, stays within the answer the module reads (24 reads of 2047 bytes).
// GCC 12 at -O3 reports a false overlap in std::string's operator+ (its bug 105329).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Answers.h"
#include "BenchHost.h"
#include "HostProfile.h"
#include "PlacementConfiguration.h"
#include "server/ScriptedServer.h"

namespace {

using namespace std::chrono_literals;
using corvane_test::HostProfile;
using corvane_test::ScriptedServer;

constexpr const char* kChecksum = "1234";

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Counts the calling thread's CPU over each iteration into state.counters["host_cpu"].
class HostCpu {
 public:
  explicit HostCpu(benchmark::State& state) : m_state(state) {}
  ~HostCpu() {
    m_state.counters["host_cpu"] = benchmark::Counter(m_total, benchmark::Counter::kAvgIterations);
  }
  HostCpu(const HostCpu&) = delete;
  HostCpu& operator=(const HostCpu&) = delete;
  void Start() { m_start = ThreadCpuSeconds(); }
  void Stop() { m_total += ThreadCpuSeconds() - m_start; }

 private:
  benchmark::State& m_state;
  double m_start = 0;
  double m_total = 0;
};

// The server, a host profile and the module, shared by every benchmark of the process.
struct Rig {
  Rig() : module(dlopen(CORVANE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL)) {
    invoke = module ? reinterpret_cast<void (*)()>(dlsym(module.get(), "InvokeWebTsm")) : nullptr;
  }

  // The answer of `size` bytes and a placement configuration with `variables` Ace variables.
  void Configure(std::size_t size, int variables) {
    server.SetAnswer(corvane_test::HttpAnswer{200, corvane_test::AnswerOfSize(kChecksum, size)});
    const std::vector<corvane_test::AceVariable> list = SetBenchVariables(variables);
    profile.WritePlacementConfiguration(
        corvane_test::PlacementConfiguration(Url() + "/tsm/get", list));
  }

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(server.Port()); }

  struct Unload {
    void operator()(void* handle) const { dlclose(handle); }
  };
  std::unique_ptr<void, Unload> module;  // declared first: unloaded last
  ScriptedServer server;
  HostProfile profile;
  BenchHost host;  // declared last: the exchange ends before anything else goes
  void (*invoke)() = nullptr;
};

// Made and ended by main(), so that the module is unloaded only after everything that may
// still run its code (queued messages, the open exchange) is gone.
Rig* theRig = nullptr;
Rig& TheRig() { return *theRig; }

void BM_Activation(benchmark::State& state) {
  Rig& rig = TheRig();
  if (!rig.invoke) {
    state.SkipWithError("the module could not be loaded");
    return;
  }
  rig.Configure(static_cast<std::size_t>(state.range(0)), static_cast<int>(state.range(1)));
  HostCpu hostCpu(state);
  for (auto _ : state) {
    hostsim::ClearLog();
    hostCpu.Start();
    rig.invoke();
    const bool stored = BenchHost::RunUntilStored(10s);
    hostCpu.Stop();
    if (!stored) {
      state.SkipWithError("the answer was not stored");
      break;
    }
  }
}

// ---- the bare work ---------------------------------------------------------------------------
std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

std::string Fetch(const std::string& url) {
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), curl_easy_cleanup);
  std::string body;
  curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(easy.get(), CURLOPT_FORBID_REUSE, 1L);
  return curl_easy_perform(easy.get()) == CURLE_OK ? body : std::string();
}

enum class Durability { None, Flushed };

// An open descriptor, closed when it goes; close() reports whether the data got out.
struct Descriptor {
  explicit Descriptor(int descriptor) : fd(descriptor) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  bool Close() { return ::close(std::exchange(fd, -1)) == 0; }
  int fd;
};

bool WriteReplacing(const std::filesystem::path& file, const std::string& text,
                    Durability durability) {
  const bool flush = durability == Durability::Flushed;
  const std::filesystem::path temporary = file.string() + ".tmp";
  Descriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (out.fd < 0) return false;
  const bool written = ::write(out.fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (!written || (flush && ::fsync(out.fd) != 0) || !out.Close()) return false;
  if (std::rename(temporary.c_str(), file.c_str()) != 0) return false;
  if (!flush) return true;
  const Descriptor folder(::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder.fd >= 0 && ::fsync(folder.fd) == 0;
}

// Parses a received answer, selects its set and stores it and its checksum as the module does.
bool StoreAnswer(const Rig& rig, const std::string& body, Durability durability) {
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
      xmlReadMemory(body.data(), static_cast<int>(body.size()), nullptr, nullptr, XML_PARSE_NONET),
      xmlFreeDoc);
  if (!document) return false;
  std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
      xmlXPathNewContext(document.get()), xmlXPathFreeContext);
  std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> found(
      xmlXPathEvalExpression(BAD_CAST "/WebControlMessage/Messages", context.get()),
      xmlXPathFreeObject);
  if (!found || !found->nodesetval || found->nodesetval->nodeNr != 1) return false;
  xmlChar* checksum =
      xmlGetProp(xmlDocGetRootElement(document.get()), BAD_CAST "Userpref_CheckSum");
  if (!checksum) return false;
  const std::string name = reinterpret_cast<const char*>(checksum);
  xmlFree(checksum);
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
  xmlNodeDump(buffer.get(), document.get(), found->nodesetval->nodeTab[0], 0, 0);
  std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  file += reinterpret_cast<const char*>(xmlBufferContent(buffer.get()));
  return WriteReplacing(rig.profile.messagesFolder / (name + "WebTSMFile.xmf"), file,
                        durability) &&
         WriteReplacing(rig.profile.iniFile,
                        std::string("[WEBTSM]\r\nCheckSum=").append(name).append("\r\n"),
                        durability);
}

void RunBaseline(benchmark::State& state, Durability durability) {
  Rig& rig = TheRig();
  rig.Configure(static_cast<std::size_t>(state.range(0)), static_cast<int>(state.range(1)));
  const std::string url = rig.Url() + "/tsm/get" + BenchQuery(static_cast<int>(state.range(1)));
  HostCpu hostCpu(state);
  for (auto _ : state) {
    hostCpu.Start();
    const bool stored = StoreAnswer(rig, Fetch(url), durability);
    hostCpu.Stop();
    if (!stored) {
      state.SkipWithError("the bare work failed");
      break;
    }
  }
}

void BM_Baseline(benchmark::State& state) { RunBaseline(state, Durability::None); }
void BM_DurableBaseline(benchmark::State& state) { RunBaseline(state, Durability::Flushed); }

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgsProduct({{1000, 16000, 48000}, {1, 20}})
      ->ArgNames({"bytes", "variables"})
      ->UseRealTime()
      ->MeasureProcessCPUTime()
      ->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_Activation)->Apply(Sizes);
BENCHMARK(BM_Baseline)->Apply(Sizes);
BENCHMARK(BM_DurableBaseline)->Apply(Sizes);

// What the host thread cannot leave out once the answer is in: StoreAnswer with the durable
// writes, the answer already received.
void BM_StoreAlone(benchmark::State& state) {
  Rig& rig = TheRig();
  const std::string body =
      corvane_test::AnswerOfSize(kChecksum, static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    if (!StoreAnswer(rig, body, Durability::Flushed)) {
      state.SkipWithError("the answer was not stored");
      break;
    }
  }
}
BENCHMARK(BM_StoreAlone)->Arg(1000)->Arg(16000)->Arg(48000)->Unit(benchmark::kMicrosecond);

// Parse and serialise alone, the floor of what the host thread must spend on an answer.
void BM_ParseAndSerialise(benchmark::State& state) {
  const std::string body =
      corvane_test::AnswerOfSize(kChecksum, static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
        xmlReadMemory(body.data(), static_cast<int>(body.size()), nullptr, nullptr,
                      XML_PARSE_NONET),
        xmlFreeDoc);
    std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
    xmlNodeDump(buffer.get(), document.get(), xmlDocGetRootElement(document.get()), 0, 0);
    benchmark::DoNotOptimize(xmlBufferContent(buffer.get()));
  }
}
BENCHMARK(BM_ParseAndSerialise)->Arg(1000)->Arg(16000)->Arg(48000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  auto rig = std::make_unique<Rig>();
  theRig = rig.get();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  theRig = nullptr;
  return 0;
}
