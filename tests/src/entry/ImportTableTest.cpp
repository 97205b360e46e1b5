// Checks a built Corvane.dll from its bytes, on Linux: the DLLs and host functions it imports,
// what it exports, its header flags, its debug record and its version resource.
// Usage: corvane_pe_tests <Corvane.dll> [--version=MAJOR.MINOR[.BUILD[.REVISION]]]
//                         [--require-guard-cf]
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "PeImage.h"

namespace corvane_test {
namespace {

using ::testing::ContainerEq;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

// Every DLL the module may load, directly or delay-loaded, and nothing else.
constexpr const char* kImportedDlls[] = {
    // the host's
    "KXUtilities.dll",
    "APPCORE.dll",
    "ui.dll",
    "PREFS.dll",
    "kxtool32.dll",
    // the system's
    "KERNEL32.dll",
    "WININET.dll",
    "ole32.dll",
    "OLEAUT32.dll",
    // the Microsoft C and C++ runtime
    "VCRUNTIME140.dll",
    "ucrtbase.dll",
};

// Host functions by decorated name, each imported from the one DLL named here.
struct HostImport {
  const char* dll;
  const char* name;
};
constexpr HostImport kHostImports[] = {
    {"KXUtilities.dll", "?GetOps@Util@@YAAEAVOps@1@XZ"},
    {"KXUtilities.dll", "?GetStatusMessage@Status@Util@@QEBAAEBVTString@2@XZ"},
    {"APPCORE.dll", "?ApproveAll@ApproveLaunchFeature@@QEBA?AVStatus@Util@@XZ"},
    {"APPCORE.dll", "??0SequencedAppMsg@@QEAA@XZ"},
    {"ui.dll", "??0CNotificationBase@@IEAA@H@Z"},
    {"ui.dll", "??1CNotificationBase@@MEAA@XZ"},
    {"PREFS.dll", "?GetCurrentUser@@YAPEAVCUser@@XZ"},
    {"kxtool32.dll", "?GetKXDataIniFileName@@YAPEBDXZ"},
};

// GNU toolchain runtimes and the old system C runtime, which the module must never load.
// GNU runtimes and the system's old C runtime: a prefix and a part the lower-case name holds.
struct ForbiddenDll {
  std::string_view prefix;
  std::string_view contains;
};
constexpr ForbiddenDll kForbiddenDlls[] = {
    {"lib", "gcc"}, {"libstdc++", ""}, {"libwinpthread", ""}, {"msvcrt.dll", ""}};

bool IsForbidden(std::string name, const ForbiddenDll& forbidden) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name.rfind(forbidden.prefix, 0) == 0 &&
         name.find(forbidden.contains, forbidden.prefix.size()) != std::string::npos &&
         (forbidden.prefix != "msvcrt.dll" || name == "msvcrt.dll");
}

struct Options {
  std::string dllPath;
  std::array<std::uint16_t, 4> version{};
  bool requireGuardCf = false;
};
Options g_options;
std::string g_dllBytes;

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::ranges::transform(lower, lower.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return lower;
}

const std::optional<PeImage>& Image() {
  static const std::optional<PeImage> image = PeImage::Parse(g_dllBytes);
  return image;
}

class CorvaneDll : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Image().has_value()) << g_options.dllPath << " is no readable PE32+ image";
  }
  static const PeImage& Dll() { return *Image(); }
};

TEST_F(CorvaneDll, ImportsFromExactlyTheHostAndSystemDlls) {
  const auto imports = Dll().Imports();
  ASSERT_TRUE(imports.has_value()) << "malformed import table";
  std::set<std::string> actual;
  for (const auto& dll : *imports) {
    actual.insert(Lower(dll.name));
  }
  std::set<std::string> expected;
  for (const char* dll : kImportedDlls) {
    expected.insert(Lower(dll));
  }
  EXPECT_THAT(actual, ContainerEq(expected));
}

TEST_F(CorvaneDll, ImportsNoGnuRuntimeAndNoGnuMangledName) {
  const auto imports = Dll().Imports();
  ASSERT_TRUE(imports.has_value()) << "malformed import table";
  for (const auto& dll : *imports) {
    for (const ForbiddenDll& forbidden : kForbiddenDlls) {
      EXPECT_FALSE(IsForbidden(dll.name, forbidden)) << dll.name << " is a runtime we do not ship";
    }
    for (const auto& function : dll.functions) {
      EXPECT_FALSE(function.starts_with("_Z")) << function << " from " << dll.name;
    }
  }
}

void PrintTo(const HostImport& host, std::ostream* out) {
  *out << host.name << " from " << host.dll;
}

class HostImportTest : public CorvaneDll, public ::testing::WithParamInterface<HostImport> {};

TEST_P(HostImportTest, ComesFromItsDllOnly) {
  const auto imports = Dll().Imports();
  ASSERT_TRUE(imports.has_value()) << "malformed import table";
  std::vector<std::string> suppliers;
  for (const auto& dll : *imports) {
    if (std::ranges::find(dll.functions, GetParam().name) != dll.functions.end()) {
      suppliers.push_back(Lower(dll.name));
    }
  }
  EXPECT_THAT(suppliers, ElementsAre(Lower(GetParam().dll)));
}

INSTANTIATE_TEST_SUITE_P(Table, HostImportTest, ::testing::ValuesIn(kHostImports),
                         [](const auto& param) {
                           const std::string_view dll = param.param.dll;
                           return std::string(dll.substr(0, dll.find('.'))) + "_" +
                                  std::to_string(param.index);
                         });

TEST_F(CorvaneDll, ExportsExactlyTheTwoEntryPoints) {
  const auto names = Dll().ExportNames();
  ASSERT_TRUE(names.has_value()) << "malformed export directory";
  EXPECT_THAT(*names,
              UnorderedElementsAre("InvokeWebTsm", "?OnFirstTimeSetup@WebTSMManager@@QEAAXXZ"));
}

TEST_F(CorvaneDll, IsAnX64DllWithTheHardeningFlags) {
  EXPECT_EQ(Dll().Machine(), pe::kMachineAmd64);
  EXPECT_TRUE(Dll().Characteristics() & pe::kFileDll) << "not a DLL";
  const struct {
    const char* name;
    std::uint16_t bit;
    bool required;
  } flags[] = {{"DYNAMIC_BASE", pe::kDynamicBase, true},
               {"HIGH_ENTROPY_VA", pe::kHighEntropyVa, true},
               {"NX_COMPAT", pe::kNxCompat, true},
               {"GUARD_CF", pe::kGuardCf, g_options.requireGuardCf}};
  for (const auto& flag : flags) {
    const bool set = (Dll().DllCharacteristics() & flag.bit) != 0;
    RecordProperty(flag.name, set ? "set" : "clear");
    std::cout << flag.name << (set ? " set" : " clear")
              << (flag.required ? "\n" : " (not required)\n");
    EXPECT_TRUE(set || !flag.required) << flag.name << " is clear";
  }
}

TEST_F(CorvaneDll, NamesCorvanePdbInItsCodeViewRecord) {
  const auto pdb = Dll().PdbPath();
  ASSERT_TRUE(pdb.has_value()) << "no CodeView (RSDS) debug record";
  EXPECT_EQ(pdb->substr(pdb->find_last_of("/\\") + 1), "Corvane.pdb") << *pdb;
}

TEST_F(CorvaneDll, CarriesItsVersionAndOriginalFileName) {
  const auto version = Dll().VersionInfo();
  ASSERT_TRUE(version.has_value()) << "no well-formed version resource";
  EXPECT_EQ(version->fileVersion, g_options.version);
  EXPECT_THAT(version->strings, Contains(Pair("OriginalFilename", "Corvane.dll")));
}

// A read that does not fit the file must fail the whole answer, never end a list early, so what
// a cut copy still answers is what the whole file answers. Under the sanitizers this also
// catches any read past the end.
TEST_F(CorvaneDll, ACutCopyReadsAsTheWholeFileOrNotAtAll) {
  const auto imports = Dll().Imports();
  const auto exports = Dll().ExportNames();
  const auto pdb = Dll().PdbPath();
  const auto version = Dll().VersionInfo();
  std::vector<std::size_t> cuts;
  for (std::size_t cut = 0; cut < std::min<std::size_t>(g_dllBytes.size(), 4096); ++cut) {
    cuts.push_back(cut);  // every cut through the headers
  }
  const std::size_t step = std::max<std::size_t>(g_dllBytes.size() / 512, 1);
  for (std::size_t cut = 4096; cut < g_dllBytes.size(); cut += step) {
    cuts.push_back(cut);
  }
  cuts.push_back(g_dllBytes.size() - 1);
  const auto wholeOrNothing = [](const auto& part, const auto& whole) {
    return !part.has_value() || part == whole;
  };
  for (const std::size_t cut : cuts) {
    const auto part = PeImage::Parse(g_dllBytes.substr(0, cut));
    if (!part) {
      continue;
    }
    EXPECT_EQ(part->DllCharacteristics(), Dll().DllCharacteristics()) << "cut at " << cut;
    EXPECT_TRUE(wholeOrNothing(part->Imports(), imports)) << "cut at " << cut;
    EXPECT_TRUE(wholeOrNothing(part->ExportNames(), exports)) << "cut at " << cut;
    EXPECT_TRUE(wholeOrNothing(part->PdbPath(), pdb)) << "cut at " << cut;
    EXPECT_TRUE(wholeOrNothing(part->VersionInfo(), version)) << "cut at " << cut;
  }
}

// "0.1.0" reads as 0.1.0.0; nullopt unless one to four numbers below 65536.
std::optional<std::array<std::uint16_t, 4>> ParseVersion(std::string_view text) {
  std::array<std::uint16_t, 4> version{};
  for (std::size_t part = 0; part < version.size(); ++part) {
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), version[part]);
    if (error != std::errc() || (end != text.data() + text.size() && *end != '.')) {
      return std::nullopt;
    }
    if (end == text.data() + text.size()) {
      return version;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
  }
  return std::nullopt;
}

}  // namespace
}  // namespace corvane_test

int main(int argc, char** argv) {
  using namespace corvane_test;
  ::testing::InitGoogleTest(&argc, argv);
  auto version = ParseVersion(CORVANE_VERSION);
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--version=")) {
      version = ParseVersion(arg.substr(std::string_view("--version=").size()));
    } else if (arg == "--require-guard-cf") {
      g_options.requireGuardCf = true;
    } else if (g_options.dllPath.empty() && !arg.starts_with("--")) {
      g_options.dllPath = arg;
    } else {
      g_options.dllPath.clear();
      break;
    }
  }
  if (g_options.dllPath.empty() || !version) {
    std::cerr << "usage: " << argv[0]
              << " <Corvane.dll> [--version=MAJOR.MINOR[.BUILD[.REVISION]]] [--require-guard-cf]\n";
    return 2;
  }
  g_options.version = *version;
  std::ifstream in(g_options.dllPath, std::ios::binary);
  g_dllBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return RUN_ALL_TESTS();
}
