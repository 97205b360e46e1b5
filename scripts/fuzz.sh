#!/usr/bin/env bash
# Builds the linux-fuzz preset (libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs its fuzzers one after another.
#
#   scripts/fuzz.sh [SECONDS] [--grow] [--corpus-only] [TARGET...]
#
# Each fuzzer runs SECONDS (default 60) over a temporary copy of its committed corpus
# (fuzz/TARGET/corpus), so the committed corpus stays as it is; --grow runs it on the
# committed corpus itself, which then keeps what the run added. --corpus-only runs every input
# of the committed corpus once and nothing else (the regression step of scripts/test.sh).
# Inputs that break a fuzzer are kept in build/linux-fuzz/findings/TARGET/. TARGET names
# limit the run to those fuzzers (answer, request, wire, host_string, profile).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
grow=0
corpus_only=0
targets=()
for argument in "$@"; do
  case "${argument}" in
    --grow) grow=1 ;;
    --corpus-only) corpus_only=1 ;;
    [0-9]*) seconds="${argument}" ;;
    -*) echo "fuzz.sh: unknown option ${argument}" >&2; exit 1 ;;
    *) targets+=("${argument}") ;;
  esac
done
if ((${#targets[@]} == 0)); then
  for list in fuzz/*/CMakeLists.txt; do targets+=("$(basename "$(dirname "${list}")")"); done
fi

bash scripts/install-deps.sh
cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz

bin=build/linux-fuzz/bin
work=$(mktemp -d)
# The harnesses' host profiles live in memory where there is such a folder: the host writes its
# INI file durably, and on a disk every such write waits.
fuzz_tmpdir=${TMPDIR:-/tmp}
if [[ -d /dev/shm ]]; then fuzz_tmpdir=/dev/shm; fi
trap 'rm -rf "${work}"' EXIT
passed=0
failed=0
for target in "${targets[@]}"; do
  corpus="fuzz/${target}/corpus"
  findings="build/linux-fuzz/findings/${target}"
  mkdir -p "${findings}"
  options=(-timeout=60 -rss_limit_mb=4096 -print_final_stats=1 "-artifact_prefix=${findings}/")
  if [[ -f "fuzz/${target}/${target}.dict" ]]; then options+=("-dict=fuzz/${target}/${target}.dict"); fi
  if ((corpus_only)); then
    options+=(-runs=0)
    corpora=("${corpus}")
  elif ((grow)); then
    options+=("-max_total_time=${seconds}")
    corpora=("${corpus}")
  else
    cp -r "${corpus}" "${work}/${target}"
    options+=("-max_total_time=${seconds}")
    corpora=("${work}/${target}")
  fi
  echo "=== fuzz_${target}"
  log="${work}/${target}.log"
  if TMPDIR="${fuzz_tmpdir}" "${bin}/fuzz_${target}" "${options[@]}" "${corpora[@]}" >"${log}" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    grep -E "invariant broken|ERROR:|runtime error|SUMMARY" "${log}" | head -n 5 || true
    echo "fuzz_${target} FAILED; input kept in ${findings}/, full log:"
    tail -n 40 "${log}"
  fi
  grep -E "^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)" "${log}" || true
done
echo "fuzz: ${passed} passed, ${failed} failed"
((failed == 0))
