# The administrators' switches under Wine: the usage on the console, the log in a chosen file, the packages
# written out by /extract, and an offline installation point made by /layout that installs without a server.

AD_DOTNET="NDP472-KB4054530-x86-x64-AllOS-ENU.exe"
AD_SAMPLES="$BUILD_WIN64/samples"
AD_MSI_X86="KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi"
AD_MSI_X64="KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"

ad_requests() { grep -c '"GET ' "$TEST_DIR/http.log" 2>/dev/null || true; }

test_admin_usage_goes_to_the_console_and_nothing_runs() {
    new_prefix
    stage_setup
    local exe
    exe=$(winpath "$SETUP_COPY")
    wine cmd /c "$exe" '/?' >"$TEST_DIR/console.txt" 2>>"$TEST_DIR/wine-stderr.txt"
    wineserver -w
    local console
    console=$(tr -d '\r' <"$TEST_DIR/console.txt")
    echo "$console" | grep -qx 'Setup.exe \[switches\] \[properties\]' || fail "no usage on the console: $console"
    for line in '  /log <file>  write the log to that file; the msiexec logs go beside it' \
                '  /?, /h, /help  show this text' \
                '  REDISTDIR=<folder>  prerequisite installers (default: redist beside Setup.exe)'; do
        echo "$console" | grep -qxF -- "$line" || fail "usage line missing: $line"
    done
    LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 wine cmd /c "$exe" '-help' >"$TEST_DIR/console-de.txt" 2>>"$TEST_DIR/wine-stderr.txt"
    wineserver -w
    tr -d '\r' <"$TEST_DIR/console-de.txt" | grep -qx 'Setup.exe \[Schalter\] \[Eigenschaften\]' ||
        fail "no German usage: $(cat "$TEST_DIR/console-de.txt")"

    # The exit code, through a program that reads it, and nothing extracted, installed or left.
    rm -f "$(setup_log)"
    run_setup /x '/?'
    assert_eq "$EXIT_CODE" "0" "exit code"
    assert_eq "$(log_entries | tail -n 2 | tr '\n' ' ')" "BootStrapper|Show usage BootStrapper|Done " "last lines"
    if log_entries | grep -qE 'Working folder|Extract:|msiexec'; then fail "/? did more than show the usage"; fi
    assert_temp_clean
}

test_admin_log_goes_to_the_chosen_file_with_the_msiexec_log_beside_it() {
    new_prefix
    dotnet_present
    run_setup /passive /log 'C:\logs\kelvaro setup.log'
    assert_eq "$EXIT_CODE" "0" "exit code"
    local log="$WINEPREFIX/drive_c/logs/kelvaro setup.log"
    assert_file "$log"
    assert_eq "$(log_entries "$log" | head -n 4 | tr '\n' '#')" \
        "BootStrapper|-----------------------------#BootStrapper|Setup v6.7.3.319#CommandLineParser|bFlag: 1, bLast: 0, param: passive#CommandLineParser|passive#" \
        "first lines"
    assert_lines_in_order "$(log_entries "$log")" \
        "CommandLineParser|bFlag: 1, bLast: 0, param: log" \
        "CommandLineParser|Log file: C:\\logs\\kelvaro setup.log" \
        "BootStrapper|Install requested" \
        "BootStrapper|Done"
    log_entries "$log" | grep -qF '/lvoicewarmupx "C:\logs\DiDeraveInstall.log"' || fail "msiexec's log is not beside it"
    assert_file "$WINEPREFIX/drive_c/logs/DiDeraveInstall.log"
    assert_no_file "$(setup_log)"
    assert_eq "$(client_registry_value Version)" "6.7.3319" "client installed"

    # Appended, from the first line of the next run on.
    run_setup /log 'C:\logs\kelvaro setup.log' /x
    assert_eq "$EXIT_CODE" "0" "exit code of the removal"
    assert_eq "$(log_entries "$log" | grep -c '^BootStrapper|Setup v6.7.3.319$')" "2" "runs in the file"
    assert_no_file "$(setup_log)"
    assert_temp_clean
}

test_admin_log_that_cannot_be_used_falls_back_or_is_refused() {
    new_prefix
    mkdir -p "$TEST_DIR/elsewhere"
    ln -s "$TEST_DIR/elsewhere" "$WINEPREFIX/drive_c/linked"
    run_setup /x /log 'C:\linked\s.log'
    assert_eq "$EXIT_CODE" "1605" "exit code"
    assert_eq "$(log_entries | head -n 2 | tr '\n' '#')" \
        "BootStrapper|Log file not used, its folder cannot be created or is a link: C:\\linked\\s.log#BootStrapper|-----------------------------#" \
        "first lines of the usual log"
    assert_eq "$(ls -A "$TEST_DIR/elsewhere")" "" "nothing written through the link"

    rm -f "$(setup_log)"
    run_setup /x /log
    assert_eq "$EXIT_CODE" "1639" "exit code without a path"
    assert_eq "$(log_entries | tail -n 1)" "BootStrapper|Invalid command line: /log" "last line"
    if log_entries | grep -q 'Working folder'; then fail "something was extracted"; fi
    assert_temp_clean
}

test_admin_extract_writes_the_payloads_and_installs_nothing() {
    new_prefix
    run_setup /extract 'C:\out dir\client' /x
    assert_eq "$EXIT_CODE" "0" "exit code"
    local out="$WINEPREFIX/drive_c/out dir/client"
    cmp "$out/$AD_MSI_X86" "$AD_SAMPLES/$AD_MSI_X86" || fail "32-bit package differs"
    cmp "$out/$AD_MSI_X64" "$AD_SAMPLES/$AD_MSI_X64" || fail "64-bit package differs"
    cmp "$out/CleanupInstallation.exe" "$BUILD_WIN64/payloads/CleanupInstallation.exe" || fail "clean-up tool differs"
    assert_eq "$(ls "$out" | wc -l)" "3" "files written"
    assert_eq "$(log_entries | tail -n 1)" "BootStrapper|Done" "last line"
    if log_entries | grep -qE 'Uninstall requested|msiexec|Is x64 windows'; then fail "/extract did more"; fi
    assert_eq "$(client_registry_value Version)" "" "nothing installed"
    assert_temp_clean

    # A second run replaces the files; a file that cannot be written ends the run with its error, and
    # nothing of it is left.
    printf 'old' >"$out/CleanupInstallation.exe"
    run_setup /extract 'C:\out dir\client'
    assert_eq "$EXIT_CODE" "0" "exit code of the second run"
    cmp "$out/CleanupInstallation.exe" "$BUILD_WIN64/payloads/CleanupInstallation.exe" || fail "not replaced"
    rm -rf "$out"
    rm -f "$(setup_log)"
    assert_extract_fails_at_file_limit "$(winpath "$SETUP_EXE")" /extract 'C:\out dir\client'
    assert_file "$out/$AD_MSI_X64"
    assert_no_file "$out/CleanupInstallation.exe"
}

test_admin_layout_then_offline_install_from_it() {
    new_prefix
    trap stop_http_server EXIT
    local site="$TEST_DIR/site/kelvaro/clients/Windows/redist"
    local name
    for name in "$AD_DOTNET" gs950w64.exe gs927w32.exe; do provide_signed_standin "$site" "$name"; done
    provide_signed_standin "$site" eDocPrintPro_x64_v4.1.1.0.exe
    provide_signed_standin "$site" eDocPrintPro_v4.0.2.0.exe
    start_http_server "$TEST_DIR/site"
    run_setup /layout 'C:\install point'
    assert_eq "$EXIT_CODE" "0" "exit code"
    local point="$WINEPREFIX/drive_c/install point"
    cmp "$point/Setup.exe" "$SETUP_EXE" || fail "Setup.exe not copied"
    cmp "$point/redist/$AD_DOTNET" "$site/$AD_DOTNET" || fail ".NET installer not laid out"
    cmp "$point/redist/eDocPrintPro_x64.exe" "$site/eDocPrintPro_x64_v4.1.1.0.exe" || fail "eDocPrintPro x64 not laid out"
    cmp "$point/redist/eDocPrintPro.exe" "$site/eDocPrintPro_v4.0.2.0.exe" || fail "eDocPrintPro x86 not laid out"
    assert_eq "$(ls "$point/redist" | sort | tr '\n' ' ')" \
        "$AD_DOTNET eDocPrintPro.exe eDocPrintPro_x64.exe gs927w32.exe gs950w64.exe " "redist folder"
    assert_eq "$(ad_requests)" "5" "downloads"
    assert_eq "$(log_entries | grep -c '^Layout|Copied: ')" "6" "files copied"
    assert_temp_clean

    # A second run keeps everything and downloads nothing.
    rm -f "$(setup_log)"
    run_setup /layout 'C:\install point'
    assert_eq "$EXIT_CODE" "0" "exit code of the second run"
    assert_eq "$(ad_requests)" "5" "downloads after the second run"
    assert_eq "$(log_entries | grep -c '^Layout|Kept: C:\\install point\\redist\\')" "5" "files kept"
    stop_http_server

    # With the server gone, the point's Setup.exe installs with its prerequisites from its redist folder.
    rm -f "$(setup_log)"
    run_windows 'C:\install point\Setup.exe' /passive ADDLOCAL=MainFeature,FeatureFax
    wineserver -w
    assert_eq "$EXIT_CODE" "0" "exit code of the offline installation"
    assert_lines_in_order "$(log_entries)" \
        "ResourceExtractor|Local redist: C:\\install point\\redist\\$AD_DOTNET" \
        "ResourceExtractor|Local redist: C:\\install point\\redist\\gs950w64.exe" \
        "ResourceExtractor|Local redist: C:\\install point\\redist\\eDocPrintPro_x64.exe" \
        "BootStrapper|Done"
    if log_entries | grep -q '^ResourceExtractor|Download: '; then fail "the offline installation downloaded"; fi
    assert_eq "$(installer_calls | cut -d'|' -f1 | tr '\n' ' ')" "$AD_DOTNET gs950w64.exe eDocPrintPro_x64.exe " \
        "installers started"
    assert_eq "$(client_registry_value Version)" "6.7.3319" "client installed"
    assert_file "$(client_dir)/FeatureFax.txt"
    assert_temp_clean
}

test_admin_layout_attempts_every_file_and_reports_the_first_failure() {
    new_prefix
    trap stop_http_server EXIT
    local site="$TEST_DIR/site/kelvaro/clients/Windows/redist"
    provide_signed_standin "$site" gs950w64.exe
    cp "$TOOLS_DIR/fakeinstaller.exe" "$site/gs927w32.exe"  # unsigned: fails verification
    start_http_server "$TEST_DIR/site"
    run_setup /layout 'C:\point'
    assert_eq "$EXIT_CODE" "2149122452" "exit code: the first failure, .NET's 404"
    assert_lines_in_order "$(log_entries)" \
        "Layout|Copied: C:\\point\\Setup.exe" \
        "Layout|Failed: C:\\point\\redist\\$AD_DOTNET (80190194)" \
        "Layout|Copied: C:\\point\\redist\\gs950w64.exe" \
        "Layout|Failed: C:\\point\\redist\\gs927w32.exe (800b0100)" \
        "Layout|Failed: C:\\point\\redist\\eDocPrintPro_x64.exe (80190194)" \
        "Layout|Failed: C:\\point\\redist\\eDocPrintPro.exe (80190194)" \
        "BootStrapper|Setup failed: 80190194"
    assert_eq "$(ls "$WINEPREFIX/drive_c/point/redist")" "gs950w64.exe" "only the verified file"
    assert_temp_clean
}
