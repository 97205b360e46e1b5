#!/bin/sh
# Starts or stops a test server program for the Windows tests under Wine. The program writes
# its port to PORT-FILE once it serves; start waits for that (10 s at most).
#   test-server.sh start|stop SERVER-PROGRAM PORT-FILE PID-FILE
set -eu
action=$1 program=$2 port_file=$3 pid_file=$4
case "$action" in
  start)
    rm -f "$port_file"
    "$program" "$port_file" </dev/null >/dev/null 2>&1 &
    echo $! >"$pid_file"
    i=0
    while [ ! -s "$port_file" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    [ -s "$port_file" ]
    ;;
  stop)
    if [ -s "$pid_file" ]; then kill "$(cat "$pid_file")" 2>/dev/null || true; fi
    rm -f "$pid_file" "$port_file"
    ;;
esac
