#!/usr/bin/env bash
# Builds both targets and runs their test suites: Linux natively (plain, with
# AddressSanitizer + UndefinedBehaviorSanitizer, and with ThreadSanitizer); Windows with the
# shipped Corvane.dll and the stand-in host's DLLs in the Microsoft x64 ABI (clang-cl and
# lld-link) and the tests and tools cross-built with mingw-w64, run under Wine. linux-fuzz
# builds the fuzzers and runs each over its committed corpus once (a regression check of what
# fuzzing found). Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

presets=(linux linux-asan linux-tsan linux-fuzz windows)
if (($#)); then presets=("$@"); fi

for preset in "${presets[@]}"; do
  if [[ "${preset}" == linux-fuzz ]]; then
    echo "=== linux-fuzz: build, and every fuzzer over its committed corpus"
    bash scripts/fuzz.sh --corpus-only
    continue
  fi
  echo "=== ${preset}: configure and build"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}"
  echo "=== ${preset}: test"
  ctest --preset "${preset}"
done
