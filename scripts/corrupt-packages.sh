#!/usr/bin/env bash
# Runs Setup.exe under Wine with damaged copies of the 64-bit sample package as its payload and classifies
# every outcome. For each copy (made by tests/integration/damage-package.py: flipped bits, truncation, zeroed
# sectors, a damaged stream directory, broken Upgrade records), Setup.exe is linked anew with the copy as
# BIN 132, from the objects of the x86_64 build and with its own link command, and then runs "/x" and
# "/passive" in one Wine prefix (.NET Framework present, so that /passive goes straight to msiexec).
#
# Outcomes, one line per run ("<copy> <switch> <outcome> <details>"):
#   refused      Setup.exe refused the request (exit code 1605 or 1638) and ended with its refusal line
#   installed    /passive: msiexec installed the damaged package (the registry is put back afterwards)
#   removed      /x: msiexec removed a client that an earlier run left registered
#   msiexec      msiexec failed (or died: an exception code); Setup.exe ended with "Done" and msiexec's
#                exit code
#   undefined    Setup.exe ended, but without its last log line or with an exit code that does not match it
#   crash-msi    Setup.exe ended with an exception inside Wine's msi.dll: the module its exception filter names in
#                the last log line, or else (winedbg's report) the module of the faulting address or, for a call
#                through a null pointer, of the first return address on the stack
#   crash        Setup.exe ended with an exception anywhere else
#   crash-msiexec /passive: msiexec died of an exception (in Wine's msi.dll); Setup.exe ended in order with its code
#   hang-msiexec Setup.exe waited for msiexec, which had not ended after MSIEXEC_TIMEOUT seconds (default 30)
#   hang-msi     Setup.exe did not end within TIMEOUT seconds, still opening the package: its last line is the one
#                before MsiOpenDatabaseW ("Is x64 windows: %d"). Wine's msi.dll spins there, at full CPU, on some
#                damaged packages (a relay trace shows the call entered and never left)
#   hang         Setup.exe itself did not end within TIMEOUT seconds
# Runs that hang are killed with the whole Wine session.
# "left N" is added when files or working folders of the run stayed in the temporary folder (they are removed before
# the next run); the run's folder under runs/ keeps left.txt with their names. A crash-msiexec run leaves its
# working folder with the marker put back ("Working folder not removed"): Wine's crash reporter, started by the dying
# msiexec from that folder, still holds it when Setup.exe ends; the next start of Setup.exe removes it.
# A summary follows. Exit code: 0 when every run was refused, installed, removed or msiexec and left nothing; 3 when
# besides those there were only crash-msi, crash-msiexec, hang-msi and hang-msiexec runs (faults of Wine's Windows Installer, with
# whatever the dead run left behind); 1 when any run was undefined, crashed elsewhere, hung in Setup.exe
# itself, or ended in order but left files.
#
# Usage: scripts/corrupt-packages.sh [BUILD_WIN64] [COUNT] [SEED] [FIRST]
#   defaults: build/win64, 1000 copies, seed 1, first copy 1; OUT_DIR keeps the copies, logs and results.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/win64}" && pwd)"
count="${2:-1000}"
seed="${3:-1}"
first="${4:-1}"
timeout_s="${TIMEOUT:-120}"
msiexec_timeout_s="${MSIEXEC_TIMEOUT:-30}"
out="${OUT_DIR:-$(mktemp -d /tmp/kelvaro-corrupt.XXXXXX)}"
mkdir -p "$out/packages" "$out/runs"
export WINEPREFIX="$out/prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

source_msi="$build/samples/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
results="$out/results.txt"
: >"$results"

echo "copies: $out/packages (seed $seed)"
python3 "$root/tests/integration/damage-package.py" "$source_msi" "$out/packages" "$count" "$seed" "$first" \
    >"$out/packages/index.txt" || exit 2

# Setup.exe with a given package as BIN 132: the build's payload script with that path, compiled with the
# build's resource compiler, and the build's link command with that object in place of its own.
# Every object of the program but its payloads, as the build has them (the program's own sources may grow).
objects=$(cd "$build" && find CMakeFiles/Setup.dir -name '*.obj' -o -name '*.res' ! -name 'payloads.rc.res' | sort |
    tr '\n' ' ')
link_line=$(sed -n 3p "$build/CMakeFiles/Setup.dir/link.txt")
link_line=${link_line/-Wl,--whole-archive CMakeFiles\/Setup.dir\/objects.a -Wl,--no-whole-archive/$objects \"$out/payloads.res\"}
link_line=${link_line/-o Setup.exe -Wl,--out-implib,libSetup.dll.a/-o \"$out/Setup.exe\"}
link_setup() {
    sed "s|^132 BIN .*|132 BIN \"$1\"|" "$build/payloads.rc" >"$out/payloads.rc"
    x86_64-w64-mingw32-windres -O coff "$out/payloads.rc" "$out/payloads.res" || return 1
    (cd "$build" && eval "$link_line")
}

wineboot -i >/dev/null 2>&1 || true
wineserver -w
wine reg add 'HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Full' /v Release /t REG_DWORD /d 461808 /f \
    >/dev/null 2>&1
wineserver -w
# The registry as it is now: what a run registered (a damaged package installed, an msiexec killed half-way) is
# undone before the next copy by putting it back, so that every copy meets the same machine.
mkdir -p "$out/clean-prefix"
cp "$WINEPREFIX"/*.reg "$out/clean-prefix/"
restore_prefix() {
    wineserver -k >/dev/null 2>&1
    wineserver -w
    cp "$out/clean-prefix/"*.reg "$WINEPREFIX/"
    rm -rf "$WINEPREFIX/drive_c/windows/Installer" "$WINEPREFIX/drive_c/Program Files/KELVARO"
    wineserver -p
}
# One Wine session for all runs: a server kept alive between them spares its start-up.
wineserver -p
temp_dir=$(find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -type d -name Temp ! -path '*/Public/*' | head -n 1)
log_file="$temp_dir/KELVARO GmbH/Setup/logs/Setup.log"

# The module of an exception from winedbg's report: the one that holds the faulting address, or, when no
# module does (a call through a null pointer), the one that holds the first return address on the stack.
crash_module() {
    python3 - "$1" <<'PY'
import re, sys
text = open(sys.argv[1], errors="replace").read().replace("\r", "")
modules = [(int(a, 16), int(b, 16), n) for a, b, n in
           re.findall(r"^PE\s+([0-9a-f]+)-([0-9a-f]+)\s+\S+\s+(\S+)", text, re.M)]
def owner(address):
    return next((n for a, b, n in modules if a <= address < b), None)
fault = re.search(r"^Unhandled exception: .*\(([0-9a-fA-F]+)\)", text, re.M)
found = owner(int(fault.group(1), 16)) if fault else None
if not found:
    for line in re.findall(r"^0x[0-9a-f]+:\s+(.*)$", text, re.M):
        for value in line.split():
            found = owner(int(value, 16))
            if found:
                break
        if found:
            break
print(found or "unknown")
PY
}

# Classifies one run of Setup.exe with the given switch; prints the outcome line.
run_one() {
    local name="$1" switch="$2" dir="$out/runs/${1%.msi}-${2#/}" start code outcome details last left
    mkdir -p "$dir"
    rm -f "$log_file"
    start=$(date +%s)
    local attempt pid status killed=0
    for attempt in 1 2; do
        timeout -k 5 "$timeout_s" wine "$build/tools/runexe.exe" "Z:${out//\//\\}\\Setup.exe" "$switch" \
            >"$dir/runexe.txt" 2>>"$dir/wine-stderr.txt" &
        pid=$!
        # Setup.exe waits for msiexec as long as it runs; an msiexec that has not ended after MSIEXEC_TIMEOUT seconds
        # is taken for hung (Wine's msiexec loops forever on some damaged packages) and the session is ended.
        while kill -0 "$pid" 2>/dev/null; do
            sleep 1
            if [ $(( $(date +%s) - start )) -ge "$msiexec_timeout_s" ] &&
                [ "$(tr -d '\r' <"$log_file" 2>/dev/null | tail -n 1 | cut -c37-)" = "Wait for process" ] &&
                tr -d '\r' <"$log_file" | grep -q 'msiexec.exe'; then
                wineserver -k >/dev/null 2>&1
                killed=1
                break
            fi
        done
        wait "$pid"
        status=$?
        # Wine did not start runexe at all (no output, no log: seen rarely on a loaded machine): once more.
        [ -s "$dir/runexe.txt" ] || [ -f "$log_file" ] || [ "$status" -eq 124 ] || [ "$status" -eq 137 ] || {
            echo "runexe gave no output (attempt $attempt)" >>"$dir/wine-stderr.txt"; sleep 1; continue; }
        break
    done
    # Ended from here while msiexec ran: the same outcome as the overall timeout in that state.
    [ "$killed" -eq 1 ] && status=124
    code=$(sed -n 's/^exit code: \([0-9]*\).*/\1/p' "$dir/runexe.txt" | tail -n 1)
    [ -f "$log_file" ] && tr -d '\r' <"$log_file" >"$dir/Setup.log"
    # The last line of the run itself; the extractor's "Delete:" lines follow it.
    last=$(grep -a '^.\{15\}BootStrapper ' "$dir/Setup.log" 2>/dev/null | tail -n 1 | cut -c37-)
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        outcome=hang
        details="killed after $(( $(date +%s) - start ))s"
        case "$(tail -n 1 "$dir/Setup.log" 2>/dev/null | cut -c37-)" in
            "Wait for process") outcome=hang-msiexec ;;
            "Is x64 windows: "[01]) outcome=hang-msi ;;
        esac
        wineserver -k >/dev/null 2>&1
        wineserver -w
        wineserver -p
    elif [ -n "$code" ] && [ "$code" -ge 3221225472 ] && ! [[ "$last" = Done && "$switch" = /passive ]]; then
        # 0xC0000000 and up: an exception code. Setup.exe's exception filter names the module in its last line
        # ("Unhandled exception c0000005 at msi.dll+2e450"); without that line, winedbg's report tells.
        local module
        module=$(sed -n 's/^.\{15\}BootStrapper *Unhandled exception [0-9a-f]* at \(.*\)+[0-9a-f]*$/\1/p' \
            "$dir/Setup.log" 2>/dev/null | tail -n 1)
        module=${module%.dll}
        if [ -z "$module" ] || [ "$module" = "?" ]; then
            # winedbg writes its report to the console, which is runexe's output.
            cat "$dir/runexe.txt" "$dir/wine-stderr.txt" >"$dir/crash-report.txt"
            module=$(crash_module "$dir/crash-report.txt")
        fi
        outcome=crash
        [ "${module,,}" = "msi" ] && outcome=crash-msi
        details=$(printf 'exception %x in %s' "$code" "$module")
    elif [ "$last" = "Uninstall requested, nothing installed" ] && [ "$code" = 1605 ]; then
        outcome=refused; details="1605 $last"
    elif [ "$last" = "Install requested, downgrade not supported" ] && [ "$code" = 1638 ]; then
        outcome=refused; details="1638 $last"
    elif [ "$last" = "Done" ]; then
        # /passive installed the client; /x removed a client that an earlier copy's run left registered (the
        # registry is put back after such runs, so this is rare).
        local result
        result=$(grep -a 'Result of KELVARO VOV Client for Windows: ' "$dir/Setup.log" | tail -n 1 | sed 's/.*: //')
        if [ "$code" = 0 ] && [ "$result" = 0 ]; then
            outcome=installed; [ "$switch" = /x ] && outcome=removed
            details="0"
        elif [ -n "$result" ] && [ "$code" != 0 ] && [ "$(printf '%x' "$code")" = "$result" ]; then
            outcome=msiexec; details="$code"
            # msiexec itself died inside Wine's msi.dll: Setup.exe waited for it and ended in order with its
            # code. Wine's debugger keeps the dying process, whose current folder is the working folder, for a
            # while, so the folder may stay behind.
            if [ "$code" -ge 3221225472 ]; then outcome=crash-msiexec; fi
        else
            outcome=undefined; details="exit code ${code:-none}, result ${result:-none}"
        fi
    else
        outcome=undefined
        details="exit code ${code:-none}, last line: ${last:-none}"
    fi
    # Loose files and working folders ("KELVARO Setup {GUID}") of the run.
    # Setup.exe's files: loose packages or programs, and working folders ("KELVARO Setup {GUID}"). What a dying
    # msiexec leaves in the temporary folder is its own and is only removed.
    (cd "$temp_dir" && { find . -maxdepth 1 -type f \( -iname '*.msi' -o -iname '*.exe' \);
                         find . -mindepth 1 -maxdepth 1 -type d -name 'KELVARO Setup {*}'; }) >"$dir/left.txt"
    left=$(wc -l <"$dir/left.txt")
    [ "$left" -eq 0 ] || details="$details, left $left"
    find "$temp_dir" -maxdepth 1 -type f -delete
    find "$temp_dir" -mindepth 1 -maxdepth 1 -type d -name 'KELVARO Setup {*}' -exec rm -rf {} +
    echo "$name $switch $outcome $details ($(( $(date +%s) - start ))s)" | tee -a "$results"
    # Whatever a run may have registered or left half-done is undone before the next run.
    if [ "$outcome" != refused ] && [ "$outcome" != msiexec ]; then restore_prefix; fi
    # Runs that ended in order are not kept; the others keep their log and Wine's report.
    case "$outcome" in refused|installed|removed|msiexec) [ "$left" -eq 0 ] && rm -rf "$dir" ;; esac
}

while read -r name kind rest; do
    if ! link_setup "$out/packages/$name" >"$out/link.txt" 2>&1; then
        echo "$name - link-failed" | tee -a "$results"
        continue
    fi
    run_one "$name" /x
    run_one "$name" /passive
done <"$out/packages/index.txt"

echo "== summary of $(wc -l <"$results") runs ($count copies, seed $seed)"
for switch in /x /passive; do
    printf '%s:' "$switch"
    for outcome in refused installed removed msiexec undefined crash-msi crash-msiexec crash hang-msi hang-msiexec hang; do
        printf ' %s %d' "$outcome" "$(awk -v s="$switch" -v o="$outcome" '$2 == s && $3 == o' "$results" | wc -l)"
    done
    printf ', left files %d\n' "$(awk -v s="$switch" '$2 == s' "$results" | grep -c ', left ' || true)"
done
echo "by kind of damage:"
for kind in bitflip truncate zero directory upgradebin upgrade; do
    printf '  %-10s' "$kind"
    for outcome in refused installed removed msiexec undefined crash-msi crash-msiexec crash hang-msi hang-msiexec hang; do
        printf ' %s %d' "$outcome" "$(awk -v k="$kind" -v o="$outcome" '$1 ~ "-"k".msi$" && $3 == o' "$results" | wc -l)"
    done
    echo
done
echo "results: $results"
if grep -qE ' (undefined|crash|hang|link-failed) |^\S+ \S+ (refused|installed|removed|msiexec) .*, left ' "$results"; then
    exit 1
fi
if grep -qE ' (crash-msi|crash-msiexec|hang-msi|hang-msiexec) ' "$results"; then exit 3; fi
exit 0
