#!/bin/sh
# Runs one test with a desktop's accessibility bus up, as a screen reader user's session has
# it: a private session bus, the AT-SPI bus and its registry, and Qt told to serve them from
# the start; on the run's display, as with_display.sh gives it. Listing the tests needs no bus.
display="$(dirname "$0")/with_display.sh"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
for arg in "$@"; do
  [ "$arg" = --gtest_list_tests ] && exec "$display" "$@"
done
exec "$display" dbus-run-session -- sh -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  tries=0
  until dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ $tries -gt 100 ] && { echo "with_accessibility_bus: no AT-SPI bus" >&2; exit 1; }
    sleep 0.1
  done
  "$@"
  rc=$?
  kill $launcher 2>/dev/null
  exit $rc' sh "$@"
