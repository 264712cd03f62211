#!/usr/bin/env bash
# tallybox-cli against devices as they really talk: the simulated device in every dialect
# (nothing, a blank, CR LF or an erase to the end of the line after its prompt; replies ending
# in CR LF, LF or CR), each over four links: TCP in random pieces, TCP at 9600 baud, the serial
# debug port in random pieces with its banner and prompt already waiting when the port opens,
# and a debug port that neither echoes nor has anything waiting. N runs (default 3) of
# `version`, `registers` and a program round trip (a changed preset programmed and read back,
# then the original) on each. Prints how many runs of each succeeded and their median wall
# time, per link over all dialects. Then `registers` on the debug port against a device that
# leaves at "bye" without a word and one that answers it, both with their banner waiting, 5 N
# runs each, interleaved: their medians side by side. Then `registers` straight on the debug
# port's pseudo-terminal beside the same port behind the real ser2net's raw TCP port, 10 N runs
# each, interleaved, and how many "i900?" one run sends. Asserts nothing.
# Usage: bench/cli_links.sh [build folder] [runs] [ser2net]  (ser2net: that comparison alone)
set -euo pipefail
build="${1:-build}"
runs="${2:-3}"
only="${3:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

TALLYBOX_PASSWORD=bench python3 - "$build/app/tallybox-cli" "$build/sim/tallybox-sim" "$work" \
  "$runs" "$only" <<'PY'
import re, statistics, subprocess, sys, time
cli, sim, work, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
only = sys.argv[5]
afters = [("none", ""), ("blank", " "), ("CR LF", "\\r\\n"), ("ESC[K", "\\e[K")]
ends = ["crlf", "lf", "cr"]
links = [("TCP, random pieces", ["--split", "random", "--split", "24", "--split-gap", "5"]),
         ("TCP, 9600 baud", ["--baud", "9600"]),
         ("serial, banner waiting, random pieces",
          ["--serial", "--banner-on-open", "--split", "random", "--split", "24"]),
         ("serial, no echo, nothing waiting, random pieces",
          ["--serial", "--no-echo", "--split", "random", "--split", "24"])]
register_line = re.compile(r"^r\d+=")

def start(number, options):
    address = f"127.0.41.{number}"
    args = [sim, "--password", "bench", "--events", "700", "--text", "0", "--modem", "0", *options]
    if "--serial" not in options:
        args += ["--address", address]
    process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
    route = ["--host", address]
    for line in process.stdout:
        if line.startswith("tallybox-sim: serial debug terminal: "):
            route = ["--port", line.split(": ")[-1].strip()]
        if line.startswith("tallybox-sim: ready"):
            return process, route
    raise SystemExit(f"the simulator did not start: {args}")

def run(route, *args):
    start = time.perf_counter()
    done = subprocess.run([cli, *route, *args], capture_output=True, text=True)
    return done, (time.perf_counter() - start) * 1000

def round_trip(route, original, changed):
    there, ms1 = run(route, "program", changed)
    back, ms2 = run(route, "program", original)
    failed = there if there.returncode else back
    return there.returncode == 0 and back.returncode == 0, ms1 + ms2, failed

totals = {}
failures = []
number = 0
for link, options in ([] if only else links):
    results = totals.setdefault(link, {"version": [], "registers": [], "program round trip": []})
    for after_name, after in afters:
        for end in ends:
            number += 1
            process, route = start(number, [*options, "--after-prompt", after, "--eol", end])
            dialect = f"{link}; after the prompt {after_name}, lines end {end}"
            try:
                original, changed = f"{work}/original{number}.rgp", f"{work}/changed{number}.rgp"
                done, _ = run(route, "registers", original)
                if done.returncode != 0:
                    failures.append(f"{dialect}: reading the preset: {done.stderr.strip()}")
                    continue
                lines = open(original).read().splitlines()
                with open(changed, "w") as out:
                    out.write("\r\n".join("r100=77" if l.startswith("r100=") else l
                                          for l in lines) + "\r\n")
                for i in range(runs):
                    done, ms = run(route, "version")
                    checks = [("version", done.returncode == 0 and done.stdout.strip() == "1.00",
                               ms, done)]
                    done, ms = run(route, "registers")
                    got = done.stdout.splitlines()
                    checks.append(("registers", done.returncode == 0 and len(got) >= 30 and
                                   got[0] == "r100=42" and all(register_line.match(l) for l in got),
                                   ms, done))
                    checks.append(("program round trip", *round_trip(route, original, changed)))
                    for name, good, ms, done in checks:
                        results[name].append((good, ms))
                        if not good:
                            failures.append(f"{dialect}, run {i + 1}, {name}: "
                                            f"{done.stderr.strip() or done.stdout[:80]!r}")
            finally:
                process.terminate()
                process.wait()

for link, results in totals.items():
    print(f"{link} ({len(afters) * len(ends)} dialects x {runs} runs):")
    for name, rs in results.items():
        good = sum(1 for ok, _ in rs if ok)
        median = statistics.median(ms for _, ms in rs) if rs else 0
        print(f"  {name:20s} {good:3d}/{len(rs)} ok   median {median:8.1f} ms")
for failure in failures:
    print("  FAILED", failure)

# Both with their banner and prompt waiting at the open, so that neither waits for the port to
# fall quiet and what differs is the bye alone (the answered one would otherwise often find the
# end of its last session, prompt included, still in the port).
byes = [("bye silent", []), ("bye answered", ["--bye-prompt"])]
started = [] if only else [start(100 + i, ["--serial", "--banner-on-open", *options])
                           for i, (_, options) in enumerate(byes)]
times = {name: [] for name, _ in byes}
try:
    for i in range(0 if only else 5 * runs):
        for (name, _), (_, route) in zip(byes, started):
            done, ms = run(route, "registers")
            times[name].append(ms)
            if done.returncode != 0:
                print(f"  FAILED {name}, run {i + 1}: {done.stderr.strip()!r}")
finally:
    for process, _ in started:
        process.terminate()
        process.wait()
if not only:
    medians = {name: statistics.median(ms) for name, ms in times.items()}
    print(f"registers on the debug port, {5 * runs} runs each, interleaved:")
    for name, ms in times.items():
        print(f"  {name:14s} median {medians[name]:7.1f} ms   min {min(ms):7.1f}   "
              f"max {max(ms):7.1f}")
    print(f"  silent / answered: {medians['bye silent'] / medians['bye answered']:.2f}x")

# The same debug port straight and through a terminal server's raw port; a pause after each
# run lets ser2net give the terminal back before the next one opens it.
import os, shutil, socket
log = f"{work}/sim.log"
process, pty = start(200, ["--serial", "--log", log])
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
port = listener.getsockname()[1]
listener.close()
with open(f"{work}/ser2net.yaml", "w") as out:
    out.write(f"connection: &raw\n  accepter: tcp,127.0.0.1,{port}\n"
              f"  connector: serialdev,{pty[1]},115200n81,local\n")
server = subprocess.Popen([shutil.which("ser2net") or "/usr/sbin/ser2net", "-n", "-d", "-c",
                           f"{work}/ser2net.yaml", "-P", f"{work}/ser2net.pid"],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
time.sleep(0.5)
times = {"pseudo-terminal": [], "ser2net raw": []}
routes = {"pseudo-terminal": pty, "ser2net raw": ["--port", f"tcp://127.0.0.1:{port}"]}
try:
    for i in range(10 * runs):
        for name, route in routes.items():
            done, ms = run(route, "registers")
            times[name].append(ms)
            if done.returncode != 0:
                print(f"  FAILED {name}, run {i + 1}: {done.stderr.strip()!r}")
            time.sleep(0.3)
    count = lambda: sum(1 for line in open(log) if line.strip() == "i900?")
    before = count()
    run(pty, "registers")
    time.sleep(0.2)
    asked = count() - before
finally:
    server.terminate()
    server.wait()
    process.terminate()
    process.wait()
medians = {name: statistics.median(ms) for name, ms in times.items()}
print(f"registers on one debug port, {10 * runs} runs each, interleaved:")
for name, ms in times.items():
    print(f"  {name:16s} median {medians[name]:7.1f} ms   min {min(ms):7.1f}   max {max(ms):7.1f}")
print(f"  ser2net raw / pseudo-terminal: "
      f"{medians['ser2net raw'] / medians['pseudo-terminal']:.2f}x")
print(f"  \"i900?\" sent in one registers run: {asked}")
PY
