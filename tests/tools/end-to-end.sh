#!/usr/bin/env bash
# corvane-service and corvane-host as processes, as a user runs them: the host program loads the
# module, which talks to the service on loopback. Each case checks exit codes, what the programs
# print and the files the run leaves. Every program run is bounded by `timeout`.
# Usage: end-to-end.sh SERVICE_PROGRAM HOST_PROGRAM
set -uo pipefail
service_program=$1
host_program=$2
work=$(mktemp -d)
service_pid=
failures=0
case_name=
trap 'stop_service; rm -rf "$work"' EXIT

check() {  # check WHAT COMMAND...: a failing command fails the case and shows the last run
  local what=$1
  shift
  "$@" && return
  echo "FAILED: $case_name: $what"
  sed 's/^/  | /' "$work/out" "$work/err" "$work/service.log" 2>/dev/null
  failures=$((failures + 1))
}
has() { grep -qF -- "$2" "$1"; }
lacks() { ! grep -qF -- "$2" "$1"; }

start_service() {  # start_service [OPTION...]: sets $port
  "$service_program" "$@" >"$work/service.log" 2>"$work/service.err" &
  service_pid=$!
  port=
  for _ in $(seq 300); do  # up to 30 s: a loaded machine starts it slowly
    port=$(sed -n '1s/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/service.log")
    [[ -n $port ]] && return
    sleep 0.1
  done
  check "the service started" false
}
stop_service() {  # returns the service's exit status
  [[ -n $service_pid ]] || return 0
  kill -TERM "$service_pid"
  local status=0
  wait "$service_pid" || status=$?
  service_pid=
  return $status
}
host() {  # host ARGUMENT...: sets $status; output in $work/out and $work/err
  status=0
  timeout 30 "$host_program" "$@" >"$work/out" 2>"$work/err" || status=$?
}
new_case() {  # new_case NAME PORT: a fresh profile asking 127.0.0.1:PORT
  case_name=$1
  profile=$work/$1
  messages=$profile/base/components/messages
  host init "$profile" --url "http://127.0.0.1:$2/messages" --var CheckSum:cs --var App.Version=27
  check "init exits 0" test "$status" -eq 0
}
message_files() { find "$messages" -type f | wc -l; }
recorded() { sed -n 's/^CheckSum=//p' "$profile/data.ini"; }

# The first activation stores the set and records its checksum; the second, entered through
# the manager's entry and logging as JSON, sends it back and is answered with NoOperation.
start_service
new_case two-activations "$port"
host "$profile"
check "first run exits 0" test "$status" -eq 0
check "the request was sent" has "$work/out" "Sending the TSM request"
check "the answer was saved" has "$work/out" "Received the response and saved"
cp "$work/err" "$work/first.err"
host "$profile" --json --entry setup
check "second run exits 0" test "$status" -eq 0
check "JSON records with every field, the request among them" python3 -c '
import json, sys
records = [json.loads(line) for line in sys.stdin]
keys = {"level", "eventType", "file", "line", "function", "signature", "text"}
sys.exit(any(not keys <= set(r) for r in records)
         or "Sending the TSM request" not in [r["text"] for r in records])' <"$work/out"
check "nothing saved the second time" lacks "$work/out" "Received the response and saved"
check "no file written the second time" lacks "$work/err" "message file written"
sum=$(recorded)
file=$messages/${sum}WebTSMFile.xmf
check "a 16-digit checksum is recorded" grep -qxE '[0-9a-f]{16}' <<<"$sum"
check "the first request" has "$work/service.log" \
  "GET /messages?cs=0&App.Version=27 -> 200 2024-02-spring.xml, checksum $sum"
check "the second request" has "$work/service.log" \
  "GET /messages?cs=$sum&App.Version=27 -> 200 NoOperation"
check "one file, named after the checksum" test "$(message_files)" -eq 1 -a -f "$file"
check "its text survives" has "$file" "Bis Ende März für nur 49 €."
check "the file is reported" has "$work/first.err" "message file written: $file"
check "the checksum is reported" has "$work/err" "[WEBTSM] CheckSum = $sum"

# Three rounds in one process store once, then ask with the checksum; three overlapping calls in
# one round each close the exchange before them, and the last answer is stored.
new_case rounds "$port"
before=$(grep -c NoOperation "$work/service.log")
host "$profile" --rounds 3
check "rounds exit 0" test "$status" -eq 0
check "two NoOperation answers" test "$(grep -c NoOperation "$work/service.log")" -eq $((before + 2))
check "one file" test "$(message_files)" -eq 1
new_case overlapping-calls "$port"
host "$profile" --calls 3 --timeout-ms 5000
check "calls exit 0" test "$status" -eq 0
check "three requests" has "$work/err" "3 requests sent"
check "one file" test "$(message_files)" -eq 1
check "a checksum is recorded" test -n "$(recorded)"

# Host values of every kind the profile can give, each asked for by the placement configuration,
# reach the service as the module writes them (percent-encoded, text in UTF-8); a failed
# connection check is logged and the request still goes out.
new_case value-kinds "$port"
vars=()
for v in CheckSum:cs App.Version:i App.Big:l App.Ratio:r App.Beta:b Company.Name:n App.Wide:w \
  App.Null:z App.NullWide:y App.Unknown:u App.Empty:e App.Raw:q App.Failing:f Userpref_Region:p; do
  vars+=(--var "$v")
done
host init "$profile" --force --url "http://127.0.0.1:$port/messages" "${vars[@]}"
cat >"$profile/profile.json" <<'JSON'
{"launchApproval": true, "dataIniFile": "data.ini", "baseDirectory": "base",
 "evaluator": {"conditions": {"Browser.IsConnectionActive": {"result": null,
                                                             "failure": {"message": "offline"}}},
  "variables": {"App.Version": -27, "App.Big": 5000000000, "App.Ratio": -2.9, "App.Beta": false,
   "Company.Name": "A&B Ltd", "App.Wide": {"tag": "wideString", "value": "Zo\u00eb"},
   "App.Null": {"tag": "string", "value": null}, "App.NullWide": {"tag": "wideString", "value": null},
   "App.Unknown": {"tag": 4660, "value": 0}, "App.Empty": {"tag": "empty"},
   "App.Raw": {"tag": "uint64", "value": 7}, "App.Failing": {"tag": "int32", "value": 3,
                                                              "failure": {"code": 5}}}},
 "currentUser": {"preferenceStore": {"Userpref_Region": "north"}}}
JSON
host "$profile"
check "exits 0" test "$status" -eq 0
check "the failed connection check is logged" has "$work/out" "Error in active connection (offline)"
check "every value as the module writes it" has "$work/service.log" "GET /messages?cs=0&i=-27\
&l=705032704&r=-2&b=false&n=A%26B%20Ltd&w=Zo%C3%AB&z=&y=&u=value%20not%20found&e=&q=7\
&f=invalid%20variable&p=north -> 200"
check "the service ends 0 on SIGTERM" stop_service

# The service over HTTP on its own: 503 until its folder holds a set; any path gets the set
# unless the checksum parameter (percent-decoded; no other name counts) holds its checksum (its
# letters in the same case);
# parallel clients get whole answers; a port in use is refused.
case_name=service
mkdir "$work/sets"
start_service --folder "$work/sets" --checksum-param sum
get() { curl -s -o "$work/answer" -w '%{http_code}' --max-time 5 "http://127.0.0.1:$port$1"; }
check "503 without a set" test "$(get /)" = 503
printf '<Messages><M>first</M></Messages>' >"$work/sets/a.xml"
check "a set added is served" test "$(get '/any/path?sum=0')" = 200
sum=$(sed -n 's/.*Userpref_CheckSum="\([0-9a-f]*\)".*/\1/p' "$work/answer")
get "/?sum=%$(printf %02X "'${sum:0:1}")${sum:1}" >/dev/null
check "the percent-encoded current checksum" has "$work/answer" "<NoOperation/>"
get "/?cs=$sum" >/dev/null
check "another parameter does not count" has "$work/answer" "<M>first</M>"
get "/?sum=${sum^^}" >/dev/null
check "nor the checksum in upper case" has "$work/answer" "<M>first</M>"
curl -s --max-time 20 --parallel --parallel-immediate --parallel-max 8 \
  "http://127.0.0.1:$port/?sum=[1-40]" -o "$work/client#1"
check "40 parallel requests get whole answers" \
  test "$(grep -l '</WebControlMessage>' "$work"/client* | wc -l)" -eq 40
timeout 10 "$service_program" --port "$port" >"$work/out" 2>"$work/err"
check "a port in use exits 1" test $? -eq 1
check "a port in use is named" has "$work/err" "cannot bind 127.0.0.1:$port"
stop_service

# A slow answer: going to the background closes the exchange in flight; the time limit exits 4.
start_service --delay-ms 1500
new_case background "$port"
host "$profile" --background-after 200
check "background exits 0" test "$status" -eq 0
check "went to the background" has "$work/err" "went to the background"
check "no file" test "$(message_files)" -eq 0
new_case time-limit "$port"
host "$profile" --timeout-ms 300
check "time limit exits 4" test "$status" -eq 4
check "time limit reported" has "$work/err" "time limit passed"
stop_service

# Refused runs: exit code and message, nothing on stdout. A bad profile is reported before any
# module is looked at.
refused() {  # refused NAME EXIT_CODE MESSAGE PROFILE_JSON ARGUMENT...
  new_case "$1" "$port"
  local code=$2 message=$3
  printf '%s' "$4" >"$profile/profile.json"
  shift 4
  host "$profile" "$@"
  check "exits $code" test "$status" -eq "$code"
  check "says '$message'" has "$work/err" "$message"
  check "prints nothing on stdout" test ! -s "$work/out"
}
refused bad-profile 2 "profile.json: evaluator.variables.v.tag: must be an integer, not a number" \
  '{"evaluator": {"variables": {"v": {"tag": 1.5}}}}' --module /nonexistent/libCorvane.so
refused missing-module 3 "/nonexistent/libCorvane.so: cannot be loaded" '{}' \
  --module /nonexistent/libCorvane.so
refused unknown-option 1 "unknown option --colour" '{}' --colour

[[ $failures -eq 0 ]] && echo "end-to-end checks passed"
exit $((failures > 0))
