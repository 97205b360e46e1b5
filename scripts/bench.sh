#!/usr/bin/env bash
# Measures one activation through libCorvane.so beside the bare work it must do, in one run
# against the same loopback server, and prints the ratios: wall time, CPU of all threads, and
# CPU of the host thread against libxml2's parse and serialisation of the same answer and
# against that answer's durable store alone (no GET).
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
# Separate runs of one repetition each, their medians taken here: Google Benchmark 1.7.1
# crashes computing the statistics of repetitions when only some of them failed, and a
# failed case is to be reported, not to end the run.
runs=${CORVANE_BENCH_RUNS:-3}
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
for run in $(seq "$runs"); do
  build/linux-bench/bin/activation_bench --benchmark_format=json "$@" >"$results/$run.json"
done

python3 - "$results" <<'PY'
import glob, json, re, statistics, sys
samples, failures = {}, {}
for path in sorted(glob.glob(sys.argv[1] + "/*.json")):
    for b in json.load(open(path))["benchmarks"]:
        name = re.sub(r"/(process_time|real_time)", "", b["run_name"])
        if b.get("error_occurred"):
            failures.setdefault(name, []).append(b.get("error_message", "failed"))
        else:
            samples.setdefault(name, []).append(b)
runs = {name: {field: statistics.median(s[field] for s in sampled)
               for field in ("real_time", "cpu_time", "host_cpu") if field in sampled[0]}
        for name, sampled in samples.items()}
def get(kind, size, variables=None):
    key = f"BM_{kind}/bytes:{size}/variables:{variables}" if variables else f"BM_{kind}/{size}"
    return runs.get(key)
print("ms: activation / bare work / bare work with the same durable writes "
      "(host CPU: activation / durable bare work); x: activation over each baseline")
print(f"{'answer':>6} {'vars':>4} | {'wall ms':>20} {'x bare':>6} {'x dur':>5} | "
      f"{'CPU ms':>20} {'x bare':>6} {'x dur':>5} | {'host CPU ms':>13} {'vs parse+serialise':>18} "
      f"{'vs store alone':>14}")
for size in (1000, 16000, 48000):
    floor, store = get("ParseAndSerialise", size), get("StoreAlone", size)
    for variables in (1, 20):
        a, b, d = (get(kind, size, variables) for kind in ("Activation", "Baseline", "DurableBaseline"))
        if not a or not b or not d:
            print(f"{size:>6} {variables:>4} | (no result)")
            continue
        def cells(field):  # the benchmark reports microseconds
            return (f"{a[field]/1000:6.2f} /{b[field]/1000:5.2f} /{d[field]/1000:5.2f} "
                    f"{a[field]/b[field]:6.2f} {a[field]/d[field]:5.2f}")
        host = a["host_cpu"] * 1000.0
        print(f"{size:>6} {variables:>4} | {cells('real_time')} | {cells('cpu_time')} | "
              f"{host:5.2f} / {d['host_cpu'] * 1000:5.2f} {host / (floor['cpu_time']/1000.0):18.1f} "
              f"{host / (store['cpu_time']/1000.0):14.1f}")
for name, messages in sorted(failures.items()):
    print(f"{name}: failed in {len(messages)} of the runs: {'; '.join(sorted(set(messages)))}")
PY
