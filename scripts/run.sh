#!/usr/bin/env bash
# Builds Setup.exe and runs it under Wine in a fresh prefix, then prints its log and what got installed.
#   run.sh              with a display ($DISPLAY): the wizard on that display;
#                       without one: an unattended installation (/passive)
#   run.sh ARGUMENTS    Setup.exe with these arguments (e.g. /clean, /x, ADDLOCAL=MainFeature,FeatureFax /qn)
# The stand-in prerequisite installers of the tests are offered in REDISTDIR, so that nothing is downloaded.
# KEEP_PREFIX=1 keeps the Wine prefix for a look afterwards.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" win64

work="$(mktemp -d /tmp/kelvaro-setup.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
# The prefix is removed at the end unless KEEP_PREFIX=1.
[ "${KEEP_PREFIX:-0}" = 1 ] || trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
win() { echo "Z:$(realpath -m "$1" | sed 's|/|\\|g')"; }
echo "Wine prefix: $WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
# Wine's own Tahoma, which the wizard's dialog font and link control map to.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" ||
    { echo "Wine's fonts are missing: install the Debian package fonts-wine" >&2; exit 1; }

mkdir -p "$work/media/redist"
cp "$build/win64/Setup.exe" "$work/media/Setup.exe"
for exe in NDP472-KB4054530-x86-x64-AllOS-ENU.exe gs950w64.exe eDocPrintPro_x64.exe; do
    cp "$build/win64/tools/fakeinstaller.exe" "$work/media/redist/$exe"
done

args=("$@")
if [ "${#args[@]}" -eq 0 ]; then
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        echo "Showing the wizard on display $DISPLAY"
    else
        echo "No display: unattended installation (/passive)"
        args=(/passive)
    fi
fi
out=$(wine "$build/win64/tools/runexe.exe" "$(win "$work/media/Setup.exe")" "${args[@]}" 2>/dev/null || true)
wineserver -w
echo "$out"

log=$(find "$WINEPREFIX/drive_c/users" -path '*/Temp/KELVARO GmbH/Setup/logs/Setup.log' | head -n 1)
echo "== $log"
[ -n "$log" ] && tr -d '\r' <"$log"
echo "== installed files"
ls -1 "$WINEPREFIX/drive_c/Program Files/KELVARO/VOV Client" 2>/dev/null || echo "(none)"
echo "== HKLM\\SOFTWARE\\KELVARO\\VOV Client"
values=$(wine reg query 'HKLM\SOFTWARE\KELVARO\VOV Client' 2>/dev/null | tr -d '\r' | grep REG_ || true)
echo "${values:-(none)}"
wineserver -w
echo "== prerequisite installers started"
calls="$WINEPREFIX/drive_c/prereq-calls.log"
if [ -f "$calls" ]; then tr -d '\r' <"$calls"; else echo "(none)"; fi
