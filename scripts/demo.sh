#!/usr/bin/env bash
# The whole system in one command: installs what is missing, builds, starts the sample message
# service on loopback with the bundled message sets and runs the host program twice against a
# fresh profile. The first activation stores the message set and records its checksum; the
# second sends that checksum back and is answered with NoOperation.
#   --windows   the host program and Corvane.dll built with mingw-w64, run under Wine
#   --prebuilt  use the builds as they are: no package installation, no build
set -euo pipefail
cd "$(dirname "$0")/.."

windows=0
prebuilt=0
for argument in "$@"; do
  case "$argument" in
    --windows) windows=1 ;;
    --prebuilt) prebuilt=1 ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown argument $argument (see --help)" >&2; exit 1 ;;
  esac
done

step() { printf '\n== %s\n' "$*"; }

if ((!prebuilt)); then
  step "dependencies"
  bash scripts/install-deps.sh
  step "build (linux preset)"
  cmake --preset linux >/dev/null
  cmake --build --preset linux -j2 --target corvane-service corvane-host Corvane
  if ((windows)); then
    step "build (windows preset)"
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j2 --target corvane-host Corvane
    build/windows/wine-run.sh --init
  fi
fi
service_program=build/linux/bin/corvane-service
host=(build/linux/bin/corvane-host)
if ((windows)); then host=(build/windows/wine-run.sh build/windows/bin/corvane-host.exe); fi
for program in "$service_program" "${host[-1]}"; do
  if [[ ! -x "$program" && ! -f "$program" ]]; then
    echo "demo: $program is missing; run without --prebuilt to build it" >&2
    exit 1
  fi
done

work=$(mktemp -d)
service_pid=
cleanup() {
  if [[ -n "$service_pid" ]]; then
    kill -TERM "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

step "message service"
"$service_program" >"$work/service.log" 2>"$work/service.err" &
service_pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n '1s/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/service.log")
  [[ -n "$port" ]] && break
  sleep 0.1
done
if [[ -z "$port" ]]; then
  echo "demo: the service did not start" >&2
  cat "$work/service.err" >&2
  exit 1
fi
head -1 "$work/service.log"
url="http://127.0.0.1:$port/messages"

profile="$work/profile"
profile_argument="$profile"
if ((windows)); then profile_argument="Z:${profile//\//\\}"; fi
step "profile"
"${host[@]}" init "$profile_argument" --url "$url" \
  --var CheckSum:cs --var App.Version=27 --var Userpref_Region:region=north
echo "placement configuration:"
sed 's/^/  /' "$profile/base/components/PlacementConfiguration/TSMCnfg.XML"

recorded_checksum() { sed -n 's/^CheckSum=//p' "$profile/data.ini" | tr -d '\r'; }

activation() {
  local number=$1 requests_before
  requests_before=$(grep -c '^GET ' "$work/service.log" || true)
  step "activation $number"
  "${host[@]}" "$profile_argument"
  new_requests() { awk -v skip="$requests_before" '/^GET /{ if (++seen > skip) print }' "$work/service.log"; }
  echo "-- request sent:   $(new_requests | awk -v base="http://127.0.0.1:$port" '{ print base $2 }')"
  echo "-- service answer: $(new_requests | sed 's/^GET [^ ]* -> //')"
  echo "-- message files:  $(cd "$profile/base/components/messages" && ls -1 | tr '\n' ' ')"
  echo "-- recorded [WEBTSM] CheckSum: $(recorded_checksum)"
}

activation 1
checksum=$(recorded_checksum)
file="$profile/base/components/messages/${checksum}WebTSMFile.xmf"
if [[ -z "$checksum" || ! -f "$file" ]]; then
  echo "demo: the first activation stored no message set" >&2
  exit 1
fi
echo "-- file written: $file ($(wc -c <"$file") bytes), beginning:"
head -c 300 "$file" | sed 's/^/     /'
echo

activation 2
if ! tail -1 "$work/service.log" | grep -q "?cs=$checksum.* -> 200 NoOperation"; then
  echo "demo: the second activation was not answered with NoOperation" >&2
  exit 1
fi

step "done: the second request sent checksum $checksum back and was answered with NoOperation"
