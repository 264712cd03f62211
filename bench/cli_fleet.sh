#!/usr/bin/env bash
# Wall time and peak memory of `tallybox-cli fleet LIST registers DIR` over N simulated devices
# (default 100, each on its own loopback address 127.0.61.x), with --jobs 1 and --jobs 16 (or
# the counts given). Prints figures; asserts nothing beyond every device being done.
# Usage: bench/cli_fleet.sh [build folder] [devices] [jobs...]
set -euo pipefail
build="${1:-build}"
devices="${2:-100}"
shift $(($# > 2 ? 2 : $#))
jobs=("$@")
((${#jobs[@]})) || jobs=(1 16)
cli="$build/app/tallybox-cli"
sim="$build/sim/tallybox-sim"
work=$(mktemp -d)
pids=()
cleanup() {
  ((${#pids[@]})) && kill "${pids[@]}" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

for ((n = 1; n <= devices; n++)); do
  address=127.0.61.$n
  "$sim" --address "$address" --password bench --events 0 --text 0 --modem 0 >/dev/null &
  pids+=($!)
  echo "host $address" >>"$work/fleet.txt"
done
sleep 1

TALLYBOX_PASSWORD=bench python3 - "$cli" "$work" "$devices" "${jobs[@]}" <<'PY'
import os, subprocess, sys, time
cli, work, devices, jobs = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
for j in jobs:
    out = os.path.join(work, f"presets-{j}")
    start = time.perf_counter()
    child = subprocess.Popen([cli, "--jobs", j, "fleet", os.path.join(work, "fleet.txt"),
                              "registers", out], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    err = child.stderr.read().decode()
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    saved = len(os.listdir(out)) if os.path.isdir(out) else 0
    if os.waitstatus_to_exitcode(status) != 0 or saved != devices:
        sys.exit(f"--jobs {j}: exit {os.waitstatus_to_exitcode(status)}, {saved} presets\n{err}")
    print(f"registers over {devices} devices, --jobs {j:>3}: wall {wall * 1000:8.1f} ms   "
          f"peak RSS {usage.ru_maxrss / 1024:6.1f} MiB   cpu {(usage.ru_utime + usage.ru_stime) * 1000:7.1f} ms")
PY
