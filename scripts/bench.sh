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
print("ms: activation / bare work / bare work with the same durable writes "
      "(host CPU: activation / durable bare work); x: activation over each baseline")
print(f"{'answer':>6} {'vars':>4} | {'wall ms':>20} {'x bare':>6} {'x dur':>5} | "
      f"{'CPU ms':>20} {'x bare':>6} {'x dur':>5} | {'host CPU ms':>13} {'vs parse+serialise':>18}")
for size in (1000, 16000, 48000):
    floor = get("ParseAndSerialise", size)
    for variables in (1, 20):
        a, b, d = (get(kind, size, variables) for kind in ("Activation", "Baseline", "DurableBaseline"))
        if not a or not b or not d or a.get("error_occurred"):
            print(f"{size:>6} {variables:>4} | (no result)")
            continue
        def cells(field):  # the benchmark reports microseconds
            return (f"{a[field]/1000:6.2f} /{b[field]/1000:5.2f} /{d[field]/1000:5.2f} "
                    f"{a[field]/b[field]:6.2f} {a[field]/d[field]:5.2f}")
        host = a["host_cpu"] * 1000.0
        print(f"{size:>6} {variables:>4} | {cells('real_time')} | {cells('cpu_time')} | "
              f"{host:5.2f} / {d['host_cpu'] * 1000:5.2f} {host / (floor['cpu_time']/1000.0):18.1f}")
PY
