#!/usr/bin/env bash
# Lines of test code (tests/ and the fuzz harnesses, corpora excluded) against the lines of
# everything else the team wrote: sources, headers, CMake files, scripts and import lists.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  git ls-files -- "$@" |
    grep -E '\.(cpp|h|c|in|sh|py|cmake|def|exports|map|rc)$|CMakeLists\.txt$|CMakePresets\.json$|^\.ci/' |
    grep -v '/corpus/' | tr '\n' '\0' | xargs -0 cat | wc -l
}
tests=$(count tests fuzz)
code=$(count src platform host hostsim tools bench scripts cmake include .ci CMakeLists.txt CMakePresets.json)
echo "tests and fuzz harnesses: $tests lines; everything else: $code lines; share $((100 * tests / code)) %"
