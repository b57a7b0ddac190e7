# Unattended runs end to end under Wine: the log, the exit code, what Windows Installer then reports,
# the prerequisite installers started, and the temporary folder left clean.

PKG_DIR="$BUILD_WIN64/samples"
PKG_67="$PKG_DIR/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
PKG_66="$PKG_DIR/KELVARO_UCC_Client_for_64bit_Windows_v6.6.2.100.msi"
PKG_68="$PKG_DIR/KELVARO_UCC_Client_for_64bit_Windows_v6.8.1.0.msi"
CODE_67="{23EA6169-CCA9-4815-96BF-5AC4082FE794}"
CODE_66="{8FF40B9E-CFC3-4D78-83D4-1AA2288BEC90}"
CODE_68="{BC77E1FC-63A4-456A-AADA-11209BEA66F4}"
DOTNET_EXE="NDP472-KB4054530-x86-x64-AllOS-ENU.exe"
MSI_NAME="KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"

# Installs a package directly with msiexec, as an earlier installation would have.
msi_install() { msi_install_package "$@"; }

# The product codes Windows Installer knows for the client's upgrade code.
related_products() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null | tr -d '\r' |
        grep -o '{[0-9A-F-]*}' | grep -E "$CODE_66|$CODE_67|$CODE_68" | sort | tr '\n' ' '
}

provide_installer() { provide_signed_standin "$1" "$2"; }  # folder, file name

installer_exit_code() { echo "$1 $2" >>"$WINEPREFIX/drive_c/prereq-exitcodes.txt"; }

msiexec_line() {  # operation, target, options, log file
    echo "CInstallAction|C:\\windows\\system32\\msiexec.exe $1 \"$2\" $3 /lvoicewarmupx \"<TEMP>KELVARO GmbH\\Setup\\logs\\$4\" "
}

# Without a display the progress window cannot be made: one log line, and the run goes on.
test_passive_installs_on_a_clean_machine_with_dotnet_from_the_redist_folder() {
    new_prefix
    stage_setup
    provide_installer "$TEST_DIR/media/redist" "$DOTNET_EXE"
    run_setup /passive
    assert_eq "$EXIT_CODE" "0" "exit code"
    local expected
    expected=$(cat <<LINES
BootStrapper|-----------------------------
BootStrapper|Setup v6.7.3.319
CommandLineParser|bFlag: 1, bLast: 1, param: passive
CommandLineParser|passive
ResourceExtractor|Temp path: <TEMP>
ResourceExtractor|Working folder: <WORK>
ResourceExtractor|Extract: <WORK>\\KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi
ResourceExtractor|Extract: <WORK>\\$MSI_NAME
ResourceExtractor|Extract: <WORK>\\CleanupInstallation.exe
InstallController|Msi x86: <WORK>\\KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi
InstallController|Msi x64: <WORK>\\$MSI_NAME
InstallController|Clean tool: <WORK>\\CleanupInstallation.exe
InstallController|Is x64 windows: 1
InstallController|Is required .NET Framework installed: 0
InstallController|Is required eDocPrintPro installed: 0
InstallController|Is required GhostScript installed: 0
InstallController|CustomConfigPath: <MEDIA>CustomConfigFiles
BootStrapper|CustomConfigFilesPath: <MEDIA>CustomConfigFiles
InstallController|LocalRedistPath: <MEDIA>redist
BootStrapper|LocalRedistPath: <MEDIA>redist
BootStrapper|Unattended setup
BootStrapper|Not installed
BootStrapper|Install requested
CInstallController|Set install mode: InstallNewProduct
InstallController|Enqueue installation of prerequisite: .NET Framework 4.7.2
InstallController|Enqueue installation of embedded msi file: <WORK>\\$MSI_NAME
BootStrapper|Progress window failed: 578
InstallController|Run: .NET Framework 4.7.2
CInstallAction|DownloadAndInstallPrerequisite: .NET Framework 4.7.2
InstallController|SetCurrentJobDescription: Downloading: .NET Framework 4.7.2
ResourceExtractor|Local redist: <MEDIA>redist\\$DOTNET_EXE
InstallController|SetCurrentJobDescription: Installing: .NET Framework 4.7.2
CInstallAction|"<MEDIA>redist\\$DOTNET_EXE" /norestart /passive 
CInstallAction|Create process
CInstallAction|Wait for process
CInstallAction|Process done
CInstallAction|Process exit code: 0
InstallController|Result of .NET Framework 4.7.2: 0
InstallController|Run: KELVARO VOV Client for Windows
CInstallAction|InstallProductViaMsiExec: <WORK>\\$MSI_NAME
InstallController|SetCurrentJobDescription: Installing: KELVARO VOV Client for Windows
$(msiexec_line /i "<WORK>\\$MSI_NAME" "/qn /promptrestart CUSTOMCONFIGFILES=\"<MEDIA>CustomConfigFiles\"" DiDeraveInstall.log)
CInstallAction|Create process
CInstallAction|Wait for process
CInstallAction|Process done
CInstallAction|Process exit code: 0
InstallController|Result of KELVARO VOV Client for Windows: 0
BootStrapper|Done
ResourceExtractor|Delete: <WORK>\\KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi
ResourceExtractor|Delete: <WORK>\\$MSI_NAME
ResourceExtractor|Delete: <WORK>\\CleanupInstallation.exe
ResourceExtractor|Delete: <WORK>
LINES
)
    assert_text "$(normalized_log)" "$expected" "log transcript"
    assert_file "$(client_dir)/MainFeature.txt"
    assert_file "$(client_dir)/FeatureFax.txt"
    assert_no_file "$(client_dir)/FeatureDiagnostics.txt"
    assert_eq "$(client_registry_value Version)" "6.7.3319" "installed version"
    assert_eq "$(client_registry_value RunAfterInstall)" "" "RUNAFTERINSTALL without /runaftersetup"
    assert_eq "$(installer_calls | cut -d'|' -f1)" "$DOTNET_EXE" "installers started"
    assert_file "$(dirname "$(setup_log)")/DiDeraveInstall.log"
    assert_temp_clean
    # The local installer is the administrator's and stays.
    assert_file "$TEST_DIR/media/redist/$DOTNET_EXE"
}

test_addlocal_with_the_same_version_installed_modifies() {
    new_prefix
    stage_setup
    dotnet_present
    msi_install "$PKG_67" ADDLOCAL=MainFeature,FeatureSnomD7
    assert_file "$(client_dir)/FeatureSnomD7.txt"
    run_setup /qn ADDLOCAL=MainFeature,FeatureDiagnostics REMOVE=FeatureSnomD7 /runaftersetup "CUSTOMCONFIGFILES=C:\\Cfg Files"
    assert_eq "$EXIT_CODE" "0" "exit code"
    assert_lines_in_order "$(normalized_log)" \
        "InstallController|Installed version: 6.7.3.319" \
        "InstallController|addlocal: MainFeature,FeatureDiagnostics, remove: FeatureSnomD7" \
        "BootStrapper|Same version installed" \
        "BootStrapper|Modify requested" \
        "CInstallController|Set install mode: ModifyExistingProduct" \
        "InstallController|Enqueue modify of related product: <WORK>\\$MSI_NAME" \
        "CInstallAction|ModifyInstalledProductViaMsiExec: <WORK>\\$MSI_NAME" \
        "InstallController|SetCurrentJobDescription: Modifying: KELVARO VOV Client for Windows" \
        "$(msiexec_line /i "<WORK>\\$MSI_NAME" "/qn /promptrestart ADDLOCAL=MainFeature,FeatureDiagnostics REMOVE=FeatureSnomD7 CUSTOMCONFIGFILES=\"C:\\Cfg Files\" RUNAFTERINSTALL=1" DiDeraveModify.log)" \
        "InstallController|Result of KELVARO VOV Client for Windows: 0" \
        "BootStrapper|Done"
    assert_file "$(client_dir)/FeatureDiagnostics.txt"
    assert_no_file "$(client_dir)/FeatureSnomD7.txt"
    assert_eq "$(client_registry_value CustomConfigFiles)" "C:\\Cfg Files" "CUSTOMCONFIGFILES seen by the package"
    assert_temp_clean
}

test_install_switch_with_the_same_version_installed_repairs() {
    new_prefix
    stage_setup
    dotnet_present
    msi_install "$PKG_67"
    run_setup /i /quiet /noreboot
    # Wine's msiexec cannot repair by package path and answers 1605; the failure is the exit code.
    assert_eq "$EXIT_CODE" "1605" "exit code"
    assert_lines_in_order "$(normalized_log)" \
        "BootStrapper|Same version installed" \
        "BootStrapper|Repair" \
        "CInstallController|Set install mode: RepairExistingProduct" \
        "InstallController|Enqueue repair of related product: <WORK>\\$MSI_NAME" \
        "CInstallAction|RepairInstalledProductViaMsiExec: <WORK>\\$MSI_NAME" \
        "$(msiexec_line /faumsv "<WORK>\\$MSI_NAME" "/quiet /norestart CUSTOMCONFIGFILES=\"<MEDIA>CustomConfigFiles\"" DiDeraveRepair.log)" \
        "CInstallAction|Process exit code: 645" \
        "InstallController|Result of KELVARO VOV Client for Windows: 645" \
        "BootStrapper|Done"
    assert_temp_clean
}

test_lower_version_installed_is_upgraded_by_a_new_installation() {
    new_prefix
    stage_setup
    dotnet_present
    msi_install "$PKG_66"
    assert_eq "$(client_registry_value Version)" "6.6.2100" "version before"
    run_setup /passive
    assert_eq "$EXIT_CODE" "0" "exit code"
    assert_lines_in_order "$(normalized_log)" \
        "InstallController|Installed version: 6.6.2.100" \
        "BootStrapper|Lower version installed" \
        "BootStrapper|Install requested" \
        "CInstallController|Set install mode: InstallNewProduct" \
        "CInstallAction|InstallProductViaMsiExec: <WORK>\\$MSI_NAME" \
        "InstallController|Result of KELVARO VOV Client for Windows: 0" \
        "BootStrapper|Done"
    assert_eq "$(client_registry_value Version)" "6.7.3319" "version after"
    assert_eq "$(related_products)" "$CODE_67 " "related products after the upgrade"
}

test_uninstall_removes_the_client() {
    new_prefix
    stage_setup
    msi_install "$PKG_67"
    run_setup /x /quiet /noreboot
    assert_eq "$EXIT_CODE" "0" "exit code"
    assert_lines_in_order "$(normalized_log)" \
        "BootStrapper|Same version installed" \
        "BootStrapper|Uninstall requested" \
        "CInstallController|Set install mode: UnInstallExistingProduct" \
        "InstallController|Enqueue uninstallation of related product: $CODE_67" \
        "InstallController|Run: KELVARO VOV Client for Windows" \
        "CInstallAction|UninstallRelatedProductViaMsiExec: $CODE_67" \
        "InstallController|SetCurrentJobDescription: Removing: KELVARO VOV Client for Windows" \
        "$(msiexec_line /x "$CODE_67" "/quiet /norestart" DiDeraveUnInstall.log)" \
        "InstallController|Result of KELVARO VOV Client for Windows: 0" \
        "BootStrapper|Done"
    # A removal queues neither prerequisites nor legacy removals, although .NET is missing here.
    if log_entries | grep -q 'Enqueue installation of prerequisite'; then fail "prerequisite queued for a removal"; fi
    assert_no_file "$(client_dir)/MainFeature.txt"
    assert_eq "$(related_products)" "" "related products after the removal"
    assert_temp_clean
}

test_refusals_end_with_their_own_exit_codes() {
    new_prefix
    stage_setup
    run_setup /x
    assert_eq "$EXIT_CODE" "1605" "exit code of /x with nothing installed"
    assert_eq "$(log_entries | grep '^BootStrapper|' | tail -n 3 | tr '\n' ';')" \
        "BootStrapper|Unattended setup;BootStrapper|Not installed;BootStrapper|Uninstall requested, nothing installed;" \
        "last lines of the refused removal"
    if log_entries | grep -q '^InstallController|Run:'; then fail "an action ran"; fi
    assert_temp_clean

    msi_install "$PKG_68"
    rm -f "$(setup_log)"
    run_setup /i
    assert_eq "$EXIT_CODE" "1638" "exit code of /i over a higher version"
    assert_lines_in_order "$(normalized_log)" \
        "InstallController|Installed version: 6.8.1.0" \
        "BootStrapper|Unattended setup" \
        "BootStrapper|Higher version installed" \
        "BootStrapper|Install requested, downgrade not supported"
    if log_entries | grep -q '^InstallController|Run:'; then fail "an action ran"; fi
    assert_eq "$(related_products)" "$CODE_68 " "the higher version stays"
    assert_temp_clean
}

test_clean_runs_only_the_clean_up_tool() {
    new_prefix
    stage_setup
    run_setup /clean /x ADDLOCAL=FeatureFax
    assert_eq "$EXIT_CODE" "0" "exit code"
    local log
    log=$(normalized_log)
    assert_lines_in_order "$log" \
        "InstallController|Clean tool: <WORK>\\CleanupInstallation.exe" \
        "BootStrapper|Launch clean tool" \
        "InstallController|Enqueue clean tool: <WORK>\\CleanupInstallation.exe" \
        "InstallController|Run: CleanupTool" \
        "CInstallAction|\"<WORK>\\CleanupInstallation.exe\"" \
        "CInstallAction|Process exit code: 0" \
        "InstallController|Result of CleanupTool: 0" \
        "BootStrapper|Done"
    if echo "$log" | grep -qE 'LocalRedistPath|CustomConfig|Unattended'; then fail "options looked at in a clean run"; fi
    grep -q 'Would remove' "$(dirname "$(setup_log)")/CleanupInstallation.log" || fail "clean-up tool did not run"
    assert_temp_clean
}

test_fax_feature_plans_ghostscript_and_edocprintpro_around_the_spooler() {
    new_prefix
    stage_setup
    local redist="$TEST_DIR/redist folder"
    for exe in "$DOTNET_EXE" gs950w64.exe eDocPrintPro_x64.exe; do provide_installer "$redist" "$exe"; done
    run_setup "REDISTDIR=$(winpath "$redist")" ADDLOCAL=MainFeature,FeatureFax /qn+
    assert_eq "$EXIT_CODE" "0" "exit code"
    assert_lines_in_order "$(normalized_log)" \
        "InstallController|addlocal: MainFeature,FeatureFax, remove: " \
        "BootStrapper|Install requested" \
        "InstallController|Enqueue installation of prerequisite: .NET Framework 4.7.2" \
        "InstallController|Enqueue installation of prerequisite: Ghostscript 9.50 for Windows (64 bit) AGPL Release" \
        "InstallController|Enqueue start service: Spooler, start: 0" \
        "InstallController|Enqueue installation of prerequisite: eDocPrintPro v4.1.1 free" \
        "InstallController|Enqueue start service: Spooler, start: 1" \
        "InstallController|Enqueue installation of embedded msi file: <WORK>\\$MSI_NAME" \
        "InstallController|Run: Print Spooler" \
        "CInstallAction|StartServiceAction: Spooler, start: 0" \
        "InstallController|SetCurrentJobDescription: Stopping service: Print Spooler" \
        "InstallController|Result of Print Spooler: 0" \
        "InstallController|Run: eDocPrintPro v4.1.1 free" \
        "CInstallAction|\"$(winpath "$redist")\\eDocPrintPro_x64.exe\" /exenoui /exenoupdates /norestart /quiet " \
        "InstallController|Run: Print Spooler" \
        "CInstallAction|StartServiceAction: Spooler, start: 1" \
        "InstallController|SetCurrentJobDescription: Starting service: Print Spooler" \
        "$(msiexec_line /i "<WORK>\\$MSI_NAME" "/qn+ /promptrestart ADDLOCAL=MainFeature,FeatureFax CUSTOMCONFIGFILES=\"<MEDIA>CustomConfigFiles\"" DiDeraveInstall.log)" \
        "BootStrapper|Done"
    assert_eq "$(installer_calls | cut -d'|' -f1 | tr '\n' ' ')" "$DOTNET_EXE gs950w64.exe eDocPrintPro_x64.exe " \
        "installers in plan order"
    assert_file "$(client_dir)/FeatureFax.txt"
    assert_no_file "$(client_dir)/FeatureSnomD7.txt"
    assert_temp_clean
}

test_reboot_request_of_a_prerequisite_gives_3010_and_keeps_the_client_from_starting() {
    new_prefix
    stage_setup
    provide_installer "$TEST_DIR/media/redist" "$DOTNET_EXE"
    installer_exit_code "$DOTNET_EXE" 3010
    run_setup /passive /runaftersetup
    assert_eq "$EXIT_CODE" "3010" "exit code"
    assert_lines_in_order "$(normalized_log)" \
        "CInstallAction|Process exit code: bc2" \
        "InstallController|Component was installed, but reboot is required" \
        "InstallController|Result of .NET Framework 4.7.2: 0" \
        "$(msiexec_line /i "<WORK>\\$MSI_NAME" "/qn /promptrestart CUSTOMCONFIGFILES=\"<MEDIA>CustomConfigFiles\"" DiDeraveInstall.log)" \
        "InstallController|Result of KELVARO VOV Client for Windows: 0" \
        "BootStrapper|Done"
    assert_file "$(client_dir)/MainFeature.txt"
    assert_eq "$(client_registry_value RunAfterInstall)" "" "RUNAFTERINSTALL after a reboot request"
}

test_failing_prerequisite_stops_the_queue() {
    new_prefix
    stage_setup
    provide_installer "$TEST_DIR/media/redist" "$DOTNET_EXE"
    installer_exit_code "$DOTNET_EXE" 1603
    run_setup /passive
    assert_eq "$EXIT_CODE" "1603" "exit code"
    assert_lines_in_order "$(normalized_log)" \
        "CInstallAction|Process exit code: 643" \
        "InstallController|Result of .NET Framework 4.7.2: 643" \
        "BootStrapper|Done"
    if log_entries | grep -q 'InstallProductViaMsiExec'; then fail "the product ran after a failure"; fi
    assert_no_file "$(client_dir)/MainFeature.txt"
    assert_temp_clean
}


test_prerequisite_downloaded_or_taken_from_the_cache() {
    new_prefix
    stage_setup
    local site="$TEST_DIR/site"
    provide_installer "$site/kelvaro/clients/Windows/redist" "$DOTNET_EXE"
    start_http_server "$site"
    run_setup /passive
    assert_eq "$EXIT_CODE" "0" "exit code"
    local url="http://127.0.0.1:$DOWNLOAD_PORT/kelvaro/clients/Windows/redist/$DOTNET_EXE"
    assert_lines_in_order "$(normalized_log)" \
        "ResourceExtractor|Download: $url" \
        "ResourceExtractor|Local cached file: <WORK>\\$DOTNET_EXE" \
        "CInstallAction|\"<WORK>\\$DOTNET_EXE\" /norestart /passive " \
        "InstallController|Result of .NET Framework 4.7.2: 0" \
        "BootStrapper|Done" \
        "ResourceExtractor|Delete: <WORK>\\$DOTNET_EXE"
    grep -q "GET /kelvaro/clients/Windows/redist/$DOTNET_EXE" "$TEST_DIR/http.log" || fail "server saw no request"
    assert_temp_clean

    # The cache is the run's own working folder: a copy that anybody put into the temporary folder under the
    # installer's name is neither run nor deleted, and the installer is downloaded again.
    wine msiexec /x "$CODE_67" /qn >/dev/null 2>&1
    wineserver -w
    printf 'planted copy\n' >"$(prefix_temp)/$DOTNET_EXE"
    rm -f "$(setup_log)"
    run_setup /passive
    stop_http_server
    assert_eq "$EXIT_CODE" "0" "exit code with a copy in the temporary folder"
    assert_lines_in_order "$(normalized_log)" \
        "ResourceExtractor|Download: $url" \
        "ResourceExtractor|Local cached file: <WORK>\\$DOTNET_EXE" \
        "InstallController|Result of .NET Framework 4.7.2: 0"
    if log_entries | grep -q '^ResourceExtractor|Already in cache:'; then fail "a copy in the temporary folder was taken"; fi
    assert_eq "$(cat "$(prefix_temp)/$DOTNET_EXE")" "planted copy" "the copy in the temporary folder"
    assert_eq "$(installer_calls | cut -d'|' -f1 | tr '\n' ' ')" "$DOTNET_EXE $DOTNET_EXE " "installers started"
    rm -f "$(prefix_temp)/$DOTNET_EXE"
    assert_temp_clean
}

test_prerequisite_that_cannot_be_downloaded_fails_after_three_attempts() {
    new_prefix
    stage_setup
    run_setup /passive
    # 0x800C0008 (INET_E_DOWNLOAD_FAILURE): nothing listens on the loopback port.
    assert_eq "$EXIT_CODE" "2148270088" "exit code"
    local url="http://127.0.0.1:$DOWNLOAD_PORT/kelvaro/clients/Windows/redist/$DOTNET_EXE"
    local attempts
    attempts=$(log_entries | grep -c "^ResourceExtractor|Download: $url$")
    assert_eq "$attempts" "3" "download attempts"
    assert_lines_in_order "$(normalized_log)" \
        "ResourceExtractor|Download failed: 800c0008" \
        "ResourceExtractor|Download failed: 800c0008" \
        "ResourceExtractor|Download failed: 800c0008" \
        "ResourceExtractor|Download failed: 800c0008" \
        "InstallController|Result of .NET Framework 4.7.2: 800c0008" \
        "BootStrapper|Done"
    if log_entries | grep -q 'InstallProductViaMsiExec'; then fail "the product ran after a failed download"; fi
    assert_temp_clean
}

# A small Windows Installer package that registers itself as a legacy Ghostscript release.
build_ghostscript_msi() {  # output
    local dir="$TEST_DIR/gs-msi"
    mkdir -p "$dir"
    echo "Ghostscript 9.26 stand-in" >"$dir/gsdll64.txt"
    cat >"$dir/gs.wxs" <<'WXS'
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{5B1C8E4A-2D7F-4F0B-9C3E-6A1D2E3F4B50}" Name="GPL Ghostscript MSI Distribution 9.26 (64 bit)"
           Language="1033" Version="9.26.0" Manufacturer="Artifex" UpgradeCode="{0E6B2A71-3C4D-4E5F-8A9B-1C2D3E4F5A60}">
    <Package InstallerVersion="200" Compressed="yes" Platform="x64"/>
    <Media Id="1" Cabinet="gs.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="GSDIR" Name="gs926">
          <Component Id="GsDll" Guid="{7C2D4E6F-8A9B-4C1D-9E2F-3A4B5C6D7E80}" Win64="yes">
            <File Id="GsDllFile" Source="gsdll64.txt" KeyPath="yes"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="GsDll"/></Feature>
  </Product>
</Wix>
WXS
    (cd "$dir" && wixl -a x64 -o "$1" gs.wxs) || fail "wixl could not build the Ghostscript package"
}

add_uninstall_entry() {  # key, display name, version, uninstall string
    local key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1"
    wine reg add "$key" /v DisplayName /d "$2" /f >/dev/null 2>&1
    wine reg add "$key" /v DisplayVersion /d "$3" /f >/dev/null 2>&1
    wine reg add "$key" /v UninstallString /d "$4" /f >/dev/null 2>&1
    wineserver -w
}

test_legacy_ghostscript_is_removed_first_by_product_code_or_uninstall_command() {
    new_prefix
    stage_setup
    dotnet_present
    local gs_code="{5B1C8E4A-2D7F-4F0B-9C3E-6A1D2E3F4B50}"
    build_ghostscript_msi "$TEST_DIR/gs926.msi"
    msi_install "$TEST_DIR/gs926.msi"
    mkdir -p "$WINEPREFIX/drive_c/gs/gs9.20"
    cp "$TOOLS_DIR/fakeinstaller.exe" "$WINEPREFIX/drive_c/gs/gs9.20/uninstgs.exe"
    add_uninstall_entry "GPL Ghostscript 9.20" "GPL Ghostscript" "9.20" 'C:\gs\gs9.20\uninstgs.exe'
    add_uninstall_entry "gs_x64 9.50" "gs_x64" "9.50" 'C:\gs\gs9.50\uninstgs.exe'
    run_setup /passive
    assert_eq "$EXIT_CODE" "0" "exit code"
    local log
    log=$(normalized_log)
    assert_lines_in_order "$log" \
        "InstallController|Enqueue uninstallation of related product: C:\\gs\\gs9.20\\uninstgs.exe /S" \
        "InstallController|Enqueue installation of embedded msi file: <WORK>\\$MSI_NAME" \
        "InstallController|Run: GPL Ghostscript v9.20" \
        "CInstallAction|UninstallProductCommandLine: C:\\gs\\gs9.20\\uninstgs.exe /S" \
        "CInstallAction|C:\\gs\\gs9.20\\uninstgs.exe /S" \
        "InstallController|Result of GPL Ghostscript v9.20: 0" \
        "InstallController|Run: KELVARO VOV Client for Windows"
    assert_lines_in_order "$log" \
        "InstallController|Enqueue uninstallation of related product: $gs_code" \
        "InstallController|Enqueue installation of embedded msi file: <WORK>\\$MSI_NAME" \
        "CInstallAction|UninstallRelatedProductViaMsiExec: $gs_code" \
        "$(msiexec_line /x "$gs_code" "/quiet /norestart" DiDeraveUnInstall.log)" \
        "InstallController|Result of GPL Ghostscript MSI Distribution 9.26 (64 bit) v9.26.0: 0" \
        "InstallController|Run: KELVARO VOV Client for Windows"
    if echo "$log" | grep -q 'gs9.50'; then fail "the current Ghostscript was touched"; fi
    assert_eq "$(installer_calls)" 'uninstgs.exe|C:\gs\gs9.20\uninstgs.exe /S' "uninstaller call"
    if wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$gs_code" >/dev/null 2>&1; then
        fail "the legacy Ghostscript package is still installed"
    fi
    assert_file "$(client_dir)/MainFeature.txt"
    assert_temp_clean
}
