#!/usr/bin/env bash
# Measures one activation through libCorvane.so beside the bare work it must do, in one run
# against the same loopback server, and prints the ratios: wall time, CPU of all threads, and
# CPU of the host thread against libxml2's parse and serialisation of the same answer.
# Usage: scripts/bench.sh [extra Google Benchmark options]
#        scripts/bench.sh --windows [options]: Corvane.dll under Wine (scripts/bench-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ${1:-} == --windows ]]; then
  shift
  exec bash scripts/bench-windows.sh "$@"
fi

bash scripts/install-deps.sh
cmake --preset linux-bench >/dev/null
cmake --build --preset linux-bench --target activation_bench
results=$(mktemp)
trap 'rm -f "$results"' EXIT
build/linux-bench/bin/activation_bench --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_format=json "$@" >"$results"

python3 - "$results" <<'PY'
import json, re, sys
runs = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    name = re.sub(r"/(process_time|real_time|repeats:\d+)", "", b["run_name"])
    runs[name] = b
def get(kind, size, variables=None):
    key = f"BM_{kind}/bytes:{size}/variables:{variables}" if variables else f"BM_{kind}/{size}"
    return runs.get(key)
print(f"{'answer':>8} {'vars':>4} | {'wall ms':>15} {'ratio':>5} | {'CPU ms':>13} {'ratio':>5} | "
      f"{'host CPU ms':>13} {'vs parse+serialise':>18}")
for size in (1000, 16000, 48000):
    floor = get("ParseAndSerialise", size)
    for variables in (1, 20):
        a, b = get("Activation", size, variables), get("Baseline", size, variables)
        if not a or not b or a.get("error_occurred"):
            print(f"{size:>8} {variables:>4} | (no result)")
            continue
        ms = lambda run, field: run[field] / 1000.0  # the benchmark reports microseconds
        host = a["host_cpu"] * 1000.0
        print(f"{size:>8} {variables:>4} | {ms(a,'real_time'):6.2f} / {ms(b,'real_time'):6.2f} "
              f"{a['real_time']/b['real_time']:5.2f} | {ms(a,'cpu_time'):5.2f} / {ms(b,'cpu_time'):5.2f} "
              f"{a['cpu_time']/b['cpu_time']:5.2f} | {host:5.2f} / {b['host_cpu']*1000:5.2f} "
              f"{host / (floor['cpu_time']/1000.0):18.1f}")
PY
