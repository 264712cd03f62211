#!/usr/bin/env bash
# The settings store and the version resources as Windows' own tools see them, under Wine:
# what the store writes is what "reg query" shows under HKCU\Software\Orvane\TallyboxUtility
# (REG_SZ, REG_DWORD), what "reg add" puts there is what the store reads, and each program
# reads the version from its own resource.
# Usage: registry_under_wine.sh <wine> <settings_probe.exe> <tallybox-cli.exe> <tallybox-sim.exe> <version>
set -euo pipefail
wine=$1 probe=$2 cli=$3 sim=$4 version=$5
key='HKCU\Software\Orvane\TallyboxUtility'
fail() { echo "FAILED: $*" >&2; exit 1; }
# One line each, without the CRs and the indent; reg query separates its columns by four blanks.
lines() { tr -d '\r' | sed 's/^ *//; s/    /|/g'; }
expect_line() { grep -qxF -- "$2" <<<"$1" || fail "no line '$2' in: $1"; }

"$wine" reg delete "$key" /f >/dev/null 2>&1 || true
"$wine" "$probe" session 'C:\Presets\a.rgp' 'Tallybox (simulated)' 3 127.0.0.2 1 >/dev/null
shown=$("$wine" reg query "$key" | lines)
for line in 'RegisterFilename|REG_SZ|C:\Presets\a.rgp' 'Connection|REG_SZ|Tallybox (simulated)' \
  'ComPort|REG_DWORD|0x3' 'IP|REG_SZ|127.0.0.2' 'Method|REG_DWORD|0x1'; do
  expect_line "$shown" "$line"
done

"$wine" reg add "$key" /v IP /t REG_SZ /d 127.0.0.9 /f >/dev/null
"$wine" reg add "$key" /v ComPort /t REG_DWORD /d 7 /f >/dev/null
read=$("$wine" "$probe" session x y 0 z 0 | lines)
for line in 'RegisterFilename=C:\Presets\a.rgp' 'Connection=Tallybox (simulated)' 'ComPort=7' \
  'IP=127.0.0.9' 'Method=1'; do
  expect_line "$read" "$line"
done

texts=$("$wine" "$probe" version "$cli" | lines)
expect_line "$texts" 'Tallybox Utility command line'
expect_line "$texts" "$version"
LC_ALL=C grep -q $'^Copyright \xa9 20[0-9][0-9] Orvane' <<<"$texts" || fail "copyright: $texts"
[ "$("$wine" "$cli" --version | lines)" = "tallybox-cli $version" ] || fail "tallybox-cli --version"
[ "$("$wine" "$sim" --version | lines)" = "tallybox-sim $version" ] || fail "tallybox-sim --version"
"$wine" reg delete "$key" /f >/dev/null
echo "the registry and the version resources agree with Wine's own tools"
