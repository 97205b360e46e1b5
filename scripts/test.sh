#!/usr/bin/env bash
# Builds both targets and runs their test suites: the shipped Corvane.dll in the Microsoft
# x64 ABI (clang-cl and lld-link), checked from its bytes by the linux preset's tests; Linux
# natively (plain, with AddressSanitizer + UndefinedBehaviorSanitizer, and with
# ThreadSanitizer); the module's internals cross-built with mingw-w64 and run under Wine.
# Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

presets=(windows-msvc-abi linux linux-asan linux-tsan windows)
if (($#)); then presets=("$@"); fi

windows_dll="$PWD/build/windows-msvc-abi/bin/Corvane.dll"
for preset in "${presets[@]}"; do
  echo "=== ${preset}: configure and build"
  extra=()
  # The linux preset checks the Microsoft-ABI DLL's import, export and header tables.
  if [[ $preset == linux && -f $windows_dll ]]; then extra=(-DCORVANE_WINDOWS_DLL="$windows_dll"); fi
  cmake --preset "${preset}" "${extra[@]}" >/dev/null
  cmake --build --preset "${preset}"
  echo "=== ${preset}: test"
  ctest --preset "${preset}"
done
