#!/usr/bin/env bash
# Wall time of `tallybox-cli registers` on the simulator's serial debug port, in the same run:
# straight on its pseudo-terminal, and through ser2net in front of that terminal as raw TCP
# and as telnet with RFC 2217. N runs each (default 30), a pause between runs so ser2net has
# let the terminal go. Prints medians; asserts nothing.
# Usage: bench/cli_netserial.sh [build folder] [runs]
set -euo pipefail
build="${1:-build}"
runs="${2:-30}"
cli="$build/app/tallybox-cli"
sim="$build/sim/tallybox-sim"
address=127.0.132.250
work=$(mktemp -d)

"$sim" --serial --events 0 --text 0 --modem 0 >"$work/sim.out" &
sim_pid=$!
trap 'kill "$sim_pid" ${ser2net_pid:-} 2>/dev/null; wait 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do grep -q 'serial debug terminal' "$work/sim.out" && break; sleep 0.1; done
pty=$(sed -n 's/.*serial debug terminal: //p' "$work/sim.out")

cat >"$work/ser2net.yaml" <<YAML
connection: &raw
  accepter: tcp,$address,7101
  connector: serialdev,$pty,115200n81,local
connection: &rfc2217
  accepter: telnet(rfc2217),tcp,$address,7102
  connector: serialdev,$pty,115200n81,local
YAML
# Where only loopback is up (a network namespace of its own) ser2net needs the tests' shim
# to listen at all.
shim="$build/tests/transport/libaddrconfig_shim.so"
[ -f "$shim" ] && export LD_PRELOAD="$PWD/$shim"
ser2net -n -u -c "$work/ser2net.yaml" -P "$work/ser2net.pid" 2>/dev/null &
ser2net_pid=$!
unset LD_PRELOAD
sleep 0.5

python3 - "$cli" "$pty" "$address" "$runs" <<'PY'
import statistics, subprocess, sys, time
cli, pty, address, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
routes = [("pseudo-terminal, direct", pty),
          ("ser2net raw TCP", f"tcp://{address}:7101"),
          ("ser2net telnet RFC 2217", f"rfc2217://{address}:7102")]
times = {label: [] for label, _ in routes}
# Interleaved, so a change of load on the machine falls on all three alike.
for _ in range(runs):
    for label, port in routes:
        start = time.perf_counter()
        done = subprocess.run([cli, "--port", port, "registers"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
        times[label].append((time.perf_counter() - start) * 1000)
        if done.returncode != 0:
            sys.exit(f"{port}: ended with {done.returncode}: {done.stderr.decode().strip()}")
        time.sleep(0.15)
for label, t in times.items():
    print(f"registers, {label:26s} median {statistics.median(t):7.2f} ms   "
          f"min {min(t):7.2f}   max {max(t):7.2f}   ({runs} runs)")
PY
