# Complete runs of the wizard under Wine and Xvfb: a new installation through every page (in English and in
# German), a reboot request after a prerequisite's 3010, a prerequisite that cannot be downloaded, Modify and
# Remove; the running client asked to quit, Outlook holding the wizard, the exit codes. Screenshots of every page
# are kept in $TEST_DIR/screenshots.

source "$(dirname "${BASH_SOURCE[0]}")/gui.sh"

WI_PKG_67="$BUILD_WIN64/samples/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
WI_PKG_68="$BUILD_WIN64/samples/KELVARO_UCC_Client_for_64bit_Windows_v6.8.1.0.msi"
WI_DOTNET="NDP472-KB4054530-x86-x64-AllOS-ENU.exe"
WI_GS="gs950w64.exe"
WI_EDOC="eDocPrintPro_x64.exe"
WI_DOWNLOAD_PORT="${TEST_DOWNLOAD_PORT:-48213}"

wi_client_dir() { echo "$WINEPREFIX/drive_c/Program Files/KELVARO/VOV Client"; }
wi_calls() { tr -d '\r' <"$WINEPREFIX/drive_c/prereq-calls.log" 2>/dev/null; }

# Places a stand-in installer (a program of tests/tools) under the file name in the folder.
wi_provide() {  # folder, file name, program
    mkdir -p "$1"
    cp "$TOOLS_DIR/${3:-fakeinstaller}.exe" "$1/$2"
}

wi_exit_code() { echo "$1 $2" >>"$WINEPREFIX/drive_c/prereq-exitcodes.txt"; }

wi_msi_install() { msi_install_package "$@"; }

wi_dotnet_present() {
    wine reg add 'HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Full' /v Release /t REG_DWORD /d 461808 /f \
        >/dev/null 2>&1
    wineserver -w
}

# An older Ghostscript that the legacy page offers to remove, with a stand-in uninstaller.
wi_legacy_ghostscript() {
    local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\GPL Ghostscript 9.20'
    mkdir -p "$WINEPREFIX/drive_c/gs/gs9.20"
    cp "$TOOLS_DIR/fakeinstaller.exe" "$WINEPREFIX/drive_c/gs/gs9.20/uninstgs.exe"
    wine reg add "$key" /v DisplayName /d "GPL Ghostscript" /f >/dev/null 2>&1
    wine reg add "$key" /v DisplayVersion /d "9.20" /f >/dev/null 2>&1
    wine reg add "$key" /v UninstallString /d 'C:\gs\gs9.20\uninstgs.exe' /f >/dev/null 2>&1
    wineserver -w
}

# An eDocPrintPro that counts as installed (it also stands for Ghostscript): its folder with the utility, and an
# uninstall entry of the required version.
wi_edocprintpro_present() {
    local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\eDocPrintPro'
    mkdir -p "$WINEPREFIX/drive_c/edoc"
    touch "$WINEPREFIX/drive_c/edoc/eDocPrintProUtil.exe"
    wine reg add 'HKLM\SOFTWARE\MAYComputer\eDocPrintPro' /v eDocPrintPro /d 'C:\edoc\' /f >/dev/null 2>&1
    wine reg add "$key" /v DisplayName /d eDocPrintPro /f >/dev/null 2>&1
    wine reg add "$key" /v Version /t REG_DWORD /d 0x04010000 /f >/dev/null 2>&1
    wineserver -w
}

# A fresh prefix with Wine's own fonts (Tahoma: the link control needs it to read its markup, and the pages
# then look as on Windows) and a staged Setup.exe.
wi_prepare() {
    new_prefix
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" || fail "Wine's fonts are missing (Debian package fonts-wine)"
    stage_setup
}

wi_start() {
    gui_start_display
    trap wi_cleanup EXIT
    gui_start_setup
}

wi_cleanup() {
    local pid
    for pid in ${WI_BACKGROUND:-}; do kill "$pid" 2>/dev/null || true; done
    gui_cleanup
}

# Starts a test program in the background (its Linux process id is remembered for the clean-up).
wi_background() {  # variable name, program, arguments...
    local var="$1" program="$2"
    shift 2
    wine "$TOOLS_DIR/$program.exe" "$@" >"$TEST_DIR/$program.txt" 2>>"$TEST_DIR/wine-stderr.txt" &
    printf -v "$var" '%s' "$!"
    WI_BACKGROUND="${WI_BACKGROUND:-} $!"
}

# Waits until a Windows program started with wi_background has ended; fails after the number of seconds.
wi_wait_ended() {  # pid, seconds, what
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    fail "$3 still runs after $2 s"
}

# The screen shows the page with the caption: waits for it and keeps a screenshot.
wi_page() {  # caption, screenshot name
    gui_wait_window "$1" >/dev/null
    gui_screenshot "$2"
}

# The texts of one language: captions, mnemonics and the texts the tests compare.
wi_language() {
    if [ "$1" == de ]; then
        W_WELCOME=Willkommen W_FEATURES=Funktionen W_LEGACY="Ältere Ghostscript-Versionen entfernen"
        W_PREREQ=Voraussetzungen W_CONFIRM="Bestätigung" W_RUNNING="Laufende Anwendungen" W_PROGRESS=Fortschritt
        W_FINISH=Abschluss W_NEXT=alt+w W_INSTALL=alt+i W_RETRY=alt+p W_END=alt+f
        W_INSTALL_CAPTION="&Installieren" W_FINISH_CAPTION="&Fertig stellen"
        W_CONFIRM_TEXT="Klicken Sie auf „Installieren“, um die Installation des KELVARO VOV Client abzuschließen."
        W_DONE="Der KELVARO VOV Client wurde installiert."
    else
        W_WELCOME=Welcome W_FEATURES=Features W_LEGACY="Remove Legacy Ghostscript Versions" W_PREREQ=Prerequisites
        W_CONFIRM=Confirmation W_RUNNING="Running Applications" W_PROGRESS=Progress W_FINISH=Finish
        W_NEXT=alt+n W_INSTALL=alt+i W_RETRY=alt+r W_END=alt+f
        W_INSTALL_CAPTION="&Install" W_FINISH_CAPTION="&Finish"
        W_CONFIRM_TEXT="Click 'Install' to complete the KELVARO VOV Client installation."
        W_DONE="The KELVARO VOV Client has been installed."
    fi
}

# A new installation through all eight pages in the language: the legacy Ghostscript is offered, the three
# prerequisites come from the redist folder (.NET held until the progress page has been looked at), the
# running client is asked to quit by Next on the confirmation page, Outlook holds the wizard until it ends and
# Retry is pressed.
wi_every_page() {
    local lang="$1"
    wi_language "$lang"
    wi_prepare
    wi_legacy_ghostscript
    wi_provide "$TEST_DIR/media/redist" "$WI_DOTNET" holdinstaller
    wi_provide "$TEST_DIR/media/redist" "$WI_GS"
    wi_provide "$TEST_DIR/media/redist" "$WI_EDOC"
    wi_start
    local client outlook
    wi_background client KelvaroDiDerave "$(winpath "$TEST_DIR/client.pid")" 120
    wi_background outlook outlook 120

    gui_wait_window Welcome >/dev/null
    if [ "$lang" == de ]; then gui_keys Welcome alt+l Up; fi
    wi_page "$W_WELCOME" "$lang-welcome"
    gui_keys "$W_WELCOME" "$W_NEXT"
    wi_page "$W_FEATURES" "$lang-features"
    gui_keys "$W_FEATURES" "$W_NEXT"

    wi_page "$W_LEGACY" "$lang-legacy-ghostscript"
    assert_eq "$(gui_control "$W_LEGACY" 1037 | cut -d'|' -f2,3)" "ListBox|1" "legacy list"
    gui_keys "$W_LEGACY" "$W_NEXT"

    wi_page "$W_PREREQ" "$lang-prerequisites"
    assert_lines_in_order "$(log_entries)" "CPrerequisites|OnSetActive" \
        "CPrerequisites|Missing: .NET Framework 4.7.2" \
        "CPrerequisites|Missing: Ghostscript 9.50 for Windows (64 bit) AGPL Release" \
        "CPrerequisites|Missing: eDocPrintPro v4.1.1 free"
    case "$(log_entries | grep -a '^CPrerequisites|Hint: ')" in
        "CPrerequisites|Hint: "?*) ;; *) fail "no hint for the fax prerequisites" ;; esac
    gui_keys "$W_PREREQ" "$W_NEXT"

    wi_page "$W_CONFIRM" "$lang-confirmation"
    assert_eq "$(gui_control "$W_CONFIRM" 1012)" "1012|Static|1|0|$W_CONFIRM_TEXT" "confirmation text"
    gui_wait_control "$W_CONFIRM" 12324 "12324|Button|1|0|$W_INSTALL_CAPTION"
    kill -0 "$client" 2>/dev/null || fail "the stand-in client did not start"
    gui_keys "$W_CONFIRM" "$W_INSTALL"
    # The client quits on the broadcast, long before the ten seconds after which it would be ended by force.
    wi_wait_ended "$client" 5 "the stand-in client"

    wi_page "$W_RUNNING" "$lang-running-applications"
    gui_wait_control "$W_RUNNING" 12324 "12324|Button|0|0|$W_INSTALL_CAPTION"
    gui_keys "$W_RUNNING" "$W_RETRY"
    gui_wait_log_line "CRunningAppsPage|OnButtonCheckRunningApps"
    sleep 1
    gui_wait_window "$W_RUNNING" >/dev/null
    kill "$outlook"
    wi_wait_ended "$outlook" 10 "outlook.exe"
    gui_keys "$W_RUNNING" "$W_RETRY"
    gui_wait_log_line "CRunningAppsPage|Proceed"

    wi_page "$W_PROGRESS" "$lang-progress-start"
    gui_wait_log_line "CInstallAction|\"$MEDIA_WIN""redist\\$WI_DOTNET\" /norestart /passive "
    gui_screenshot "$lang-progress"
    local cancel back next
    cancel=$(gui_control "$W_PROGRESS" 2 | cut -d'|' -f3)
    back=$(gui_control "$W_PROGRESS" 12323 | cut -d'|' -f3)
    next=$(gui_control "$W_PROGRESS" 12324 | cut -d'|' -f3)
    assert_eq "$cancel$back$next" "000" "Cancel, Back and Next on the progress page"
    case "$(gui_control "$W_PROGRESS" 1021)" in
        "1021|Static|1|0|"*".NET Framework 4.7.2") ;; *) fail "job description: $(gui_control "$W_PROGRESS" 1021)" ;; esac
    # Escape is Cancel: ignored while the queue runs.
    gui_keys "$W_PROGRESS" Escape
    echo 0 >"$WINEPREFIX/drive_c/prereq-release.txt"

    wi_page "$W_FINISH" "$lang-finish"
    assert_eq "$(gui_control "$W_FINISH" 1015)" "1015|Static|1|0|$W_DONE" "finish text"
    assert_eq "$(gui_visible_controls "$W_FINISH" | grep -c '^1040|')" "0" "the link control is hidden"
    gui_wait_control "$W_FINISH" 12325 "12325|Button|1|0|$W_FINISH_CAPTION"
    gui_keys "$W_FINISH" "$W_END"
    assert_eq "$(gui_wait_exit)" "0" "exit code"

    assert_eq "$(log_entries | grep -c '^InstallController|Cancel$')" "0" "Cancel lines"
    # After the change to German the actions' texts are German too (the log is written in the ANSI code page).
    local product="KELVARO VOV Client for Windows" spooler="Print Spooler"
    if [ "$lang" = de ]; then
        product=$'KELVARO VOV Client f\xfcr Windows'
        spooler="Druckwarteschlange"
    fi
    assert_lines_in_order "$(log_entries)" "InstallController|Run: $spooler" \
        "InstallController|SetCurrentJobDescription: $( [ "$lang" = de ] && echo 'Wird installiert' || echo Installing ): $product"
    assert_lines_in_order "$(normalized_log)" "BootStrapper|Not installed" "CGhostscript|OnSetActive" \
        "CConfirmPage|OnSetActive" "CConfirmPage|InstallNewProduct" \
        'InstallController|Enqueue uninstallation of related product: C:\gs\gs9.20\uninstgs.exe /S' \
        "InstallController|Enqueue installation of prerequisite: .NET Framework 4.7.2" \
        "InstallController|Enqueue installation of embedded msi file: <WORK>\\KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi" \
        "CRunningAppsPage|OnSetActive" "CProgressPage|OnSetActive" "InstallController|StartProcessingInstallActions" \
        "InstallController|Worker thread started" "InstallController|Run: GPL Ghostscript v9.20" \
        "InstallController|Run: .NET Framework 4.7.2" "InstallController|Run: Ghostscript 9.50 for Windows (64 bit) AGPL Release" \
        "InstallController|Run: eDocPrintPro v4.1.1 free" "InstallController|Run: $product" \
        "InstallController|Result of $product: 0" "InstallController|Worker thread done" \
        "CProgressPage|done" "CFinishPage|OnSetActive" "CFinishPage|InstallNewProduct done" "BootStrapper|Wizard done" \
        "BootStrapper|Done"
    if log_entries | grep -q '^BootStrapper|Trigger reboot'; then fail "a reboot without a request"; fi
    assert_text "$(wi_calls | cut -d'|' -f1)" "$(printf '%s\n' uninstgs.exe "$WI_DOTNET" "$WI_GS" "$WI_EDOC")" \
        "installers started"
    assert_file "$(wi_client_dir)/MainFeature.txt"
    assert_file "$(wi_client_dir)/FeatureFax.txt"
    assert_file "$(dirname "$(setup_log)")/DiDeraveInstall.log"
}

test_wizard_install_every_page_in_english() { wi_every_page en; }

test_wizard_install_every_page_in_german() { wi_every_page de; }

test_wizard_install_prerequisite_3010_shows_the_reboot_and_finish_reboots() {
    wi_prepare
    wi_dotnet_present
    wi_provide "$TEST_DIR/media/redist" "$WI_GS"
    wi_provide "$TEST_DIR/media/redist" "$WI_EDOC"
    wi_exit_code "$WI_GS" 3010
    wi_start
    gui_keys Welcome alt+n
    gui_keys Features alt+n
    gui_keys Prerequisites alt+n
    gui_keys Confirmation alt+i
    wi_page Finish en-finish-reboot
    assert_eq "$(gui_control Finish 1015)" "1015|Static|1|0|The KELVARO VOV Client has been installed.\\nPlease close all applications and restart the computer now! \\nA reboot is required for applying updates." \
        "finish text with the reboot request"
    gui_wait_control Finish 12325 "12325|Button|1|0|&Reboot"
    gui_keys Finish alt+r
    local code
    code=$(gui_wait_exit)
    local lines
    lines=$(log_entries | grep '^BootStrapper|' | tail -n 4)
    assert_lines_in_order "$(log_entries)" "InstallController|Component was installed, but reboot is required" \
        "CFinishPage|InstallNewProduct done" "BootStrapper|Wizard done" "BootStrapper|Trigger reboot"
    # Wine grants the shutdown privilege and accepts the request (it does not reboot the machine).
    assert_eq "$(echo "$lines" | sed -n 3p)" "BootStrapper|Reboot triggered." "outcome of the reboot request"
    assert_eq "$code" "1641" "exit code after the reboot request"
    assert_eq "$(echo "$lines" | tail -n 1)" "BootStrapper|Done" "last line"
    # The client was installed without being started: a reboot is pending.
    assert_file "$(wi_client_dir)/MainFeature.txt"
}

test_wizard_install_download_failure_shows_the_links() {
    wi_prepare
    wi_dotnet_present
    # Ghostscript is neither in the redist folder nor on the (absent) download server.
    wi_provide "$TEST_DIR/media/redist" "$WI_EDOC"
    wi_start
    gui_keys Welcome alt+n
    gui_keys Features alt+n
    gui_keys Prerequisites alt+n
    gui_keys Confirmation alt+i
    wi_page Finish en-finish-download-failed
    local link server="http://127.0.0.1:$WI_DOWNLOAD_PORT/kelvaro/clients/Windows/redist"
    link=$(gui_control Finish 1040)
    case "$link" in
        "1040|SysLink|1|0|Setup failed. Downloading the prerequisites failed. Manually download and install <a href=\"$server/gs950w64.exe\">Ghostscript (free)</a> and <a href=\"$server/eDocPrintPro_x64_v4.1.1.0.exe\">eDocPrintPro (free)</a> from the KELVARO server or use the latest free eDocPrintPro version from <a href=\"https://www.edocprintpro.com\">https://www.edocprintpro.com</a>. Then run the setup again. Alternatively you may install the software without the optional feature 'Fax Printer'. \\n\\nCould not download: "*) ;;
        *) fail "link text: $link" ;;
    esac
    assert_eq "$(gui_visible_controls Finish | grep -c '^1015|')" "0" "the result text is hidden"
    gui_keys Finish alt+f
    local code
    code=$(gui_wait_exit)
    local result
    result=$(log_entries | sed -n 's/^InstallController|Result of Ghostscript 9.50 for Windows (64 bit) AGPL Release: //p')
    [ -n "$result" ] && [ "$result" != 0 ] || fail "no failing result of the Ghostscript action"
    assert_eq "$(printf '%x' "$code")" "$result" "exit code is the failing result"
    if log_entries | grep -q '^InstallController|Run: KELVARO VOV Client'; then fail "the client was installed"; fi
}

# Modify with a feature unchecked, then Remove, both from the maintenance page, in German and English; and the
# German downgrade page.
test_wizard_install_modify_removes_a_feature_and_remove_uninstalls() {
    wi_prepare
    wi_dotnet_present
    wi_msi_install "$WI_PKG_67" ADDLOCAL=MainFeature,FeatureDiagnostics
    assert_file "$(wi_client_dir)/FeatureDiagnostics.txt"
    wi_start
    gui_keys Welcome alt+n
    gui_keys Maintenance alt+f alt+n
    gui_wait_window Features >/dev/null
    assert_eq "$(gui_tree Features | grep 'Diagnostic Tools')" "1|2|Diagnostic Tools" "installed feature checked"
    # Select the fourth item (top item, Outlook Integration, Calendar Synchronisation, Diagnostic Tools) and
    # toggle its check box with the space bar.
    local left top right bottom
    IFS=, read -r left top right bottom <<<"$(gui_control_rect Features 1013)"
    xdotool mousemove --sync $((left + 60)) $((top + 9)) click 1
    xdotool key --clearmodifiers Down Down Down space
    sleep 0.3
    assert_eq "$(gui_tree Features | grep 'Diagnostic Tools')" "1|1|Diagnostic Tools" "feature unchecked"
    gui_keys Features alt+n
    wi_page Confirmation en-confirmation-modify
    assert_eq "$(gui_control Confirmation 1012)" "1012|Static|1|0|Click 'Modify' to select features to be installed." \
        "modify text"
    gui_wait_control Confirmation 12324 "12324|Button|1|0|&Modify"
    gui_keys Confirmation alt+m
    wi_page Finish en-finish-modify
    assert_eq "$(gui_control Finish 1015)" "1015|Static|1|0|The KELVARO VOV Client has been modified." "modify result"
    gui_keys Finish alt+f
    assert_eq "$(gui_wait_exit)" "0" "exit code of Modify"
    assert_lines_in_order "$(normalized_log)" "CInstallController|Set install mode: ModifyExistingProduct" \
        "InstallController|addlocal: MainFeature, remove: FeatureDiagnostics" \
        "InstallController|Enqueue modify of related product: <WORK>\\KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi" \
        "CFinishPage|ModifyExistingProduct done"
    assert_no_file "$(wi_client_dir)/FeatureDiagnostics.txt"
    assert_file "$(wi_client_dir)/MainFeature.txt"

    # Remove, in German.
    gui_start_setup
    gui_wait_window Welcome >/dev/null
    gui_keys Welcome alt+l Up
    wi_page Willkommen de-welcome-maintenance
    gui_keys Willkommen alt+w
    wi_page Wartung de-maintenance
    gui_keys Wartung alt+e alt+w
    wi_page "Bestätigung" de-confirmation-remove
    assert_eq "$(gui_control "Bestätigung" 1012)" \
        "1012|Static|1|0|Klicken Sie auf „Entfernen“, um den KELVARO VOV Client zu deinstallieren." "remove text"
    gui_keys "Bestätigung" alt+e
    wi_page Abschluss de-finish-remove
    assert_eq "$(gui_control Abschluss 1015)" "1015|Static|1|0|Der KELVARO VOV Client wurde entfernt." "remove result"
    gui_keys Abschluss alt+f
    assert_eq "$(gui_wait_exit)" "0" "exit code of Remove"
    assert_lines_in_order "$(log_entries)" "CInstallController|Set install mode: UnInstallExistingProduct" \
        "CConfirmPage|UnInstallExistingProduct" "InstallController|Enqueue uninstallation of related product: {23EA6169-CCA9-4815-96BF-5AC4082FE794}" \
        "CFinishPage|UnInstallExistingProduct done" "BootStrapper|Done"
    assert_no_file "$(wi_client_dir)/MainFeature.txt"

    # The downgrade page in German.
    wi_msi_install "$WI_PKG_68"
    gui_start_setup
    gui_wait_window Welcome >/dev/null
    gui_keys Welcome alt+l Up
    gui_keys Willkommen alt+w
    wi_page "Ältere Version" de-downgrade
    gui_keys "Ältere Version" Escape
    assert_eq "$(gui_wait_exit)" "1602" "exit code after Cancel"
}

# Back from the confirmation page to the features and forward again through the legacy page: the older Ghostscript
# is removed once and the client is installed.
test_wizard_install_back_and_forward_removes_the_legacy_ghostscript_once() {
    wi_prepare
    wi_dotnet_present
    wi_edocprintpro_present
    wi_legacy_ghostscript
    wi_start
    gui_keys Welcome alt+n
    gui_keys Features alt+n
    gui_keys "Remove Legacy Ghostscript Versions" alt+n
    gui_wait_control Confirmation 12324 "12324|Button|1|0|&Install"
    gui_keys Confirmation alt+b
    gui_wait_control Features 12324 "12324|Button|1|0|&Next >"
    gui_keys Features alt+n
    wi_page "Remove Legacy Ghostscript Versions" en-legacy-second-time
    gui_keys "Remove Legacy Ghostscript Versions" alt+n
    gui_wait_control Confirmation 12324 "12324|Button|1|0|&Install"
    gui_keys Confirmation alt+i
    wi_page Finish en-finish-after-back-and-forward
    assert_eq "$(gui_control Finish 1015)" "1015|Static|1|0|The KELVARO VOV Client has been installed." "finish text"
    gui_keys Finish alt+f
    assert_eq "$(gui_wait_exit)" "0" "exit code"
    assert_text "$(wi_calls | cut -d'|' -f1)" "uninstgs.exe" "installers started"
    assert_eq "$(log_entries | grep -c '^InstallController|Run: GPL Ghostscript v9.20$')" "1" "removals run"
    assert_eq "$(log_entries | grep -c '^InstallController|Enqueue uninstallation of related product: ')" "1" \
        "removals queued"
    assert_lines_in_order "$(log_entries)" "CGhostscript|OnSetActive" "CConfirmPage|OnSetActive" \
        "CFeatureSelectionPage|OnSetActive" "CGhostscript|OnSetActive" "CConfirmPage|OnSetActive" \
        'InstallController|Enqueue uninstallation of related product: C:\gs\gs9.20\uninstgs.exe /S' \
        "InstallController|Run: GPL Ghostscript v9.20" "InstallController|Result of GPL Ghostscript v9.20: 0" \
        "InstallController|Result of KELVARO VOV Client for Windows: 0" "BootStrapper|Done"
    assert_file "$(wi_client_dir)/MainFeature.txt"
}

# Close requests while a slow prerequisite installer runs: a posted WM_CLOSE (taskkill without /F), the sheet's own
# cancel (PSM_PRESSBUTTON) and the close command are all refused; the run completes and the payloads stay until
# it has ended.
test_wizard_install_close_requests_are_refused_while_the_queue_runs() {
    wi_prepare
    wi_provide "$TEST_DIR/media/redist" "$WI_DOTNET" holdinstaller
    wi_provide "$TEST_DIR/media/redist" "$WI_GS"
    wi_provide "$TEST_DIR/media/redist" "$WI_EDOC"
    wi_start
    gui_keys Welcome alt+n
    gui_keys Features alt+n
    gui_keys Prerequisites alt+n
    gui_keys Confirmation alt+i
    gui_wait_window Progress >/dev/null
    gui_wait_log_line "CInstallAction|\"$MEDIA_WIN""redist\\$WI_DOTNET\" /norestart /passive "
    local work payload request
    work=$(work_folders)
    [ -n "$work" ] && [ "$(echo "$work" | wc -l)" -eq 1 ] || fail "not one working folder while the queue runs: $work"
    payload="$work/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
    for request in --post-close --press-cancel --close; do
        wine "$TOOLS_DIR/wizardinspect.exe" "$request" Progress 2>>"$TEST_DIR/wine-stderr.txt" ||
            fail "cannot send $request"
        sleep 1
        gui_wait_window Progress >/dev/null
        [ ! -s "$TEST_DIR/setup-exit.txt" ] || fail "Setup.exe ended after $request"
        assert_file "$payload"
    done
    gui_screenshot en-progress-after-close-requests
    log_entries | grep -q '^BootStrapper|Wizard done$' && fail "the wizard ended while the queue ran"
    echo 0 >"$WINEPREFIX/drive_c/prereq-release.txt"
    wi_page Finish en-finish-after-close-requests
    assert_eq "$(gui_control Finish 1015)" "1015|Static|1|0|The KELVARO VOV Client has been installed." "finish text"
    gui_keys Finish alt+f
    assert_eq "$(gui_wait_exit)" "0" "exit code"
    assert_eq "$(log_entries | grep -c '^InstallController|Cancel$')" "0" "Cancel lines"
    assert_lines_in_order "$(log_entries)" "InstallController|Worker thread started" \
        "InstallController|Result of KELVARO VOV Client for Windows: 0" "InstallController|Worker thread done" \
        "CFinishPage|InstallNewProduct done" "BootStrapper|Wizard done" "BootStrapper|Done"
    assert_no_file "$payload"
    assert_no_work_folder
}

# A failing eDocPrintPro installer between the Spooler's stop and start: the Spooler is started after it, the client
# is not installed, and the exit code is the installer's.
test_wizard_install_failing_edocprintpro_starts_the_spooler_again() {
    wi_prepare
    wi_dotnet_present
    wi_provide "$TEST_DIR/media/redist" "$WI_GS"
    wi_provide "$TEST_DIR/media/redist" "$WI_EDOC"
    wi_exit_code "$WI_EDOC" 1603
    wi_start
    gui_keys Welcome alt+n
    gui_keys Features alt+n
    gui_keys Prerequisites alt+n
    gui_keys Confirmation alt+i
    wi_page Finish en-finish-edocprintpro-failed
    case "$(gui_control Finish 1015)" in
        "1015|Static|1|0|Setup failed. Last result code: 1603 (0x643)"*) ;;
        *) fail "finish text: $(gui_control Finish 1015)" ;;
    esac
    gui_keys Finish alt+f
    assert_eq "$(gui_wait_exit)" "1603" "exit code"
    assert_lines_in_order "$(log_entries)" "InstallController|Run: Print Spooler" \
        "CInstallAction|StartServiceAction: Spooler, start: 0" "InstallController|Run: eDocPrintPro v4.1.1 free" \
        "InstallController|Result of eDocPrintPro v4.1.1 free: 643" "InstallController|Run: Print Spooler" \
        "CInstallAction|StartServiceAction: Spooler, start: 1" "InstallController|Result of Print Spooler: 0" \
        "InstallController|Worker thread done" "CFinishPage|Result: 643" "BootStrapper|Done"
    if log_entries | grep -q '^InstallController|Run: KELVARO VOV Client'; then fail "the client was installed"; fi
    assert_text "$(wi_calls | cut -d'|' -f1)" "$(printf '%s\n' "$WI_GS" "$WI_EDOC")" "installers started"
}
