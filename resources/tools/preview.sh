#!/bin/bash
# Builds the dialog preview tool with the wizard resources, runs it under Wine on a
# private Xvfb display and writes one screenshot per page and scene:
#   OUTDIR/<lang>-<scene>.png  and  OUTDIR/fit-<lang>.txt (text-fit measurements)
# Usage: preview.sh OUTDIR [LANG...]     (default languages: en de fr nl)
# Exit status: 0 when every text fits; 1 when a text overflows its control; 2 on errors.
# Needs: g++-mingw-w64-x86-64-posix, wine64, xvfb, imagemagick.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 OUTDIR [LANG...]" >&2
    exit 2
fi
out=$(mkdir -p "$1" && cd "$1" && pwd)
shift
langs=("$@")
[ ${#langs[@]} -gt 0 ] || langs=(en de fr nl)

tools=$(cd "$(dirname "$0")" && pwd)
res=$(cd "$tools/.." && pwd)
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "building preview tool"
x86_64-w64-mingw32-windres -I "$res" -I "$tools" "$tools/preview.rc" -O coff -o "$work/preview_res.o"
x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -municode -static -I "$res" \
    "$tools/preview.cpp" "$work/preview_res.o" -lcomctl32 -lgdi32 -luser32 -o "$work/preview.exe"

# A display number nobody uses.
display=""
for n in $(seq 91 130); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 2; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "creating Wine prefix"
wineboot -i >"$work/wineboot.log" 2>&1
# Without a window manager, unmanaged windows get their caption drawn by Wine (so the
# page caption shows in the pictures) and close without Wine's wait for the manager.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$work/wineboot.log" 2>&1
# Wine does not find its own Tahoma here, so "MS Shell Dlg" falls back to
# Liberation Sans, whose break character is "!": the link control then neither finds its
# <a href="..."> tags nor wraps at blanks. Tahoma is what Windows uses for it.
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || \
    echo "warning: Wine's fonts (package fonts-wine) not found; texts are measured in a substitute font" >&2
wineserver -w

sync="$work/sync"
mkdir -p "$sync"
winsync="Z:${sync//\//\\}"
status=0
for lang in "${langs[@]}"; do
    echo "language $lang"
    rm -f "$sync/ready" "$sync/fit-$lang.txt"
    wine "$work/preview.exe" "$lang" "$winsync" >"$work/preview-$lang.log" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        if [ -f "$sync/ready" ]; then
            read -r name x y w h <"$sync/ready"
            if [ -n "${PREVIEW_FULL_SCREEN:-}" ]; then
                import -window root "$out/$lang-$name.png"
            else
                import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$lang-$name.png"
            fi
            echo "$name $x $y $w $h" >>"$out/geometry-$lang.txt"
            echo "  $lang-$name.png"
            rm -f "$sync/ready"
        else
            sleep 0.1
        fi
    done
    rc=0
    wait "$pid" || rc=$?
    if [ -f "$sync/fit-$lang.txt" ]; then
        cp "$sync/fit-$lang.txt" "$out/fit-$lang.txt"
        sed -i "1s/^\xEF\xBB\xBF//" "$out/fit-$lang.txt"
        grep -v "^ok " "$out/fit-$lang.txt" | sed 's/^/  /' || true
    else
        echo "  no fit report (tool exit code $rc)" >&2
        rc=255
    fi
    if [ "$rc" -ne 0 ]; then
        echo "  $lang: $rc problem(s)"
        status=1
    fi
done
exit $status
