#!/usr/bin/env bash
# Benchmark: "Setup.exe /x" on a clean machine with both client packages padded to 64 MB each, against
# copying the same 128 MB into the same Wine prefix's temporary folder. Prints both wall times and the ratio
# (goal: 1.3 or less). BUILD_WIN64 provides the sample packages and runexe.exe; Setup.exe itself is built
# anew with the padded packages. Each run starts its own Wine session (wineserver -w in between), as a
# command on a clean machine would; one uncounted warm-up round puts both commands' input files into the
# page cache alike. The medians are the figure; the best of the runs is printed too.
# Usage: bench/uninstall-clean-machine.sh [BUILD_WIN64] [RUNS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/win64}" && pwd)"
runs="${2:-9}"
work="$(mktemp -d /tmp/kelvaro-bench.XXXXXX)"
trap 'WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
win() { echo "Z:$(realpath -m "$1" | sed 's|/|\\|g')"; }

# Packages padded with a 64 MB stream of random bytes: still valid databases that msi.dll opens.
# The compound file adds its own sector tables, so a second pass corrects the padding to hit 64 MiB.
target=$((64 * 1024 * 1024))
for arch in 32 64; do
    src="$build/samples/KELVARO_UCC_Client_for_${arch}bit_Windows_v6.7.3.319.msi"
    pad=$((target - $(stat -c %s "$src")))
    for _ in 1 2; do
        cp "$src" "$work/pkg$arch.msi"
        head -c "$pad" /dev/urandom >"$work/pad.bin"
        msibuild "$work/pkg$arch.msi" -a Padding "$work/pad.bin"
        pad=$((pad - ($(stat -c %s "$work/pkg$arch.msi") - target)))
    done
done
rm -f "$work/pad.bin"
# Setup.exe built with the padded packages through the build's own variables, as a release with large
# packages would be.
echo "building Setup.exe with the padded packages..."
cmake -S "$root" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DSETUP_MSI_X86="$work/pkg32.msi" -DSETUP_MSI_X64="$work/pkg64.msi" >/dev/null
cmake --build "$work/build" --target Setup -j "${JOBS:-2}" >/dev/null
cp "$work/build/Setup.exe" "$work/Setup.exe"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
# The build has just written several hundred MB: let them reach the disk before the timed runs, so that
# their write-back does not fall into one command's time and not the other's.
sync
echo "packages: $(stat -c %s "$work/pkg32.msi") + $(stat -c %s "$work/pkg64.msi") bytes; Setup.exe: $(stat -c %s "$work/Setup.exe") bytes"

temp_win='C:\users\'"$(id -un)"'\Temp\'
now() { date +%s.%N; }
best_setup=""
best_copy=""
all_setup=()
all_copy=()
for i in $(seq 0 "$runs"); do
    t0=$(now)
    out=$(wine "$build/tools/runexe.exe" "$(win "$work/Setup.exe")" /x 2>/dev/null)
    t1=$(now)
    wineserver -w
    case "$out" in *"exit code: 1605"*) ;; *) echo "unexpected result: $out" >&2; exit 1 ;; esac
    t2=$(now)
    wine "$build/tools/runexe.exe" cmd.exe /c copy /b "$(win "$work/pkg32.msi")" "${temp_win}bench32.msi" "&" \
        copy /b "$(win "$work/pkg64.msi")" "${temp_win}bench64.msi" >/dev/null 2>&1
    t3=$(now)
    wineserver -w
    rm -f "$WINEPREFIX"/drive_c/users/*/Temp/bench*.msi
    setup=$(awk "BEGIN { print $t1 - $t0 }")
    copy=$(awk "BEGIN { print $t3 - $t2 }")
    if [ "$i" -eq 0 ]; then
        printf 'warm-up: Setup.exe /x %.3f s, copy %.3f s (not counted)\n' "$setup" "$copy"
        continue
    fi
    printf 'run %d: Setup.exe /x %.3f s, copy %.3f s\n' "$i" "$setup" "$copy"
    all_setup+=("$setup")
    all_copy+=("$copy")
    if [ -z "$best_setup" ] || awk "BEGIN { exit !($setup < $best_setup) }"; then best_setup=$setup; fi
    if [ -z "$best_copy" ] || awk "BEGIN { exit !($copy < $best_copy) }"; then best_copy=$copy; fi
done
left=$(ls "$WINEPREFIX"/drive_c/users/*/Temp/ | grep -ciE '\.msi$|CleanupInstallation' || true)
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
median_setup=$(median "${all_setup[@]}")
median_copy=$(median "${all_copy[@]}")
printf 'Setup.exe /x: median %.3f s, best %.3f s (%d runs)\n' "$median_setup" "$best_setup" "$runs"
printf 'copy of 128 MB: median %.3f s, best %.3f s (%d runs)\n' "$median_copy" "$best_copy" "$runs"
printf 'ratio: %.2f of the medians, %.2f of the best (goal: 1.3 or less)\n' \
    "$(awk "BEGIN { print $median_setup / $median_copy }")" "$(awk "BEGIN { print $best_setup / $best_copy }")"
echo "files left in the temporary folder: $left"
