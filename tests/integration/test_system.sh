# System utilities under Wine through tools/systemprobe.exe: payload extraction from Setup.exe, registry
# probes, payload sources and downloads from a loopback server, process search and termination, the
# Spooler service and the Snom D7 driver-store repair.

PROBE="$TOOLS_DIR/systemprobe.exe"

# Runs the probe; its output without carriage returns. The probe always prints something: when Wine did not
# start it at all (seen rarely on a loaded machine), it is started once more.
probe() {
    local out
    out=$(wine "$PROBE" "$@" 2>>"$TEST_DIR/wine-stderr.txt" | tr -d '\r')
    if [ -z "$out" ]; then
        echo "probe gave no output: $*" >>"$TEST_DIR/wine-stderr.txt"
        wineserver -w
        out=$(wine "$PROBE" "$@" 2>>"$TEST_DIR/wine-stderr.txt" | tr -d '\r')
    fi
    echo "$out"
}

# The Windows path of the prefix's temporary folder, e.g. C:\users\root\Temp\
windows_temp() { echo "C:\\users\\$(basename "$(dirname "$(prefix_temp)")")\\Temp\\"; }

# Runs a batch file of reg.exe commands in one Wine start (written with CR LF line ends).
run_batch() {
    local file="$TEST_DIR/commands.bat"
    sed 's/$/\r/' >"$file"
    wine cmd /c "$(winpath "$file")" >>"$TEST_DIR/batch.txt" 2>&1
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

# The probe's output with the working folder (from its "Working folder:" log line) written as <WORK>.
work_normalized() {
    local out="$1" work
    work=$(echo "$out" | sed -n 's/^log: ResourceExtractor|Working folder: //p' | head -n 1)
    [ -n "$work" ] && out="${out//"$work"/<WORK>}"
    echo "$out"
}


test_bin_payloads_are_extracted_byte_for_byte() {
    new_prefix
    local out="$TEST_DIR/out" temp
    mkdir -p "$out"
    temp=$(windows_temp)
    local output
    output=$(probe extract "$(winpath "$SETUP_EXE")" "$(winpath "$out")" 130=x86.msi 131=CleanupInstallation.exe \
        132=x64.msi 140=missing.bin)
    local expected
    expected=$(cat <<LINES
ExtractResource 130: <WORK>\\x86.msi
ExtractResource 131: <WORK>\\CleanupInstallation.exe
ExtractResource 132: <WORK>\\x64.msi
ExtractResource 140: <WORK>\\missing.bin
log: ResourceExtractor|Temp path: ${temp}
log: ResourceExtractor|Working folder: <WORK>
log: ResourceExtractor|Extract: <WORK>\\x86.msi
log: ResourceExtractor|Extract: <WORK>\\CleanupInstallation.exe
log: ResourceExtractor|Extract: <WORK>\\x64.msi
log: ResourceExtractor|Extract: <WORK>\\missing.bin
log: ResourceExtractor|Delete: <WORK>\\x86.msi
log: ResourceExtractor|Delete: <WORK>\\CleanupInstallation.exe
log: ResourceExtractor|Delete: <WORK>\\x64.msi
log: ResourceExtractor|Delete: <WORK>\\missing.bin
log: ResourceExtractor|Delete: <WORK>
LINES
)
    assert_text "$(work_normalized "$output")" "$expected" "extraction output"
    # The working folder lies in the temporary folder under "KELVARO Setup" and a GUID.
    local name_pattern
    name_pattern=$(printf '%s' "$temp" | sed 's/\\/\\\\/g')'KELVARO Setup \{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$'
    echo "$output" | sed -n 's/^log: ResourceExtractor|Working folder: //p' | grep -qE "^$name_pattern" ||
        fail "working folder name"
    cmp "$out/x86.msi" "$BUILD_WIN64/samples/KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi" || fail "BIN 130 differs"
    cmp "$out/CleanupInstallation.exe" "$BUILD_WIN64/samples/CleanupInstallation.exe" || fail "BIN 131 differs"
    cmp "$out/x64.msi" "$BUILD_WIN64/samples/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi" || fail "BIN 132 differs"
    assert_file "$out/missing.bin"
    assert_eq "$(stat -c %s "$out/missing.bin")" "0" "size of an id that is not there"
    # The extractor deleted its files and its working folder when it ended.
    local name
    for name in x86.msi CleanupInstallation.exe x64.msi missing.bin; do assert_no_file "$(prefix_temp)/$name"; done
    assert_no_work_folder
}

test_registry_probes_read_the_64bit_view() {
    new_prefix
    local u='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' gs='HKLM\SOFTWARE\GPL Ghostscript'
    local s199 l200 longdll
    s199="gs5-$(printf 'S%.0s' $(seq 1 195))"
    l200="gs6-$(printf 'L%.0s' $(seq 1 196))"
    longdll="C:\\gs\\$(printf 'p%.0s' $(seq 1 290)).dll"
    mkdir -p "$WINEPREFIX/drive_c/gs/gs9.50/bin"
    touch "$WINEPREFIX/drive_c/gs/gs9.50/bin/gsdll64.dll"
    run_batch <<BATCH
reg add "$u\\gs1-926" /v DisplayName /d "GPL Ghostscript" /reg:64 /f
reg add "$u\\gs1-926" /v DisplayVersion /d "9.26" /reg:64 /f
reg add "$u\\gs1-926" /v UninstallString /d "C:\\gs\\gs9.26\\uninstgs.exe" /reg:64 /f
reg add "$u\\gs2-9533" /v DisplayName /d "GPL GHOSTSCRIPT" /reg:64 /f
reg add "$u\\gs2-9533" /v DisplayVersion /d "9.53.3" /reg:64 /f
reg add "$u\\gs2-9533" /v UninstallString /d "C:\\gs\\UNINSTGS.EXE" /reg:64 /f
reg add "$u\\gs3-beta" /v DisplayName /d "gs_x86" /reg:64 /f
reg add "$u\\gs3-beta" /v DisplayVersion /d "beta" /reg:64 /f
reg add "$u\\gs3-beta" /v UninstallString /d "C:\\gs\\remove.exe" /reg:64 /f
reg add "$u\\gs4-named" /v DisplayName /d "GPL Ghostscript 9.27" /reg:64 /f
reg add "$u\\gs4-named" /v DisplayVersion /d "9.27" /reg:64 /f
reg add "$u\\gs4-named" /v UninstallString /d "C:\\gs\\gs9.27\\uninstgs.exe" /reg:64 /f
reg add "$u\\$s199" /v DisplayName /d "GPL Ghostscript" /reg:64 /f
reg add "$u\\$s199" /v DisplayVersion /d "9.01" /reg:64 /f
reg add "$u\\$s199" /v UninstallString /d "C:\\gs\\short\\uninstgs.exe" /reg:64 /f
reg add "$u\\$l200" /v DisplayName /d "GPL Ghostscript" /reg:64 /f
reg add "$u\\$l200" /v DisplayVersion /d "9.00" /reg:64 /f
reg add "$u\\$l200" /v UninstallString /d "C:\\gs\\long\\uninstgs.exe" /reg:64 /f
reg add "$u\\{6A2B1C3D-0950-0000-0000-000000000002}" /v DisplayName /d "GPL Ghostscript MSI Distribution (64 bit)" /reg:64 /f
reg add "$u\\{6A2B1C3D-0950-0000-0000-000000000002}" /v DisplayVersion /d "9.50" /reg:64 /f
reg add "$u\\{6A2B1C3D-0950-0000-0000-000000000002}" /v UninstallString /d "MsiExec.exe /X{6A2B1C3D-0950-0000-0000-000000000002}" /reg:64 /f
reg add "$u\\{EDOC0001}" /v DisplayName /d "EDOCPRINTPRO" /reg:64 /f
reg add "$u\\{EDOC0001}" /v Version /t REG_DWORD /d 0x04010000 /reg:64 /f
reg add "$u\\{EDOCPDFA}" /v DisplayName /d "eDocPrintPro PDF/A" /reg:64 /f
reg add "$u\\{EDOCPDFA}" /v Version /d "4.1.0" /reg:64 /f
reg add "$gs\\9.50" /v GS_DLL /d "C:\\gs\\gs9.50\\bin\\gsdll64.dll" /reg:64 /f
reg add "$gs\\9.27" /v GS_DLL /d "C:\\gs\\gone.dll" /reg:64 /f
reg add "$gs\\9.26" /v GS_DLL /t REG_DWORD /d 67 /reg:64 /f
reg add "$gs\\9.52" /v GS_DLL /d "$longdll" /reg:64 /f
BATCH
    # The same values in the 32-bit view must not be seen.
    run_batch <<BATCH
reg add "$u\\gs9-wow" /v DisplayName /d "GPL Ghostscript" /reg:32 /f
reg add "$u\\gs9-wow" /v DisplayVersion /d "8.71" /reg:32 /f
reg add "$u\\gs9-wow" /v UninstallString /d "C:\\gs\\wow\\uninstgs.exe" /reg:32 /f
reg add "$gs\\8.71" /v GS_DLL /d "C:\\gs\\gs9.50\\bin\\gsdll64.dll" /reg:32 /f
BATCH

    local expected
    expected=$(cat <<LINES
CollectLegacyGhostscript: 1 anyOlder=1
entry: 9.26|GPL Ghostscript v9.26|C:\\gs\\gs9.26\\uninstgs.exe /S||older=1|version=9.26
entry: 9.53.3|GPL GHOSTSCRIPT v9.53.3|C:\\gs\\UNINSTGS.EXE /S||older=0|version=9.53
entry: beta|gs_x86|C:\\gs\\remove.exe||older=0|version=0
entry: 9.01|GPL Ghostscript v9.01|C:\\gs\\short\\uninstgs.exe /S||older=1|version=9.01
entry: 9.50|GPL Ghostscript MSI Distribution (64 bit) v9.50|MsiExec.exe /X{6A2B1C3D-0950-0000-0000-000000000002} /Q|{6A2B1C3D-0950-0000-0000-000000000002}|older=0|version=9.5
LINES
)
    assert_text "$(probe legacy-gs 9.50)" "$expected" "legacy Ghostscript list"
    assert_text "$(probe legacy-gs 9.5 | head -n 1)" "CollectLegacyGhostscript: 1 anyOlder=1" "9.5 equals 9.50"
    assert_text "$(probe legacy-gs 9.00 | head -n 1)" "CollectLegacyGhostscript: 1 anyOlder=0" "nothing older than 9.00"

    assert_text "$(probe uninstall-version eDocPrintPro)" \
        "$(printf '%s\n' 'FindUninstallEntryVersion: 1 version=0x04010000 text=4.1.0' 'log: CInstallController|EDOCPRINTPRO')" \
        "eDocPrintPro version"
    assert_text "$(probe uninstall-version 'eDocPrintPro PDF/A')" \
        "$(printf '%s\n' 'FindUninstallEntryVersion: 0 version=0x00000000 text=0.0.0' 'log: CInstallController|eDocPrintPro PDF/A' \
            'log: CInstallController|Version of eDocPrintPro PDF/A is not a 32-bit number (type 1, 12 bytes): taken as 0')" \
        "version of the wrong type"

    assert_text "$(probe ghostscript 9.50)" \
        "$(printf '%s\n' 'IsGhostscriptInstalled: 1' 'log: InstallController|Ghostscript path: C:\gs\gs9.50\bin\gsdll64.dll')" \
        "Ghostscript 9.50"
    assert_text "$(probe ghostscript 9.27)" \
        "$(printf '%s\n' 'IsGhostscriptInstalled: 0' 'log: InstallController|Ghostscript path: C:\gs\gone.dll')" \
        "Ghostscript 9.27 without its DLL"
    local version
    for version in 9.26 9.52 8.71 9.99; do
        assert_text "$(probe ghostscript $version)" "IsGhostscriptInstalled: 0" "Ghostscript $version"
    done

    # eDocPrintPro: no key (although an uninstall entry exists), a folder without the utility, then with it.
    assert_text "$(probe edocprintpro)" "IsEDocPrintProInstalled: 0" "eDocPrintPro without its key"
    run_batch <<'BATCH'
reg add "HKLM\SOFTWARE\MAYComputer\eDocPrintPro" /v eDocPrintPro /d "C:\edoc\\" /reg:64 /f
BATCH
    assert_text "$(probe edocprintpro)" "$(printf '%s\n' 'IsEDocPrintProInstalled: 0' 'log: CInstallController|C:\edoc\')" \
        "eDocPrintPro without its utility"
    mkdir -p "$WINEPREFIX/drive_c/edoc"
    touch "$WINEPREFIX/drive_c/edoc/eDocPrintProUtil.exe"
    assert_text "$(probe edocprintpro)" "$(printf '%s\n' 'IsEDocPrintProInstalled: 1' 'log: CInstallController|C:\edoc\')" \
        "eDocPrintPro with its utility"

    assert_text "$(probe read-string 'SOFTWARE\GPL Ghostscript\9.50' GS_DLL)" \
        'ReadRegistryString: 1 value=C:\gs\gs9.50\bin\gsdll64.dll' "string value"
    assert_text "$(probe read-string 'SOFTWARE\GPL Ghostscript\9.26' GS_DLL)" 'ReadRegistryString: 0 value=' "number value"
    assert_text "$(probe x64)" "IsX64Windows: 1" "64-bit Windows"
}

test_payload_sources_downloads_and_failures() {
    new_prefix
    trap stop_http_server EXIT
    local served="$TEST_DIR/served" redist="$TEST_DIR/redist" keep="$TEST_DIR/keep" port temp setup list
    mkdir -p "$served/kelvaro/clients/Windows/redist" "$redist" "$keep"
    printf 'ghostscript installer\n' >"$served/kelvaro/clients/Windows/redist/gs950w64.exe"
    printf 'served installer\n' >"$served/kelvaro/clients/Windows/redist/ndp472.exe"
    printf 'ghostscript installer\n' >"$redist/gs950w64.exe"
    printf 'cached copy\n' >"$(prefix_temp)/ndp472.exe"
    # The files are verified against this list, in the format sha256sum writes. The copy in the temporary folder
    # would pass as well: it is not taken all the same.
    list="$TEST_DIR/prerequisites.sha256"
    (cd "$served/kelvaro/clients/Windows/redist" && sha256sum gs950w64.exe ndp472.exe) >"$list"
    port=$(free_port)
    start_http_server "$served" "$port"
    temp=$(windows_temp)
    setup=$(winpath "$SETUP_EXE")
    local base="http://127.0.0.1:$port/kelvaro/clients/Windows/redist"
    obtain() { probe obtain --hashes "$(winpath "$list")" "$@"; }

    # 1. The local redistributables folder comes first; its file is never deleted. While the verified file is
    #    held nobody can open it for writing (32: ERROR_SHARING_VIOLATION).
    local expected
    expected=$(cat <<LINES
ObtainPayload: 0x00000000
resultPath: $(winpath "$redist")\\gs950w64.exe
errorText: 
filesToDelete: 0
open for writing while held: 32
log: ResourceExtractor|Temp path: ${temp}
log: ResourceExtractor|Working folder: <WORK>
log: ResourceExtractor|Local redist: $(winpath "$redist")\\gs950w64.exe
log: ResourceExtractor|Delete: <WORK>
LINES
)
    assert_text "$(work_normalized "$(obtain "$setup" "$(winpath "$redist")\\" "$base/gs950w64.exe" gs950w64.exe \
        Ghostscript)")" "$expected" "local redistributable"
    assert_file "$redist/gs950w64.exe"

    # 2. A file of that name in the temporary folder is anybody's: it is neither taken nor deleted, even when it
    #    would pass; the installer is downloaded into the working folder and verified there.
    expected=$(cat <<LINES
ObtainPayload: 0x00000000
resultPath: <WORK>\\ndp472.exe
errorText: 
filesToDelete: 1
open for writing while held: 32
log: ResourceExtractor|Temp path: ${temp}
log: ResourceExtractor|Working folder: <WORK>
log: ResourceExtractor|Download: $base/ndp472.exe
log: ResourceExtractor|Local cached file: <WORK>\\ndp472.exe
log: ResourceExtractor|Delete: <WORK>\\ndp472.exe
log: ResourceExtractor|Delete: <WORK>
LINES
)
    assert_text "$(work_normalized "$(obtain "$setup" "$(winpath "$redist")" "$base/ndp472.exe" ndp472.exe \
        ".NET Framework 4.7.2" "$(winpath "$keep")")")" "$expected" "copy in the temporary folder"
    assert_eq "$(cat "$keep/ndp472.exe")" "served installer" "content used"
    assert_eq "$(cat "$(prefix_temp)/ndp472.exe")" "cached copy" "the copy in the temporary folder"
    rm -f "$(prefix_temp)/ndp472.exe"

    # 3. The local folder's copy was changed: it fails, stays where it is, and the download is taken.
    printf 'changed\n' >"$redist/gs950w64.exe"
    expected=$(cat <<LINES
ObtainPayload: 0x00000000
resultPath: <WORK>\\gs950w64.exe
errorText: 
filesToDelete: 1
open for writing while held: 32
log: ResourceExtractor|Temp path: ${temp}
log: ResourceExtractor|Working folder: <WORK>
log: ResourceExtractor|Local redist: $(winpath "$redist")\\gs950w64.exe
log: ResourceExtractor|Verification failed: $(winpath "$redist")\\gs950w64.exe (80096010)
log: ResourceExtractor|Download: $base/gs950w64.exe
log: ResourceExtractor|Local cached file: <WORK>\\gs950w64.exe
log: ResourceExtractor|Delete: <WORK>\\gs950w64.exe
log: ResourceExtractor|Delete: <WORK>
LINES
)
    assert_text "$(work_normalized "$(obtain "$setup" "$(winpath "$redist")" "$base/gs950w64.exe" gs950w64.exe \
        Ghostscript "$(winpath "$keep")")")" "$expected" "download"
    cmp "$keep/gs950w64.exe" "$served/kelvaro/clients/Windows/redist/gs950w64.exe" || fail "downloaded content differs"
    assert_eq "$(cat "$redist/gs950w64.exe")" "changed" "the local copy is left alone"
    assert_no_file "$(prefix_temp)/gs950w64.exe"

    # 4. An HTTP 404 answer with an error page (Wine's URLDownloadToFileW reports it as a success and saves the
    #    page): the status read in the callback makes it a failed attempt (0x80190194), the page is deleted.
    expected=$(cat <<LINES
ObtainPayload: 0x80190194
resultPath: 
errorText: Could not download: \\r\\neDocPrintPro \\r\\n\\r\\n$base/eDocPrintPro.exe
filesToDelete: 0
log: ResourceExtractor|Temp path: ${temp}
log: ResourceExtractor|Working folder: <WORK>
log: ResourceExtractor|Download: $base/eDocPrintPro.exe
log: ResourceExtractor|Download failed: 80190194
log: ResourceExtractor|Download: $base/eDocPrintPro.exe
log: ResourceExtractor|Download failed: 80190194
log: ResourceExtractor|Download: $base/eDocPrintPro.exe
log: ResourceExtractor|Download failed: 80190194
log: ResourceExtractor|Download failed: 80190194
log: ResourceExtractor|Delete: <WORK>
LINES
)
    assert_text "$(work_normalized "$(obtain "$setup" - "$base/eDocPrintPro.exe" eDocPrintPro.exe eDocPrintPro \
        "$(winpath "$keep")")")" "$expected" "404"
    assert_eq "$(grep -c '"GET /kelvaro/clients/Windows/redist/eDocPrintPro.exe HTTP/1.1" 404' "$TEST_DIR/http.log")" \
        "3" "404 answers"
    assert_no_file "$(prefix_temp)/eDocPrintPro.exe"
    assert_no_file "$keep/eDocPrintPro.exe"

    # 5. The server is down: three attempts, one more failure line, and the error text from Setup.exe's string
    #    table. The address carries the built-in download prefix in its query, so the text shows the line break
    #    after it.
    stop_http_server
    local prefix url
    prefix=$(probe baseurl | sed 's/^DownloadBaseUrl: //')
    url="http://127.0.0.1:$port/kelvaro/clients/Windows/redist/ndp472.exe?mirror=${prefix}Windows/redist/ndp472.exe"
    expected=$(cat <<LINES
ObtainPayload: 0x800c0008
resultPath: 
errorText: Could not download: \\r\\n.NET Framework 4.7.2 \\r\\n\\r\\nhttp://127.0.0.1:$port/kelvaro/clients/Windows/redist/ndp472.exe?mirror=${prefix}\\r\\nWindows/redist/ndp472.exe
filesToDelete: 0
log: ResourceExtractor|Temp path: ${temp}
log: ResourceExtractor|Working folder: <WORK>
log: ResourceExtractor|Download: $url
log: ResourceExtractor|Download failed: 800c0008
log: ResourceExtractor|Download: $url
log: ResourceExtractor|Download failed: 800c0008
log: ResourceExtractor|Download: $url
log: ResourceExtractor|Download failed: 800c0008
log: ResourceExtractor|Download failed: 800c0008
log: ResourceExtractor|Delete: <WORK>
LINES
)
    assert_text "$(work_normalized "$(obtain "$setup" "$(winpath "$redist")" "$url" ndp472.exe ".NET Framework 4.7.2")")" "$expected" \
        "server down"
    assert_no_file "$(prefix_temp)/ndp472.exe"
    assert_no_work_folder
}

# Waits until a KelvaroDiDerave instance has written its process id.
wait_for_pid_file() {
    local i
    for i in $(seq 1 200); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    fail "no process id in $1"
}

test_client_processes_are_found_ignoring_case_and_only_the_first_is_ended() {
    new_prefix
    mkdir -p "$TEST_DIR/one" "$TEST_DIR/two"
    cp "$TOOLS_DIR/KelvaroDiDerave.exe" "$TEST_DIR/one/KelvaroDiDerave.exe"
    cp "$TOOLS_DIR/KelvaroDiDerave.exe" "$TEST_DIR/two/KELVARODIDERAVE.EXE"
    wine "$TEST_DIR/one/KelvaroDiDerave.exe" "$(winpath "$TEST_DIR/one.pid")" 120 >/dev/null 2>&1 &
    wait_for_pid_file "$TEST_DIR/one.pid"
    wine "$TEST_DIR/two/KELVARODIDERAVE.EXE" "$(winpath "$TEST_DIR/two.pid")" 120 >/dev/null 2>&1 &
    wait_for_pid_file "$TEST_DIR/two.pid"
    local one two
    one=$(tr -d '\r\n' <"$TEST_DIR/one.pid")
    two=$(tr -d '\r\n' <"$TEST_DIR/two.pid")

    # Either instance matches the name in any letter case; the search reports the first in enumeration order.
    local found first
    found=$(probe find-process kelvarodiderave.EXE)
    first=$(echo "$found" | sed -n 's/^FindProcessByName: 1 id=//p')
    [ "$first" = "$one" ] || [ "$first" = "$two" ] || fail "found id [$first], expected $one or $two"
    echo "$found" | grep -qx 'trace: Gotcha' || fail "no Gotcha line"
    assert_eq "$(echo "$found" | sed -n '2p;$p' | tr '\n' ' ')" "trace: Start enum processes trace: Stop enum processes " \
        "enumeration frame"
    assert_text "$(probe find-process outlook.exe | head -n 1)" "FindProcessByName: 0 id=0" "no Outlook"

    local terminated
    terminated=$(probe terminate-clients)
    assert_eq "$(echo "$terminated" | grep -c '^trace: Terminate process: ')" "1" "processes terminated"
    echo "$terminated" | grep -qx 'trace: Terminate process: KelvaroDiDerave.exe' || fail "termination line missing"
    assert_eq "$(echo "$terminated" | grep -c '^trace: Could not open\|Timeout\|failed')" "0" "termination errors"
    echo "$terminated" | grep -qx 'trace: KELVARO Vesk.exe' || fail "second client name not searched"

    # The other instance survives.
    local survivor
    survivor=$(probe find-process KelvaroDiDerave.exe | sed -n 's/^FindProcessByName: 1 id=//p')
    [ -n "$survivor" ] || fail "no instance survived"
    [ "$survivor" != "$first" ] || fail "the first instance ($first) still runs"
    wine taskkill /f /pid "$survivor" >/dev/null 2>&1 || true
}

test_spooler_service_answers() {
    new_prefix
    # One process for the whole sequence: a service lives only as long as the Wine session.
    local expected
    expected=$(cat <<'LINES'
trace: Stop service, Spooler
trace: Service not running
trace: Start service, Spooler
trace: Service started
trace: Start service, Spooler
trace: Service already running
trace: Stop service, Spooler
trace: Service stopped
LINES
)
    assert_text "$(probe service Spooler stop start start stop)" "$expected" "Spooler answers"
    expected=$(printf '%s\n' 'trace: Start service, NoSuchService' 'trace: Service does not exist' \
        'trace: Stop service, NoSuchService' 'trace: Service does not exist')
    assert_text "$(probe service NoSuchService start stop)" "$expected" "missing service"
}

test_driver_store_values_are_created_when_missing_and_kept_when_present() {
    new_prefix
    local difx='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\DIFx\DriverStore\7xx_exp_cdc.inf_amd64_c8b237413cdbec21'
    local comp='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\DIFxApp\Components\{CD53C6CF-B8A1-44C9-AC2A-5966F8F82A60}'
    # Present values of other content are left alone.
    run_batch <<BATCH
reg add "$difx" /v DependentInstaller /t REG_MULTI_SZ /d "{OTHER}" /reg:64 /f
reg add "$difx" /v DependentInstallerName /t REG_MULTI_SZ /d "Other Product" /reg:64 /f
reg add "$comp" /v DriverStore /d "D:\\elsewhere.inf" /reg:64 /f
BATCH
    assert_text "$(probe repair-driver-store)" "log: CInstallController|Snom D7 Driver Feature is installed" \
        "repair with every value present"
    local query
    query=$(wine reg query "$difx" /reg:64 2>/dev/null | tr -d '\r'; wine reg query "$comp" /reg:64 2>/dev/null | tr -d '\r')
    echo "$query" | grep -qE '^ +DependentInstaller +REG_MULTI_SZ +\{OTHER\}$' || fail "DependentInstaller changed: $query"
    echo "$query" | grep -qE '^ +DependentInstallerName +REG_MULTI_SZ +Other Product$' || fail "name changed: $query"
    echo "$query" | grep -qE '^ +DriverStore +REG_SZ +D:\\elsewhere\.inf$' || fail "DriverStore changed: $query"

    # Missing keys are created with all three values.
    wine reg delete "$difx" /reg:64 /f >/dev/null 2>&1
    wine reg delete "$comp" /reg:64 /f >/dev/null 2>&1
    local expected
    expected=$(cat <<'LINES'
log: CInstallController|Snom D7 Driver Feature is installed
log: CInstallController|Key missing: SOFTWARE\Microsoft\Windows\CurrentVersion\DIFx\DriverStore\7xx_exp_cdc.inf_amd64_c8b237413cdbec21
log: CInstallController|Value missing: DependentInstaller
log: CInstallController|Value missing: DependentInstallerName
log: CInstallController|Key missing: SOFTWARE\Microsoft\Windows\CurrentVersion\DIFxApp\Components\{CD53C6CF-B8A1-44C9-AC2A-5966F8F82A60}
log: CInstallController|Value missing: DriverStore
LINES
)
    assert_text "$(probe repair-driver-store)" "$expected" "repair of missing keys"
    query=$(wine reg query "$difx" /reg:64 2>/dev/null | tr -d '\r'; wine reg query "$comp" /reg:64 2>/dev/null | tr -d '\r')
    echo "$query" | grep -qE '^ +DependentInstaller +REG_MULTI_SZ +\{CD53C6CF-B8A1-44C9-AC2A-5966F8F82A60\}$' ||
        fail "DependentInstaller not written: $query"
    echo "$query" | grep -qE '^ +DependentInstallerName +REG_MULTI_SZ +KELVARO VOV Client v6\.5\.1\.126$' ||
        fail "DependentInstallerName not written: $query"
    echo "$query" | grep -qF 'DriverStore    REG_SZ    C:\WINDOWS\System32\DriverStore\FileRepository\7xx_exp_cdc.inf_amd64_c8b237413cdbec21\7xx_exp_cdc.inf' ||
        fail "DriverStore not written: $query"

    # A value that exists but is empty counts as missing; the others stay.
    run_batch <<BATCH
reg add "$difx" /v DependentInstallerName /t REG_BINARY /reg:64 /f
BATCH
    expected=$(printf '%s\n' 'log: CInstallController|Snom D7 Driver Feature is installed' \
        'log: CInstallController|Value missing: DependentInstallerName')
    assert_text "$(probe repair-driver-store)" "$expected" "repair of an empty value"
    # Not in the 32-bit view.
    wine reg query "$comp" /reg:32 >/dev/null 2>&1 && fail "written to the 32-bit view"
    return 0
}

# Starts a private X server (a free display number) so that Wine can create windows; sets DISPLAY.
# The caller's EXIT trap ends it (stop_x_server).
start_x_server() {
    local file="$TEST_DIR/display"
    : >"$file"
    Xvfb -displayfd 9 -screen 0 640x480x24 9>"$file" >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$file" ] && break
        sleep 0.1
    done
    [ -s "$file" ] || fail "Xvfb did not start"
    export DISPLAY=":$(tr -d '\n' <"$file")"
}

stop_x_server() {
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    wait "${XVFB_PID:-}" 2>/dev/null || true
}

# The stand-in client holds the semaphore and quits when the registered message is broadcast. Wine creates
# the client's hidden window only with a display.
test_stand_in_client_quits_on_the_registered_message() {
    new_prefix
    trap 'wineserver -k >/dev/null 2>&1; stop_x_server' EXIT
    start_x_server
    wine "$TOOLS_DIR/KelvaroDiDerave.exe" "$(winpath "$TEST_DIR/client.pid")" 120 >"$TEST_DIR/client.txt" 2>&1 &
    wait_for_pid_file "$TEST_DIR/client.pid"
    assert_eq "$(tr -d '\r' <"$TEST_DIR/client.txt")" "window: 1" "hidden window created"
    assert_text "$(probe semaphore)" "KvDiDeraveRunning: 1" "semaphore while running"
    assert_text "$(probe post-term-request)" "PostMessage: 1" "broadcast"
    local i state=
    for i in $(seq 1 100); do
        state=$(probe find-process KelvaroDiDerave.exe | head -n 1)
        [ "$state" = "FindProcessByName: 0 id=0" ] && break
        sleep 0.1
    done
    assert_eq "$state" "FindProcessByName: 0 id=0" "client still running after the request"
    assert_text "$(probe semaphore)" "KvDiDeraveRunning: 0" "semaphore after the end"
}
