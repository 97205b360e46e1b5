#!/bin/sh
# Starts or stops a test server program for the Windows tests under Wine. The program writes
# its port to PORT-FILE once it serves; start waits for that (10 s at most). A server that an
# earlier start left running (ctest --repeat runs the setup again, an interrupted run never
# stopped it) is stopped first, so that none is left behind.
#   test-server.sh start|stop SERVER-PROGRAM PORT-FILE PID-FILE
set -eu
action=$1 program=$2 port_file=$3 pid_file=$4

# Stops the server that the pid file names, if that process still runs this program (a
# stale file may name a process id that another program has since).
stop_recorded() {
  if [ -s "$pid_file" ]; then
    pid=$(cat "$pid_file")
    if [ -r "/proc/$pid/cmdline" ] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF "$program"; then
      kill "$pid" 2>/dev/null || true
      i=0
      while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    fi
  fi
  rm -f "$pid_file" "$port_file"
}

case "$action" in
  start)
    stop_recorded
    "$program" "$port_file" </dev/null >/dev/null 2>&1 &
    echo $! >"$pid_file"
    i=0
    while [ ! -s "$port_file" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    [ -s "$port_file" ]
    ;;
  stop)
    stop_recorded
    ;;
esac
