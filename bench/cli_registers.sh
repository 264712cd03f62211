#!/usr/bin/env bash
# Wall time of `tallybox-cli registers` against the simulated device on loopback, N runs in a
# row (default 100), beside the program's own start-up: `--help` runs and connects to a
# loopback address where nothing listens. Prints medians; asserts nothing.
# Usage: bench/cli_registers.sh [build folder] [runs]
# TALLYBOX_CLI_UNDER_TEST times another command instead ("wine …/tallybox-cli.exe").
set -euo pipefail
build="${1:-build}"
runs="${2:-100}"
cli="${TALLYBOX_CLI_UNDER_TEST:-$build/app/tallybox-cli}"
sim="$build/sim/tallybox-sim"
address=127.0.40.250
closed=127.0.40.251

"$sim" --address "$address" --password bench --events 0 --text 0 --modem 0 >/dev/null &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
sleep 0.3

TALLYBOX_PASSWORD=bench python3 - "$cli" "$address" "$closed" "$runs" <<'PY'
import statistics, subprocess, sys, time
cli, address, closed, runs = sys.argv[1].split(), sys.argv[2], sys.argv[3], int(sys.argv[4])

def median_ms(args, expect):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        done = subprocess.run(cli + args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append((time.perf_counter() - start) * 1000)
        if done.returncode != expect:
            sys.exit(f"{' '.join(args)} ended with {done.returncode}, not {expect}")
    return statistics.median(times), min(times), max(times)

for label, args, expect in [
        ("registers", ["--host", address, "registers"], 0),
        ("--help (start-up only)", ["--help"], 0),
        ("connect refused (start-up + connect)", ["--host", closed, "version"], 1)]:
    median, low, high = median_ms(args, expect)
    print(f"{label:40s} median {median:7.2f} ms   min {low:7.2f}   max {high:7.2f}   ({runs} runs)")
PY
