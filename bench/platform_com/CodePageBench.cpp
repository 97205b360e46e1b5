// Cost of the text conversions on the module's paths: a placement configuration or an answer
// turned into a BSTR, and DOM text turned back into narrow text.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/Win32Api.h"
#include "platform/linux/PlatformTestSupport.h"

namespace {

std::string SampleText(std::size_t bytes) {
  const std::string piece = "<Message id=\"1\">Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC</Message>\n";
  std::string text;
  while (text.size() < bytes) text += piece;
  return text;
}

void NarrowToWide(benchmark::State& state, UINT codePage) {
  PlatformSetAnsiCodePage(codePage);
  const std::string text = SampleText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    ATL::CComBSTR converted(text.c_str());
    benchmark::DoNotOptimize(converted.m_str);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void WideToNarrow(benchmark::State& state, UINT codePage) {
  PlatformSetAnsiCodePage(codePage);
  ATL::CComBSTR wide(SampleText(static_cast<std::size_t>(state.range(0))).c_str());
  std::string out(static_cast<std::size_t>(state.range(0)) * 3 + 1, '\0');
  for (auto _ : state) {
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, out.data(), static_cast<int>(out.size()),
                                      nullptr, nullptr);
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK_CAPTURE(NarrowToWide, Utf8, CP_UTF8)->Arg(256)->Arg(64 << 10);
BENCHMARK_CAPTURE(NarrowToWide, Windows1252, 1252u)->Arg(256)->Arg(64 << 10);
BENCHMARK_CAPTURE(WideToNarrow, Utf8, CP_UTF8)->Arg(256)->Arg(64 << 10);
BENCHMARK_CAPTURE(WideToNarrow, Windows1252, 1252u)->Arg(256)->Arg(64 << 10);

void BstrAllocateFree(benchmark::State& state) {
  for (auto _ : state) {
    BSTR text = SysAllocString(OLESTR("XPath"));
    benchmark::DoNotOptimize(text);
    SysFreeString(text);
  }
}
BENCHMARK(BstrAllocateFree);

}  // namespace
