# What a start does with the working folders of earlier runs: a run that is going keeps its folder; folders that
# are not private working folders are left alone, and removing an ended run's folder never follows a link. (A run
# that died and the next run, which removes its folder: test_crash.sh.)

# The files in a folder and below it, one relative path a line, sorted.
er_files() { (cd "$1" && find . -mindepth 1 | sort); }

# A slow stand-in for the .NET installer keeps a /passive run going while a second run starts (/x, nothing
# installed). The second leaves the first's folder and everything in it alone, removes its own and ends with 1605;
# the first then ends as it would have alone.
test_earlier_runs_a_run_that_is_going_keeps_its_working_folder() {
    new_prefix
    stage_setup
    start_run_held_at_dotnet "$TEST_DIR/exit-first.txt"
    local first=$HELD_RUN_PID

    local going before
    going=$(work_folders)
    assert_eq "$(echo "$going" | grep -c .)" "1" "working folders while the first run waits"
    before=$(er_files "$going")
    assert_eq "$(echo "$before" | grep -cx './Setup.running')" "1" "the first run's marker: $before"

    # run_setup would wait for every Wine process, the first run's included.
    run_windows "$(winpath "$SETUP_COPY")" /x
    assert_eq "$EXIT_CODE" "1605" "exit code of the second run"
    assert_eq "$(er_files "$going")" "$before" "the first run's folder after the second run"
    assert_eq "$(work_folders)" "$going" "working folders after the second run"
    local second
    second=$(log_entries | sed -n 's/^ResourceExtractor|Working folder: //p' | sed -n 2p)
    [ -n "$second" ] && [ "$second" != "$(prefix_temp_windows)$(basename "$going")" ] ||
        fail "the second run's working folder: [$second]"
    assert_lines_in_order "$(log_entries)" "ResourceExtractor|Working folder: $second" \
        "BootStrapper|Uninstall requested, nothing installed" "ResourceExtractor|Delete: $second"
    if log_entries | grep -q 'ended run\|left alone'; then fail "the second run touched an earlier folder"; fi

    echo 1603 >"$WINEPREFIX/drive_c/prereq-release.txt"
    wait "$first"
    wineserver -w
    assert_eq "$(cat "$TEST_DIR/exit-first.txt")" "1603" "exit code of the first run"
    assert_lines_in_order "$(log_entries)" "ResourceExtractor|Delete: $(prefix_temp_windows)$(basename "$going")"
    assert_temp_clean
}

# A process that outlives the run holds a file in its working folder (as a crash reporter of a dying msiexec, started
# from that folder, does under Wine): the run deletes what it can, puts its marker back and says so; once the
# holder has ended, the next start removes the folder.
test_earlier_runs_a_folder_held_past_the_run_is_removed_by_the_next_start() {
    new_prefix
    stage_setup
    start_run_held_at_dotnet "$TEST_DIR/exit-first.txt"
    local first=$HELD_RUN_PID

    local going going_win
    going=$(work_folders)
    assert_eq "$(echo "$going" | grep -c .)" "1" "working folders while the run waits"
    going_win="$(prefix_temp_windows)$(basename "$going")"
    wine "$TOOLS_DIR/holdfile.exe" "$going_win\\left by a child.tmp" 'C:\release-child.txt' \
        >"$TEST_DIR/holdfile.txt" 2>>"$TEST_DIR/wine-stderr.txt" &
    local holder=$!
    wait_for_file "$TEST_DIR/holdfile.txt"
    assert_eq "$(tr -d '\r' <"$TEST_DIR/holdfile.txt")" "held" "holder"

    echo 1603 >"$WINEPREFIX/drive_c/prereq-release.txt"
    wait "$first"
    assert_eq "$(cat "$TEST_DIR/exit-first.txt")" "1603" "exit code of the run"
    assert_lines_in_order "$(log_entries)" "ResourceExtractor|Delete: $going_win" \
        "ResourceExtractor|Working folder not removed: $going_win"
    assert_eq "$(er_files "$going")" "$(printf './Setup.running\n./left by a child.tmp')" \
        "what stays of the folder"

    touch "$WINEPREFIX/drive_c/release-child.txt"
    wait "$holder"
    run_setup /x
    assert_eq "$EXIT_CODE" "1605" "exit code of the next start"
    assert_lines_in_order "$(log_entries)" "ResourceExtractor|Removed working folder of an ended run: $going_win"
    assert_temp_clean
}

# Folders with a working folder's name that a start must not look into, next to two ended runs' folders: a link to
# a folder with a marker, a folder of another owner, a folder everyone can write to, a folder without a marker, a
# name that is no GUID. The ended run's folder (with a folder inside) goes. The other ended run's folder holds a
# link to a folder outside: its target is never entered. Wine 8 cannot remove a Unix symbolic link to a folder
# through the Windows API (RemoveDirectoryW answers 145, DeleteFileW 5; Windows removes a junction or a
# folder link with RemoveDirectoryW), so that folder stays with the link, and its marker is put back for a later
# start. Every other folder and every target stays as it was; the two foreign folders are named in the log.
test_earlier_runs_only_private_folders_of_ended_runs_are_removed_and_links_are_not_followed() {
    new_prefix
    stage_setup
    local temp outside
    temp=$(prefix_temp)
    outside="$TEST_DIR/outside"
    mkdir -p "$temp" "$outside/linked" "$outside/inner"
    echo keep >"$outside/linked/Setup.running"
    echo keep >"$outside/linked/precious.txt"
    echo keep >"$outside/inner/precious.txt"

    local msi="KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
    local ended="KELVARO Setup {11111111-1111-1111-1111-111111111111}"
    local withlink="KELVARO Setup {66666666-6666-6666-6666-666666666666}"
    local link="KELVARO Setup {22222222-2222-2222-2222-222222222222}"
    local foreign="KELVARO Setup {33333333-3333-3333-3333-333333333333}"
    local open="KELVARO Setup {44444444-4444-4444-4444-444444444444}"
    local unmarked="KELVARO Setup {55555555-5555-5555-5555-555555555555}"
    local noguid="KELVARO Setup {55555555}"
    mkdir -m 700 "$temp/$ended" "$temp/$ended/sub" "$temp/$withlink"
    touch "$temp/$ended/Setup.running" "$temp/$ended/$msi" "$temp/$ended/sub/msi.log"
    touch "$temp/$withlink/Setup.running" "$temp/$withlink/$msi"
    ln -s "$outside/inner" "$temp/$withlink/sub"
    ln -s "$outside/linked" "$temp/$link"
    local name
    for name in "$foreign" "$open" "$unmarked" "$noguid"; do
        mkdir -m 700 "$temp/$name"
        echo keep >"$temp/$name/precious.txt"
    done
    touch "$temp/$foreign/Setup.running" "$temp/$open/Setup.running" "$temp/$noguid/Setup.running"
    chown -R nobody "$temp/$foreign"
    chmod 777 "$temp/$open"
    local outside_before kept_before
    outside_before=$(er_files "$outside")
    kept_before=$(for name in "$link" "$foreign" "$open" "$unmarked" "$noguid"; do echo "$name"; er_files "$temp/$name/"; done)

    run_setup /x
    assert_eq "$EXIT_CODE" "1605" "exit code"
    assert_no_file "$temp/$ended"
    assert_eq "$(er_files "$outside")" "$outside_before" "the targets of the links"
    assert_eq "$(er_files "$temp/$withlink")" "./Setup.running
./sub" "the folder with a link after the removal"
    [ -L "$temp/$withlink/sub" ] || fail "the link in the ended run's folder is not a link any more"
    assert_eq "$(for name in "$link" "$foreign" "$open" "$unmarked" "$noguid"; do echo "$name"; er_files "$temp/$name/"; done)" \
        "$kept_before" "the folders left alone"
    [ -L "$temp/$link" ] || fail "the link in the temporary folder is not a link any more"
    local win
    win=$(prefix_temp_windows)
    assert_eq "$(log_entries | grep 'ended run\|left alone' | sort)" \
"ResourceExtractor|Not a private folder, left alone: $win$foreign
ResourceExtractor|Not a private folder, left alone: $win$open
ResourceExtractor|Removed working folder of an ended run: $win$ended
ResourceExtractor|Working folder of an ended run not removed: $win$withlink" "lines about earlier folders"
    assert_lines_in_order "$(log_entries)" "ResourceExtractor|Temp path: $win" \
        "ResourceExtractor|Removed working folder of an ended run: $win$ended" \
        "BootStrapper|Uninstall requested, nothing installed"
}
