# What a process without elevation could plant for the elevated Setup.exe, tried under Wine: DLLs beside
# Setup.exe, a package at the old fixed path held open by another process, the working folder and its DACL,
# a payload that cannot be written, a log folder that is a link, and values that would add to a command line.

source "$(dirname "${BASH_SOURCE[0]}")/gui.sh"

SEC_MSI="KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
SEC_PKG_68="$BUILD_WIN64/samples/KELVARO_UCC_Client_for_64bit_Windows_v6.8.1.0.msi"
SEC_CODE_67="{23EA6169-CCA9-4815-96BF-5AC4082FE794}"
SEC_CODE_68="{BC77E1FC-63A4-456A-AADA-11209BEA66F4}"
SEC_DOTNET="NDP472-KB4054530-x86-x64-AllOS-ENU.exe"

sec_probe() { wine "$TOOLS_DIR/systemprobe.exe" "$@" 2>>"$TEST_DIR/wine-stderr.txt" | tr -d '\r'; }

# Whether Windows Installer knows a product code.
sec_product_installed() {
    wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" >/dev/null 2>&1
}

# DLLs that record their loading, planted beside Setup.exe under the names of DLLs it or its system DLLs load:
# msi.dll and urlmon.dll (with the functions Setup.exe once imported from them), uxtheme.dll (which the common
# controls load), wininet.dll (which urlmon loads to download), and wintrust.dll and crypt32.dll (which the
# signature check of a prerequisite installer loads, and msi.dll too). Under Wine only a name given native-first
# order is searched beside the program, as Windows searches one that is not a KnownDLL. The run's exit code is
# the same as without them.
test_planted_dlls_are_never_loaded() {
    new_prefix
    stage_setup
    # The .NET installer in REDISTDIR is signed by another name than the expected one: its signature is checked
    # (wintrust.dll and crypt32.dll are loaded) and refused. Nothing listens on the download port: the download
    # then fails after three attempts.
    sign_copy "$TOOLS_DIR/fakeinstaller.exe" "$TEST_DIR/media/redist/$SEC_DOTNET" "Someone Else"
    run_setup /passive
    local without="$EXIT_CODE"
    assert_eq "$without" "2148270088" "exit code without planted DLLs"
    local planted="$TOOLS_DIR/planted" name
    cp "$planted/msi.dll" "$planted/urlmon.dll" "$TEST_DIR/media/"
    for name in uxtheme wininet wintrust crypt32; do cp "$planted/plain.dll" "$TEST_DIR/media/$name.dll"; done
    rm -f "$(setup_log)"
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;msi,urlmon,uxtheme,wininet,wintrust,crypt32=n,b" run_setup /passive
    assert_eq "$EXIT_CODE" "$without" "exit code with planted DLLs"
    if [ -f "$WINEPREFIX/drive_c/planted-loads.txt" ]; then
        fail "planted DLLs were loaded: $(tr -d '\r' <"$WINEPREFIX/drive_c/planted-loads.txt" | tr '\n' ' ')"
    fi
    # Windows Installer was asked (the package was read), the signature checked and its signer's name read
    # (0x800B010F: not the expected signer), and the download was tried, all with the system's DLLs.
    assert_lines_in_order "$(normalized_log)" "BootStrapper|Not installed" \
        "ResourceExtractor|Verification failed: <MEDIA>redist\\$SEC_DOTNET (800b010f)" \
        "ResourceExtractor|Download failed: 800c0008" "BootStrapper|Done"
    if log_entries | grep -q '^SystemLibrary|'; then fail "a system DLL could not be loaded: $(log_entries | grep '^SystemLibrary|')"; fi
    assert_eq "$(installer_calls)" "" "installers started"
    assert_temp_clean
}

# A different package at the path where Setup.exe once wrote its package, held open by a process that lets
# others read it but not write it: /passive installs the client from its own working folder; the planted
# package is never installed and stays as it was.
test_planted_package_held_open_is_never_installed() {
    new_prefix
    stage_setup
    dotnet_present
    local planted="$(prefix_temp)/$SEC_MSI"
    mkdir -p "$(prefix_temp)"
    wine "$TOOLS_DIR/holdfile.exe" "$(prefix_temp_windows)$SEC_MSI" 'C:\release-hold.txt' "$(winpath "$SEC_PKG_68")" \
        >"$TEST_DIR/holdfile.txt" 2>>"$TEST_DIR/wine-stderr.txt" &
    local holder=$!
    wait_for_file "$TEST_DIR/holdfile.txt"
    assert_eq "$(tr -d '\r' <"$TEST_DIR/holdfile.txt")" "held" "holder"
    # The holder keeps running in the same Wine session: wait for Setup.exe alone.
    run_windows "$(winpath "$SETUP_COPY")" /passive
    touch "$WINEPREFIX/drive_c/release-hold.txt"
    wait "$holder"
    wineserver -w
    assert_eq "$EXIT_CODE" "0" "exit code"
    assert_eq "$(client_registry_value Version)" "6.7.3319" "installed version"
    sec_product_installed "$SEC_CODE_67" || fail "the client is not installed"
    if sec_product_installed "$SEC_CODE_68"; then fail "the planted package was installed"; fi
    cmp "$planted" "$SEC_PKG_68" || fail "the planted package was changed"
    assert_lines_in_order "$(normalized_log)" \
        "CInstallAction|InstallProductViaMsiExec: <WORK>\\$SEC_MSI" \
        "InstallController|Result of KELVARO VOV Client for Windows: 0" "BootStrapper|Done"
    rm -f "$planted"
    assert_temp_clean
}

# While a run lasts, its working folder in the temporary folder holds the run's files, is private, and is the
# current folder of the programs it starts; afterwards it is gone (here after a failed prerequisite).
test_working_folder_is_private_and_exists_only_during_the_run() {
    new_prefix
    stage_setup
    start_run_held_at_dotnet "$TEST_DIR/exit.txt"
    local run=$HELD_RUN_PID

    local folders
    folders=$(work_folders)
    assert_eq "$(echo "$folders" | grep -c .)" "1" "working folders during the run"
    local name windows
    name=$(basename "$folders")
    windows="$(prefix_temp_windows)$name"
    assert_eq "$(log_entries | sed -n 's/^ResourceExtractor|Working folder: //p')" "$windows" "logged working folder"
    assert_eq "$(cd "$folders" && ls -1 | sort | tr '\n' ' ')" \
        "CleanupInstallation.exe KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi $SEC_MSI Setup.running " \
        "files of the run, with the marker it holds"
    assert_eq "$(installer_folders)" "$SEC_DOTNET|$windows" "current folder of the installer"

    # Read back under Wine, which keeps no security descriptor of its own for files but derives one from the
    # Unix owner and mode: two entries, SYSTEM with full control first, nobody else; the protected flag and the
    # Administrators group do not survive that mapping (see the README).
    local dacl
    dacl=$(sec_probe dacl "$windows")
    assert_eq "$(echo "$dacl" | grep '^aces:')" "aces: 2" "entries of the working folder's DACL"
    assert_eq "$(echo "$dacl" | grep '^ace:' | head -n 1 | cut -d' ' -f2-4)" "allow S-1-5-18 0x001f01ff" "first entry"
    if echo "$dacl" | grep -qE 'S-1-1-0|S-1-5-32-545|S-1-5-11'; then fail "the working folder is open to others: $dacl"; fi

    echo 1603 >"$WINEPREFIX/drive_c/prereq-release.txt"
    wait "$run"
    wineserver -w
    assert_eq "$(cat "$TEST_DIR/exit.txt")" "1603" "exit code"
    assert_lines_in_order "$(normalized_log)" "InstallController|Result of .NET Framework 4.7.2: 643" \
        "BootStrapper|Done" "ResourceExtractor|Delete: <WORK>"
    assert_no_file "$folders"
    assert_temp_clean
}

# The descriptor the working folder is created with, given to CreateDirectoryW itself: a protected DACL with
# exactly two entries, full control for SYSTEM and for the Administrators group, inherited by files and folders.
test_private_folder_descriptor_has_two_entries_and_is_protected() {
    new_prefix
    local expected
    expected=$(cat <<'LINES'
protected: 1
aces: 2
ace: allow S-1-5-18 0x001f01ff 0x03
ace: allow S-1-5-32-544 0x001f01ff 0x03
LINES
)
    assert_text "$(sec_probe private-descriptor)" "$expected" "descriptor of a private folder"
    # A name that exists (here as a file) is never taken over.
    mkdir -p "$(prefix_temp)"
    echo taken >"$(prefix_temp)/taken"
    assert_eq "$(sec_probe private-folder "$(prefix_temp_windows)taken" | head -n 1)" "Win32CreatePrivateFolder: 183" \
        "existing name"
    assert_eq "$(cat "$(prefix_temp)/taken")" "taken" "the existing file"
}

# A payload that cannot be written completely (here: the files of the run may not grow beyond 100 KB, and the
# clean-up tool is larger) ends the run with the Windows error, before anything is detected or run, and leaves
# nothing behind.
test_payload_that_cannot_be_written_ends_the_run_with_its_error() {
    new_prefix
    stage_setup
    assert_extract_fails_at_file_limit "$(winpath "$SETUP_COPY")" /passive
    local error=$EXTRACT_ERROR
    local log
    log=$(normalized_log)
    assert_lines_in_order "$log" "ResourceExtractor|Working folder: <WORK>" \
        "ResourceExtractor|Extract: <WORK>\\CleanupInstallation.exe" "ResourceExtractor|Extract failed: $error" \
        "BootStrapper|Setup failed: $error" "ResourceExtractor|Delete: <WORK>"
    if echo "$log" | grep -qE '^(InstallController\|(Msi x64|Clean tool|Run)|CInstallAction\|)'; then
        fail "the run went on after the failed extraction"
    fi
    if echo "$log" | grep -q '^BootStrapper|Done$'; then fail "Done after a failed extraction"; fi
    assert_temp_clean
}

# A run that would show the wizard shows a message box instead, in the user's language (English here), with the
# system's text of the error; it ends with the error when the user closes it.
test_payload_that_cannot_be_written_is_told_in_a_message_box_instead_of_the_wizard() {
    new_prefix
    stage_setup
    gui_start_display
    trap gui_cleanup EXIT
    rm -f "$TEST_DIR/setup-exit.txt"
    (
        trap '' XFSZ
        ulimit -f 100
        run_windows "$(winpath "$SETUP_COPY")"
        echo "$EXIT_CODE" >"$TEST_DIR/setup-exit.txt"
    ) &
    GUI_SETUP_PID=$!
    local caption="KELVARO VOV Client for Windows"
    gui_wait_window "$caption" >/dev/null
    gui_screenshot en-setup-files-failed
    local error
    error=$(log_entries | sed -n 's/^ResourceExtractor|Extract failed: //p')
    [ -n "$error" ] || fail "no extraction failed"
    local text
    text=$(gui_visible_controls "$caption" | grep '^65535|Static|' | cut -d'|' -f5-)
    [[ "$text" == "Setup could not write its files to the temporary folder. Free some disk space or close the program that uses the temporary folder, then run the setup again. "*"\n\n($((16#$error)), 0x$error)" ]] ||
        fail "message text: [$text]"
    gui_keys "$caption" Return
    assert_eq "$(gui_wait_exit)" "$((16#$error))" "exit code"
    if log_entries | grep -qE '^BootStrapper\|(Show wizard|Initialize wizard)'; then fail "the wizard was built"; fi
    assert_eq "$(log_entries | grep '^BootStrapper|' | tail -n 1)" "BootStrapper|Setup failed: $error" "last line"
    assert_temp_clean
}

# Under Wine a Unix symbolic link to a folder is reported as a reparse point by name (GetFileAttributesW,
# FindFirstFileW), though a handle opened with FILE_FLAG_OPEN_REPARSE_POINT follows it; Setup.exe asks both. A
# link anywhere in the log's path: nothing is written, moved or deleted through it, and the run goes on.
test_log_folder_that_is_a_link_is_not_used() {
    local temp target snapshot case
    for case in logs company backup; do
        echo "case: $case" >&2
        new_prefix
        stage_setup
        temp=$(prefix_temp)
        target="$TEST_DIR/elsewhere-$case"
        rm -rf "$target"
        mkdir -p "$target" "$temp/KELVARO GmbH/Setup/logs"
        # What a run would write, move and prune: yesterday's log and six backups.
        local logs="$target" bak="$target/bak"
        [ "$case" = company ] && logs="$target/Setup/logs" && bak="$logs/bak"
        [ "$case" = backup ] && bak="$target"
        mkdir -p "$logs" "$bak"
        echo "old line" >"$logs/Setup.log"
        touch -d '2 days ago' "$logs/Setup.log"
        local day
        for day in 01 02 03 04 05 06; do
            echo "backup $day" >"$bak/202601$day.log"
            touch -d "2026-01-$day 12:00" "$bak/202601$day.log"
        done
        case "$case" in
        logs) rm -rf "$temp/KELVARO GmbH/Setup/logs"; ln -s "$target" "$temp/KELVARO GmbH/Setup/logs" ;;
        company) rm -rf "$temp/KELVARO GmbH"; ln -s "$target" "$temp/KELVARO GmbH" ;;
        backup)
            echo "old line" >"$temp/KELVARO GmbH/Setup/logs/Setup.log"
            touch -d '2 days ago' "$temp/KELVARO GmbH/Setup/logs/Setup.log"
            ln -s "$target" "$temp/KELVARO GmbH/Setup/logs/bak"
            ;;
        esac
        snapshot=$(cd "$target" && find . -type f -printf '%p %s %T@\n' | sort)
        run_setup /x
        assert_eq "$EXIT_CODE" "1605" "exit code ($case)"
        assert_eq "$(cd "$target" && find . -type f -printf '%p %s %T@\n' | sort)" "$snapshot" \
            "files behind the link ($case)"
        if [ "$case" = backup ]; then
            # The log folder itself is fine: the lines go on in the active file, which is not moved.
            assert_eq "$(head -n 1 "$(setup_log)")" "old line" "active log kept ($case)"
            grep -q 'Uninstall requested, nothing installed' "$(setup_log)" || fail "lines lost ($case)"
        fi
        assert_temp_clean
    done
}

# One table of arguments that would add to msiexec's command line: each is refused with 1639 before anything is
# extracted or run, and the log names the argument as it was given. A feature list with blanks around its commas and a configuration folder with blanks are
# no injection: that run installs with exactly its own tokens.
test_command_line_injections_are_refused_with_1639() {
    new_prefix
    stage_setup
    dotnet_present
    local -a cases=(
        'ADDLOCAL=MainFeature REBOOT=Force'
        'ADDLOCAL=MainFeature,/qn'
        '/qn REBOOT=Force'
        '/qb/norestart'
        'REMOVE=FeatureFax REBOOT=Force'
        'CUSTOMCONFIGFILES=C:\Cfg" REBOOT=Force "x'
        'REDISTDIR=C:\Redist" /x'
    )
    local i
    for i in "${!cases[@]}"; do
        rm -f "$(setup_log)"
        run_setup /passive "${cases[$i]}"
        assert_eq "$EXIT_CODE" "1639" "exit code of [${cases[$i]}]"
        assert_eq "$(log_entries | grep '^BootStrapper|' | tail -n 1)" "BootStrapper|Invalid command line: ${cases[$i]}" \
            "last line of [${cases[$i]}]"
        if log_entries | grep -qE '^(ResourceExtractor|InstallController|CInstallAction)\|'; then
            fail "something was extracted or run for [${cases[$i]}]"
        fi
        assert_temp_clean
    done
    if sec_product_installed "$SEC_CODE_67"; then fail "installed by a refused command line"; fi

    rm -f "$(setup_log)"
    run_setup /qn 'ADDLOCAL=MainFeature , FeatureDiagnostics' 'CUSTOMCONFIGFILES=C:\Cfg Files'
    assert_eq "$EXIT_CODE" "0" "exit code of the accepted command line"
    assert_lines_in_order "$(normalized_log)" \
        "CommandLineParser|AddLocalFeatures: MainFeature , FeatureDiagnostics" \
        "InstallController|addlocal: MainFeature,FeatureDiagnostics, remove: " \
        "CInstallAction|C:\\windows\\system32\\msiexec.exe /i \"<WORK>\\$SEC_MSI\" /qn /promptrestart ADDLOCAL=MainFeature,FeatureDiagnostics CUSTOMCONFIGFILES=\"C:\\Cfg Files\" /lvoicewarmupx \"<TEMP>KELVARO GmbH\\Setup\\logs\\DiDeraveInstall.log\" " \
        "BootStrapper|Done"
    assert_eq "$(client_registry_value CustomConfigFiles)" 'C:\Cfg Files' "CUSTOMCONFIGFILES seen by the package"
    assert_file "$(client_dir)/FeatureDiagnostics.txt"
    assert_temp_clean
}
