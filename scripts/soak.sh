#!/usr/bin/env bash
# Soak: many activations in one corvane-host process under the sanitizers, against the sample
# service on loopback, with "going to the background" delivered at a random moment of every
# round. The service is asked under a checksum parameter it does not read, so every round
# stores the set and records its checksum again. Passes when the run finishes, no sanitizer
# reports anything, no host-string block is alive at the end, and the process has as many
# descriptors and threads after the module is unloaded as before it was loaded.
# Usage: scripts/soak.sh [ASAN_ROUNDS [TSAN_ROUNDS]]   (defaults 10000 and 2000; 0 skips one)
set -euo pipefail
cd "$(dirname "$0")/.."

asan_rounds=${1:-10000}
tsan_rounds=${2:-2000}
bash scripts/install-deps.sh

work=$(mktemp -d)
service_pid=
cleanup() {
  if [[ -n "$service_pid" ]]; then kill -TERM "$service_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

soak() {
  local preset=$1 rounds=$2 build=build/$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 --target corvane-service corvane-host Corvane >/dev/null
  "$build/bin/corvane-service" --delay-ms 2 >"$work/service.log" 2>"$work/service.err" &
  service_pid=$!
  local port=
  for _ in $(seq 100); do
    port=$(sed -n '1s/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/service.log")
    [[ -n "$port" ]] && break
    sleep 0.1
  done
  [[ -n "$port" ]] || { echo "soak: the service did not start" >&2; cat "$work/service.err" >&2; exit 1; }
  local profile="$work/profile-$preset"
  "$build/bin/corvane-host" init "$profile" --url "http://127.0.0.1:$port/messages" \
    --var CheckSum:sent --var App.Version=27 >/dev/null
  local start=$SECONDS status=0
  # The host's own excused races, as in the test suite.
  export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp"
  "$build/bin/corvane-host" run "$profile" --rounds "$rounds" --background-within 20 \
    --quiet-ms 10 --timeout-ms 10000 >/dev/null 2>"$work/host.err" || status=$?
  local seconds=$((SECONDS - start))
  kill -TERM "$service_pid"; wait "$service_pid" 2>/dev/null || true; service_pid=

  local sent completions background sanitizer
  read -r sent completions background < <(sed -n \
    's/^corvane-host: [0-9]* rounds: \([0-9]*\) requests sent, \([0-9]*\) completions, \([0-9]*\) went .*/\1 \2 \3/p' \
    "$work/host.err")
  sanitizer=$(grep -cE '^(==[0-9]+==ERROR|WARNING: ThreadSanitizer|SUMMARY: (Address|Leak|Thread|UndefinedBehavior)Sanitizer)|runtime error:' "$work/host.err" || true)
  local process memory
  process=$(sed -n 's/^corvane-host: process: //p' "$work/host.err")
  memory=$(sed -n 's/^corvane-host: host string memory: //p' "$work/host.err")
  printf '%-10s %6d rounds in %4d s: %d requests, %d completions, %d backgrounds; exit %d; sanitizer reports %d\n' \
    "$preset" "$rounds" "$seconds" "$sent" "$completions" "$background" "$status" "$sanitizer"
  printf '%-10s process: %s\n%-10s host strings: %s\n' "$preset" "$process" "$preset" "$memory"
  local failed=0
  ((status == 0)) || failed=1
  ((sanitizer == 0)) || failed=1
  [[ "$memory" == "0 blocks "* ]] || failed=1
  if [[ "$process" =~ ^([0-9]+)\ descriptors\ and\ ([0-9]+)\ threads.*,\ ([0-9]+)\ and\ ([0-9]+)\ after ]]; then
    # ThreadSanitizer's runtime starts a thread of its own with the process's first thread
    # and keeps it; it is the one extra thread a TSan build may show.
    local runtime_threads=0
    [[ "$preset" == linux-tsan ]] && runtime_threads=1
    [[ "${BASH_REMATCH[1]}" == "${BASH_REMATCH[3]}" &&
       $((BASH_REMATCH[2] + runtime_threads)) -ge "${BASH_REMATCH[4]}" ]] || failed=1
  else
    failed=1
  fi
  if ((failed)); then
    echo "soak: $preset failed; the host's last lines:" >&2
    grep -v ': round [0-9]*:' "$work/host.err" | tail -40 >&2
    return 1
  fi
}

result=0
if ((asan_rounds > 0)); then soak linux-asan "$asan_rounds" || result=1; fi
if ((tsan_rounds > 0)); then soak linux-tsan "$tsan_rounds" || result=1; fi
exit $result
