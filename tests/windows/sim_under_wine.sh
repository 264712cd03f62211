#!/usr/bin/env bash
# tallybox-sim.exe under Wine plays the device for tallybox-cli.exe: the registers, a program
# round trip, JSON, a wrong password, the COM port list; Ctrl+C stops it cleanly; and it
# refuses the serial port, which needs a pseudo-terminal.
# Usage: sim_under_wine.sh <wine> <tallybox-sim.exe> <tallybox-cli.exe>
set -euo pipefail
wine=$1 sim=$2 cli=$3
address=127.0.48.1
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

"$wine" "$sim" --address $address --password sesame --events 0 --text 0 --modem 0 \
  >"$work/sim.out" 2>&1 &
pid=$!
for _ in $(seq 100); do grep -q 'ready' "$work/sim.out" && break; sleep 0.1; done
grep -q 'tallybox-sim: listening on 127.0.48.1:6024' "$work/sim.out" || fail "no listener"

export TALLYBOX_PASSWORD=sesame
[ "$("$wine" "$cli" --host $address version)" = "1.00" ] || fail "version"
"$wine" "$cli" --host $address registers "$work/saved.rgp" || fail "registers"
sed -i 's/^r101=0\r$/r101=4242\r/' "$work/saved.rgp"
"$wine" "$cli" --host $address program "$work/saved.rgp" || fail "program"
"$wine" "$cli" --host $address registers | grep -qx 'r101=4242' || fail "read back"
"$wine" "$cli" --host $address --json status | grep -q '"i100": "TB-204871"' || fail "json"
set +e
TALLYBOX_PASSWORD=wrong "$wine" "$cli" --host $address version 2>/dev/null
[ $? -eq 4 ] || fail "a wrong password does not end with 4"
set -e

# The COM ports Windows knows: nine lines whatever the machine has.
[ "$("$wine" "$cli" ports | grep -c '^COM[1-9] ')" = 9 ] || fail "ports"

kill -INT $pid
wait $pid || fail "the simulator did not stop cleanly"
tail -1 "$work/sim.out" | tr -d '\r' | grep -qx 'tallybox-sim: stopped' || fail "no stop report"
if "$wine" "$sim" --serial >"$work/serial.out" 2>&1; then fail "a serial port without a terminal"; fi
grep -q 'needs a pseudo-terminal' "$work/serial.out" || fail "no reason for the refusal"
echo "tallybox-sim.exe and tallybox-cli.exe agree under Wine"
