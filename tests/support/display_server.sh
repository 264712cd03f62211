#!/bin/sh
# The window tests' X server: one per ctest run, started by the display fixture's set-up test
# and stopped by its clean-up test, or when ctest itself ends should the run be interrupted.
# The server picks a free display number itself (-displayfd), so runs side by side on one
# machine never share one; -noreset keeps it from resetting whenever its last client leaves,
# which drops a client that connects in that moment ("could not connect to display").
# usage: display_server.sh start|stop <state folder>; the number goes to <state folder>/display.
set -eu
action=$1
state=$2

stop_server() {
  [ -f "$state/pid" ] || return 0
  pid=$(cat "$state/pid")
  rm -f "$state/pid" "$state/display"
  # The pid is the one this script started, unless that server is long gone.
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] && kill "$pid" 2>/dev/null
  return 0
}

start_server() {
  stop_server
  mkdir -p "$state"
  : >"$state/display"
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x1024x24 \
    3>"$state/display" </dev/null >"$state/server.log" 2>&1 &
  server=$!
  echo "$server" >"$state/pid"
  # The number is written with its line end once the server accepts connections.
  tries=0
  until [ "$(wc -l <"$state/display")" -ge 1 ]; do
    if ! kill -0 "$server" 2>/dev/null || [ $tries -ge 300 ]; then
      echo "display_server: Xvfb did not start" >&2
      cat "$state/server.log" >&2
      stop_server
      exit 1
    fi
    tries=$((tries + 1))
    sleep 0.05
  done
  # ctest (this script's parent) ending without the clean-up test takes the server with it.
  watched=$PPID
  (while kill -0 "$server" 2>/dev/null; do
     kill -0 "$watched" 2>/dev/null || { kill "$server"; break; }
     sleep 2
   done) </dev/null >/dev/null 2>&1 &
  echo "display_server: Xvfb on :$(head -n1 "$state/display")"
}

case $action in
  start) start_server ;;
  stop) stop_server ;;
  *) echo "usage: $0 start|stop <state folder>" >&2; exit 2 ;;
esac
