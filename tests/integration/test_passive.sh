# The progress window of /passive on a display: the product's name as its caption, the current job description,
# a marquee bar and nothing to press or close, in English and German; it goes by itself when the run ends, and the
# run's exit code and log are those of the same run without a window. /passive /qn shows no window. Screenshots are
# kept in $TEST_DIR/screenshots.

source "$(dirname "${BASH_SOURCE[0]}")/gui.sh"

PP_DOTNET="NDP472-KB4054530-x86-x64-AllOS-ENU.exe"
PP_MSI="KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"

# Wine takes the user-interface language from the Unix locale, and only C and C.UTF-8 may be installed: the
# German locale is made once per test run. Prints the folder for LOCPATH.
passive_locales() {
    local dir="$WORK_DIR/runs/.locales"
    if [ ! -d "$dir/de_DE.UTF-8" ]; then
        mkdir -p "$dir"
        localedef -i de_DE -f UTF-8 "$dir/de_DE.UTF-8" >/dev/null 2>&1 || fail "localedef cannot make de_DE.UTF-8"
    fi
    echo "$dir"
}

# A fresh prefix, Setup.exe staged, and the .NET installer a stand-in that waits for passive_release. The test
# display has no window manager: Wine is told to draw the window frames itself, so that screenshots show captions.
passive_prepare() {
    new_prefix
    stage_setup
    provide_signed_standin "$TEST_DIR/media/redist" "$PP_DOTNET" holdinstaller
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
}

passive_release() { echo 0 >"$WINEPREFIX/drive_c/prereq-release.txt"; }

# Waits until Setup.exe has started the held .NET stand-in: its actions are running.
passive_wait_held() {
    gui_wait_log_line "CInstallAction|\"$MEDIA_WIN""redist\\$PP_DOTNET\" /norestart /passive "
}

# The ids of the windows with exactly this caption, one a line.
passive_windows() { xdotool search --name "^$1\$" 2>/dev/null || true; }

# /passive in a language (en, de) while the held stand-in runs: the window, its controls and its frame, a
# screenshot; then the release and the end of the run. Prints nothing; fails the test on a difference.
passive_window_run() {  # language, caption, job description
    local lang="$1" caption="$2" job="$3"
    gui_start_display
    trap gui_cleanup EXIT
    if [ "$lang" = de ]; then
        LOCPATH="$(passive_locales)" LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 gui_start_setup /passive
    else
        gui_start_setup /passive
    fi
    passive_wait_held
    gui_wait_window "$caption" >/dev/null
    # What the close box, Alt+F4 or another program would send: the window stays until the run closes it.
    wine "$TOOLS_DIR/wizardinspect.exe" --post-close "$caption" 2>>"$TEST_DIR/wine-stderr.txt" || fail "WM_CLOSE"
    gui_close "$caption"

    gui_wait_control "$caption" 100 "100|Static|1|0|$job"
    # The job description and the bar, and nothing else: no button.
    assert_text "$(gui_inspect "$caption" | awk -F'|' '$1 == "control" { print $2 "|" $3 "|" $4 }')" \
        "$(printf '%s\n' '100|Static|1' '101|msctls_progress32|1')" "controls of the progress window"
    # Disabled, no system menu (so no close box), never activated, centred on the 1024x768 screen.
    local frame left top right bottom
    frame=$(gui_inspect "$caption" | grep '^frame|')
    assert_eq "$(echo "$frame" | cut -d'|' -f2-5)" "0|0|1|0" "enabled, system menu, no-activate, foreground"
    IFS=, read -r left top right bottom <<<"$(echo "$frame" | cut -d'|' -f6)"
    [ $(((left + right) / 2 - 512)) -ge -1 ] && [ $(((left + right) / 2 - 512)) -le 1 ] ||
        fail "not centred across: $frame"
    [ $(((top + bottom) / 2 - 384)) -ge -1 ] && [ $(((top + bottom) / 2 - 384)) -le 1 ] || fail "not centred down: $frame"
    gui_screenshot "passive-$lang"
    assert_eq "$(passive_windows "$caption" | wc -l)" "1" "windows with the caption after WM_CLOSE and SC_CLOSE"

    passive_release
    assert_eq "$(gui_wait_exit)" "0" "exit code"
    assert_eq "$(passive_windows "$caption")" "" "window left after the run"
    assert_file "$(client_dir)/MainFeature.txt"
    assert_temp_clean
}

test_passive_progress_window_in_english_with_the_log_of_a_run_without_it() {
    # The same run without a display first: the window cannot be made, which is logged, and the run goes on.
    passive_prepare
    passive_release
    run_setup /passive
    assert_eq "$EXIT_CODE" "0" "exit code without a display"
    local without
    without=$(normalized_log)
    assert_lines_in_order "$without" "InstallController|Enqueue installation of embedded msi file: <WORK>\\$PP_MSI" \
        "BootStrapper|Progress window failed: 578" "InstallController|Run: .NET Framework 4.7.2"
    assert_eq "$(echo "$without" | grep -c '^BootStrapper|Progress window failed')" "1" "failure lines"

    passive_prepare
    passive_window_run en "KELVARO VOV Client for Windows" "Installing: .NET Framework 4.7.2"
    assert_text "$(normalized_log)" "$(echo "$without" | grep -v '^BootStrapper|Progress window failed: 578$')" \
        "log of the run with the window"
}

test_passive_progress_window_in_german() {
    passive_prepare
    passive_window_run de "KELVARO VOV Client für Windows" "Wird installiert: .NET Framework 4.7.2"
    # The actions' texts are German as well (the log is written in the ANSI code page).
    assert_lines_in_order "$(normalized_log)" "BootStrapper|Install requested" \
        "InstallController|SetCurrentJobDescription: Wird installiert: .NET Framework 4.7.2" \
        $'InstallController|SetCurrentJobDescription: Wird installiert: KELVARO VOV Client f\xfcr Windows' \
        "BootStrapper|Done"
    if log_entries | grep -q '^BootStrapper|Progress window failed'; then fail "the window failed"; fi
}

test_passive_with_qn_shows_no_progress_window() {
    passive_prepare
    gui_start_display
    trap gui_cleanup EXIT
    gui_start_setup /passive /qn
    passive_wait_held
    # Had the run shown the window, it would be up now: it comes before the first action.
    assert_eq "$(passive_windows "KELVARO VOV Client for Windows")" "" "progress window of /passive /qn"
    assert_eq "$(xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do
        xdotool getwindowname "$w"; done)" "" "visible windows"
    passive_release
    assert_eq "$(gui_wait_exit)" "0" "exit code"
    assert_eq "$(log_entries | grep -c '^BootStrapper|Progress window')" "0" "progress window lines"
    assert_eq "$(log_entries | grep '^BootStrapper|' | tail -n 1)" "BootStrapper|Done" "last line"
}
