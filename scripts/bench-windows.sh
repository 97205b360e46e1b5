#!/usr/bin/env bash
# Measures one activation of Corvane.dll under Wine beside the same work done with
# synchronous WinINet and MSXML 6, in one run against the scripted test server (a Linux
# program on loopback), and prints the ratios only: times under Wine say little about Windows.
# Usage: scripts/bench.sh --windows [--repetitions N] [--iterations N]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target activation_bench_windows scripted_test_server_program

build=$PWD/build/windows
# The prefix is made once; the windows tests' first fixture does the same.
[[ -d $build/wineprefix ]] || "$build/wine-run.sh" --init

server=$build/host-bin/scripted_test_server
state=$(mktemp -d)
trap 'sh cmake/test-server.sh stop "$server" "$state/port" "$state/pid"; rm -rf "$state"' EXIT
sh cmake/test-server.sh start "$server" "$state/port" "$state/pid"
CORVANE_TEST_SERVER_PORT_FILE=$state/port \
  "$build/wine-run.sh" "$build/bin/activation_bench_windows.exe" "$@"
