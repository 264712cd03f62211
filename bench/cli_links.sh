#!/usr/bin/env bash
# tallybox-cli on slow and broken-up links: against the simulated device at `--split random`
# and at `--baud 9600`, N runs (default 20) each of `version`, `registers` and a program round
# trip (a changed preset programmed and read back, then the original). Prints how many runs
# of each succeeded and their median wall time; asserts nothing.
# Usage: bench/cli_links.sh [build folder] [runs]
set -euo pipefail
build="${1:-build}"
runs="${2:-20}"
cli="$build/app/tallybox-cli"
sim="$build/sim/tallybox-sim"
work="$(mktemp -d)"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

start_sim() {  # address, options...
  local address="$1"
  shift
  "$sim" --address "$address" --password bench --events 700 --text 0 --modem 0 "$@" >/dev/null &
  pids+=($!)
}
start_sim 127.0.41.1 --split random --split 24 --split-gap 5
start_sim 127.0.41.2 --baud 9600
sleep 0.3

TALLYBOX_PASSWORD=bench python3 - "$cli" "$work" "$runs" <<'PY'
import statistics, subprocess, sys, time
cli, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])

def run(address, *args):
    start = time.perf_counter()
    done = subprocess.run([cli, "--host", address, *args], capture_output=True, text=True)
    return done, (time.perf_counter() - start) * 1000

for label, address in [("--split random --split 24 --split-gap 5", "127.0.41.1"),
                       ("--baud 9600", "127.0.41.2")]:
    original, changed = f"{work}/original.rgp", f"{work}/changed.rgp"
    done, _ = run(address, "registers", original)
    assert done.returncode == 0, done.stderr
    lines = open(original).read().splitlines()
    with open(changed, "w") as out:
        out.write("\r\n".join("r100=77" if l.startswith("r100=") else l for l in lines) + "\r\n")
    results = {"version": [], "registers": [], "program round trip": []}
    failures = []
    for i in range(runs):
        done, ms = run(address, "version")
        ok = done.returncode == 0 and done.stdout.strip() == "1.00"
        results["version"].append((ok, ms))
        done, ms = run(address, "registers")
        ok = done.returncode == 0 and "r100=" in done.stdout and done.stdout.count("\n") >= 30
        results["registers"].append((ok, ms))
        there, ms1 = run(address, "program", changed)
        back, ms2 = run(address, "program", original)
        ok = there.returncode == 0 and back.returncode == 0
        results["program round trip"].append((ok, ms1 + ms2))
        for name, (good, _) in ((n, r[-1]) for n, r in results.items()):
            if not good:
                failures.append(f"run {i + 1} {name}: {done.stderr.strip() or there.stderr.strip() or back.stderr.strip()}")
    print(f"{label}:")
    for name, rs in results.items():
        good = sum(1 for ok, _ in rs if ok)
        print(f"  {name:20s} {good:3d}/{len(rs)} ok   median {statistics.median(ms for _, ms in rs):8.1f} ms")
    for failure in failures:
        print("  FAILED", failure)
PY
