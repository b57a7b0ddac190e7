# Start-up under Wine: the log file, its banner and one line per argument.

test_banner_and_one_line_per_argument() {
    new_prefix
    run_setup /clean "REDISTDIR=C:\\My Redist" /QB! ADDLOCAL=FeatureFax,FeatureSnomD7 word -Install /X
    assert_file "$(setup_log)"
    local expected
    expected=$(cat <<'LINES'
BootStrapper|-----------------------------
BootStrapper|Setup v6.7.3.319
CommandLineParser|bFlag: 1, bLast: 0, param: clean
CommandLineParser|clean
CommandLineParser|bFlag: 0, bLast: 0, param: REDISTDIR=C:\My Redist
CommandLineParser|Local redist path: C:\My Redist
CommandLineParser|bFlag: 1, bLast: 0, param: QB!
CommandLineParser|Quiet flags: QB!
CommandLineParser|bFlag: 0, bLast: 0, param: ADDLOCAL=FeatureFax,FeatureSnomD7
CommandLineParser|AddLocalFeatures: FeatureFax,FeatureSnomD7
CommandLineParser|bFlag: 0, bLast: 0, param: word
CommandLineParser|bFlag: 1, bLast: 0, param: Install
CommandLineParser|bFlag: 1, bLast: 1, param: X
CommandLineParser|uninstall
LINES
)
    assert_text "$(log_entries | head -n 14)" "$expected" "first log lines"
    # Every line carries a "MM-DD hh:mm:ss" time stamp and ends with CR LF.
    local bad
    bad=$(grep -cvE $'^[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} .*\r$' "$(setup_log)" || true)
    assert_eq "$bad" "0" "lines without time stamp or CR LF"
}

test_second_run_appends_to_the_same_log() {
    new_prefix
    run_setup /clean
    run_setup /clean
    assert_eq "$(grep -c 'Setup v6.7.3.319' "$(setup_log)")" "2" "banners in one log"
    assert_no_file "$(dirname "$(setup_log)")/bak"
}

test_non_ascii_text_keeps_every_line() {
    new_prefix
    mkdir -p "$TEST_DIR/Média Ω"
    cp "$SETUP_EXE" "$TEST_DIR/Média Ω/Setup.exe"
    SETUP_COPY="$TEST_DIR/Média Ω/Setup.exe" run_setup /clean "CUSTOMCONFIGFILES=C:\\Łódź\\Ωmega" "REDISTDIR=C:\\after"
    local log
    log=$(setup_log)
    assert_file "$log"
    # Characters outside the ANSI code page become '?'; the rest of the line and all later lines stay.
    LC_ALL=C grep -q 'Custom config files path: C:\\?.d?\\?mega' "$log" || fail "configuration line missing or mangled"
    LC_ALL=C grep -q 'Local redist path: C:\\after' "$log" || fail "line after the non-ASCII argument lost"
}

test_huge_argument_is_logged_within_the_bound() {
    new_prefix
    local big
    # Windows limits a whole command line to 32767 characters.
    big=$(head -c 30000 /dev/zero | tr '\0' 'F')
    run_setup /clean "ADDLOCAL=$big"
    assert_eq "$EXIT_CODE" "0" "exit code"
    local line
    line=$(tr -d '\r' <"$(setup_log)" | grep 'AddLocalFeatures: ')
    # 14 characters of time stamp, a blank, 20 of tag, a blank, then at most 511 of text.
    assert_eq "${#line}" "547" "length of the cut line"
}

test_log_folder_that_cannot_be_created_loses_lines_silently() {
    new_prefix
    local temp
    temp=$(prefix_temp)
    mkdir -p "$temp"
    echo "not a folder" >"$temp/KELVARO GmbH"
    run_setup /clean
    assert_eq "$EXIT_CODE" "0" "exit code"
    assert_eq "$(cat "$temp/KELVARO GmbH")" "not a folder" "the blocking file"
}
