#!/bin/sh
# Runs one window test the way the page engine needs it headless: on the run's own X server
# (the display fixture leaves its number in $TALLYBOX_TEST_DISPLAY/display), else, as when
# the tests are only listed, on Qt's offscreen platform; with a private 0700 runtime folder,
# a UTF-8 locale, and no sandbox when running as root (it cannot start there).
runtime=$(mktemp -d "${TMPDIR:-/tmp}/tallybox-runtime-XXXXXX") || exit 1
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime" LANG=C.UTF-8
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
unset WAYLAND_DISPLAY
if [ -n "${TALLYBOX_TEST_DISPLAY:-}" ] && [ -s "$TALLYBOX_TEST_DISPLAY/display" ]; then
  export DISPLAY=":$(head -n1 "$TALLYBOX_TEST_DISPLAY/display")" QT_QPA_PLATFORM=xcb
else
  unset DISPLAY
  export QT_QPA_PLATFORM=offscreen
fi
"$@"
rc=$?
rm -rf "$runtime"
exit $rc
