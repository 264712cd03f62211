#!/bin/sh
# Runs one window test the way the page engine needs it headless: a private 0700 runtime
# folder, a UTF-8 locale, no sandbox when running as root (it cannot start there), and a
# virtual X server when no display is set.
runtime=$(mktemp -d "${TMPDIR:-/tmp}/tallybox-runtime-XXXXXX") || exit 1
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime" LANG=C.UTF-8
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
if [ -z "${DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  set -- xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
fi
"$@"
rc=$?
rm -rf "$runtime"
exit $rc
