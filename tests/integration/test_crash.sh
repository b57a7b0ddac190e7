# A run that dies of an unhandled exception under Wine: its last log line, its minidump and its exit code, and the
# next run, which ends as on a clean machine.

CRASH_PKG="$BUILD_WIN64/samples/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
ACCESS_VIOLATION=3221225477  # 0xC0000005

# Writes a copy of the sample package whose sector allocation table sends the mini stream's chain from its sixth
# sector to its 21st, as a damaged download could. Wine's msi.dll then releases a broken storage object while it
# opens the package and calls through a null pointer: the process dies inside msi.dll.
damaged_package() {  # output file
    python3 - "$CRASH_PKG" "$1" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
sector = 1 << struct.unpack_from('<H', data, 0x1e)[0]
offset = lambda s: (s + 1) * sector
fat = offset(struct.unpack_from('<I', data, 0x4c)[0])         # the first sector of the allocation table
root = offset(struct.unpack_from('<I', data, 0x30)[0])        # the directory; its first entry is the root
chain = [struct.unpack_from('<I', data, root + 0x74)[0]]      # the mini stream, sector by sector
while len(chain) < 64 and chain[-1] < 0xFFFFFFFA:
    chain.append(struct.unpack_from('<I', data, fat + 4 * chain[-1])[0])
assert len(chain) > 21, chain
struct.pack_into('<I', data, fat + 4 * chain[5], chain[20])
open(sys.argv[2], 'wb').write(data)
PY
}

# Stages a Setup.exe whose 64-bit package is the damaged one.
stage_crashing_setup() {
    stage_setup
    damaged_package "$TEST_DIR/damaged.msi"
    wine "$TOOLS_DIR/setpayload.exe" "$(winpath "$SETUP_COPY")" 132 "$(winpath "$TEST_DIR/damaged.msi")" ||
        fail "could not embed the damaged package"
    wineserver -w
}

log_folder() { dirname "$(setup_log)"; }

# Loads a minidump in winedbg and prints what it shows: registers, stack, modules.
winedbg_minidump() {
    printf 'info share\nquit\n' | timeout 300 winedbg "$(winpath "$1")" 2>&1 | tr -d '\r'
}

test_crash_leaves_a_last_line_and_a_minidump_and_the_next_run_clears_up() {
    new_prefix
    stage_crashing_setup
    # Four minidumps of earlier crashes, oldest first: with the new one, the three newest remain.
    local folder
    folder=$(log_folder)
    mkdir -p "$folder"
    local day
    for day in 01 02 03 04; do
        echo "old" >"$folder/Setup-202601${day}-120000-1.dmp"
        touch -d "2026-01-$day 12:00:00" "$folder/Setup-202601${day}-120000-1.dmp"
    done

    run_setup /x
    assert_eq "$EXIT_CODE" "$ACCESS_VIOLATION" "exit code of the crashed run"
    local last offset
    last=$(log_entries | tail -n 1)
    [[ "$last" =~ ^BootStrapper\|Unhandled\ exception\ c0000005\ at\ msi\.dll\+([0-9a-f]+)$ ]] ||
        fail "last log line: [$last]"
    offset=${BASH_REMATCH[1]}
    # The line is the last one written and ends like every other line.
    assert_eq "$(tail -c 2 "$(setup_log)" | od -An -c | tr -d ' ')" '\r\n' "end of the last line"

    local dumps
    dumps=$(cd "$folder" && ls -1 Setup-*.dmp)
    assert_eq "$(echo "$dumps" | head -n 2 | tr '\n' ' ')" "Setup-20260103-120000-1.dmp Setup-20260104-120000-1.dmp " \
        "older minidumps kept"
    assert_eq "$(echo "$dumps" | wc -l)" "3" "minidumps in the log folder: $dumps"
    local dump
    dump="$folder/$(echo "$dumps" | tail -n 1)"
    [[ "$(basename "$dump")" =~ ^Setup-[0-9]{8}-[0-9]{6}-[0-9]+\.dmp$ ]] || fail "name of the minidump: $dump"

    # winedbg loads the minidump. The fault is explained by msi.dll alone: either the instruction pointer or,
    # for a call through a null pointer, the return address on top of the stack is msi.dll's base plus the
    # offset in the log line.
    local shown base rip top
    shown=$(winedbg_minidump "$dump")
    echo "$shown" >"$TEST_DIR/winedbg.txt"
    grep -q '^WineDbg starting on minidump on pid' <<<"$shown" || fail "winedbg did not load the minidump"
    base=$(awk '$1 == "PE" && $NF == "msi" { split($2, a, "-"); print a[1] }' <<<"$shown")
    [ -n "$base" ] || fail "msi.dll is not in the minidump's module list"
    rip=$(sed -n 's/^ *rip:\([0-9a-f]*\) .*/\1/p' <<<"$shown" | head -n 1)
    top=$(sed -n '/^Stack dump:/{n;s/^0x[0-9a-f]*: *\([0-9a-f]*\).*/\1/p;}' <<<"$shown" | head -n 1)
    local expected
    expected=$(printf '%016x' $((0x$base + 0x$offset)))
    [ "$rip" = "$expected" ] || [ "$top" = "$expected" ] ||
        fail "neither rip ($rip) nor the top of the stack ($top) is msi.dll+$offset ($expected)"

    # The dead run's working folder stays behind; the next run, with an intact package, ends as on a clean
    # machine and removes its own working folder.
    local dead
    dead=$(work_folders)
    [ -n "$dead" ] && [ "$(echo "$dead" | wc -l)" -eq 1 ] || fail "working folders after the crash: [$dead]"
    stage_setup
    run_setup /x
    assert_eq "$EXIT_CODE" "1605" "exit code of the next run"
    assert_lines_in_order "$(log_entries)" "BootStrapper|Unhandled exception c0000005 at msi.dll+$offset" \
        "BootStrapper|Setup v6.7.3.319" "BootStrapper|Uninstall requested, nothing installed"
    assert_eq "$(ls -A "$(prefix_temp)")" "KELVARO GmbH
$(basename "$dead")" "the temporary folder"
}
