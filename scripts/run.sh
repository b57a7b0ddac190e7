#!/usr/bin/env bash
# Builds Setup.exe and runs it under Wine in a fresh prefix with the given arguments, then prints its log.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" win64
prefix="$(mktemp -d /tmp/kelvaro-setup-prefix.XXXXXX)"
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
echo "Wine prefix: $prefix"
wineboot -i >/dev/null 2>&1 || true
out=$(wine "$build/win64/tools/runexe.exe" "$(echo "Z:$build/win64/Setup.exe" | sed 's|/|\\|g')" "$@" 2>/dev/null || true)
wineserver -w
echo "$out"
log=$(find "$prefix/drive_c/users" -path '*/Temp/KELVARO GmbH/Setup/logs/Setup.log' | head -n 1)
echo "== $log"
[ -n "$log" ] && tr -d '\r' <"$log"
