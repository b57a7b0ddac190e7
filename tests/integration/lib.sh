# Helpers of the integration tests: Wine prefixes, running Setup.exe, reading its log, assertions.
# Sourced by run-all.sh; every test function runs in its own subshell.

: "${BUILD_WIN64:?BUILD_WIN64 must name the x86_64 build folder}"
# SETUP_EXE_UNDER_TEST runs the tests against another Setup.exe (an older build, say) with this build's tools.
SETUP_EXE="${SETUP_EXE_UNDER_TEST:-$BUILD_WIN64/Setup.exe}"
TOOLS_DIR="$BUILD_WIN64/tools"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Runs have no display unless a test starts its own (gui.sh): a /passive run then logs that its progress window
# could not be made, whatever display the caller has.
unset DISPLAY

# A pristine prefix booted once per run; tests get copies of it.
template_prefix() {
    local template="$WORK_DIR/template-prefix"
    if [ ! -f "$template/system.reg" ]; then
        rm -rf "$template"
        WINEPREFIX="$template" wineboot -i >/dev/null 2>&1 || true
        WINEPREFIX="$template" wineserver -w
    fi
    echo "$template"
}

# Gives the calling test its own copy of the template prefix in $WINEPREFIX.
new_prefix() {
    local template
    template=$(template_prefix)
    export WINEPREFIX="$TEST_DIR/prefix"
    rm -rf "$WINEPREFIX"
    cp -a "$template" "$WINEPREFIX"
}

# The Linux path of the user's temporary folder inside the prefix.
prefix_temp() {
    local user_dir
    user_dir=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
    echo "$user_dir/Temp"
}

setup_log() { echo "$(prefix_temp)/KELVARO GmbH/Setup/logs/Setup.log"; }

# Converts a Linux path to the Windows path Wine sees (Z: drive).
winpath() { echo "Z:$(realpath -m "$1" | sed 's|/|\\|g')"; }

# The loopback port the x86_64 build downloads its prerequisites from.
DOWNLOAD_PORT="${TEST_DOWNLOAD_PORT:-48213}"

# Waits until something answers on 127.0.0.1:PORT (10 s at most); fails the test otherwise, and at once when the
# server's process (PID, if given) has ended.
wait_for_port() {  # port, what, [pid]
    local i
    for i in $(seq 1 100); do
        (echo >"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        [ -z "${3:-}" ] || kill -0 "$3" 2>/dev/null || fail "$2 did not start"
        sleep 0.1
    done
    fail "$2 does not answer on port $1"
}

# Serves folder $1 on 127.0.0.1:$2 (default: the download port), appending its requests to $TEST_DIR/http.log;
# files that are not there get python's 404 page. Sets HTTP_PID; stop_http_server ends it.
start_http_server() {  # folder, [port]
    mkdir -p "$1"
    (cd "$1" && exec python3 -m http.server --bind 127.0.0.1 "${2:-$DOWNLOAD_PORT}") >>"$TEST_DIR/http.log" 2>&1 &
    HTTP_PID=$!
    wait_for_port "${2:-$DOWNLOAD_PORT}" "HTTP server" "$HTTP_PID"
}

# Safe to call twice (an EXIT trap calls it again): under set -e a failing kill of a server already gone would end
# the test with a failure.
stop_http_server() {
    [ -n "${HTTP_PID:-}" ] || return 0
    kill "$HTTP_PID" 2>/dev/null || true
    wait "$HTTP_PID" 2>/dev/null || true
    HTTP_PID=
}

# Runs a Windows program with arguments through runexe and sets EXIT_CODE to its full 32-bit exit code.
# Each argument reaches the program unchanged (runexe quotes it); "--raw LINE" passes a command line as is.
# When Wine did not start runexe at all (no output, seen rarely on a loaded machine), it is started once more.
run_windows() {
    local out attempt
    for attempt in 1 2; do
        out=$(wine "$TOOLS_DIR/runexe.exe" "$@" 2>>"$TEST_DIR/wine-stderr.txt")
        echo "$out" >>"$TEST_DIR/runexe.txt"
        [ -n "$out" ] && break
        echo "runexe gave no output (attempt $attempt)" >>"$TEST_DIR/wine-stderr.txt"
        wineserver -w
    done
    EXIT_CODE=$(echo "$out" | sed -n 's/^exit code: \([0-9]*\).*/\1/p' | tail -n 1)
    [ -n "$EXIT_CODE" ] || EXIT_CODE=none
}

# Runs Setup.exe (copied to $TEST_DIR/media unless SETUP_COPY is set) with Windows-quoted arguments.
run_setup() {
    local exe="${SETUP_COPY:-$SETUP_EXE}"
    run_windows "$(winpath "$exe")" "$@"
    wineserver -w
}

# The log's lines without their time stamps: "<tag padded to 20> <text>" becomes "<tag>|<text>".
log_entries() {
    local file="${1:-$(setup_log)}"
    tr -d '\r' <"$file" | sed -E 's/^[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} //' |
        awk '{ tag=$1; rest=substr($0, length(tag)+2); if (length(tag) < 20) rest=substr($0, 22); print tag "|" rest }'
}

fail() {
    echo "    FAIL: $*" >&2
    exit 1
}

assert_eq() {
    [ "$1" == "$2" ] || fail "${3:-values differ}: expected [$2], got [$1]"
}

assert_file() { [ -f "$1" ] || fail "missing file: $1"; }
assert_no_file() { [ ! -e "$1" ] || fail "file should not exist: $1"; }

# Compares a file's content with the expected text and shows a diff on mismatch.
assert_text() {
    local actual="$1" expected="$2" what="${3:-text}"
    if [ "$actual" != "$expected" ]; then
        diff <(echo "$expected") <(echo "$actual") | head -n 40 >&2
        fail "$what differs (< expected, > actual)"
    fi
}

# Checks that each expected line occurs, whole, in the given text, in this order (other lines may lie between).
assert_lines_in_order() {
    local text="$1"
    shift
    local rest="$text" line
    for line in "$@"; do
        local found=0 remaining="" l
        while IFS= read -r l; do
            if [ "$found" -eq 0 ] && [ "$l" == "$line" ]; then
                found=1
                continue
            fi
            [ "$found" -eq 1 ] && remaining+="$l"$'\n'
        done <<<"$rest"
        [ "$found" -eq 1 ] || { echo "$text" | tail -n 60 >&2; fail "line not found (in order): [$line]"; }
        rest="$remaining"
    done
}

# The Windows form of the prefix's temporary folder, as GetTempPathW gives it (with its backslash).
prefix_temp_windows() { echo "C:\\users\\$(basename "$(dirname "$(prefix_temp)")")\\Temp\\"; }

# Copies Setup.exe into $TEST_DIR/media and makes run_setup use that copy.
stage_setup() {
    mkdir -p "$TEST_DIR/media"
    cp "$SETUP_EXE" "$TEST_DIR/media/Setup.exe"
    export SETUP_COPY="$TEST_DIR/media/Setup.exe"
    MEDIA_WIN="$(winpath "$TEST_DIR/media")\\"
}

# The log with time stamps removed and the temporary and media folders written as <TEMP> and <MEDIA>; the working
# folder of every run (the path of its "Working folder:" line, whose name is random) is written as <WORK>.
normalized_log() {
    local text temp work
    text=$(log_entries)
    while IFS= read -r work; do
        [ -n "$work" ] && text="${text//"$work"/<WORK>}"
    done < <(echo "$text" | sed -n 's/^ResourceExtractor|Working folder: //p' | sort -u)
    temp=$(prefix_temp_windows)
    text="${text//"$temp"/<TEMP>}"
    [ -n "${MEDIA_WIN:-}" ] && text="${text//"$MEDIA_WIN"/<MEDIA>}"
    echo "$text"
}

# The working folders ("KELVARO Setup {GUID}") in the prefix's temporary folder, one Linux path a line.
work_folders() { find "$(prefix_temp)" -mindepth 1 -maxdepth 1 -name 'KELVARO Setup {*}' 2>/dev/null; }

# No run left its working folder behind.
assert_no_work_folder() {
    local left
    left=$(work_folders)
    assert_eq "$left" "" "working folder left in the temporary folder"
}

# Nothing the run extracted or downloaded may stay in the temporary folder, in its working folder or loose.
assert_temp_clean() {
    local left
    left=$(cd "$(prefix_temp)" && ls -1 *.msi *.exe 2>/dev/null || true)
    assert_eq "$left" "" "files left in the temporary folder"
    assert_no_work_folder
}

# The client as the sample package installs it: its folder and its registry values.
client_dir() { echo "$WINEPREFIX/drive_c/Program Files/KELVARO/VOV Client"; }

client_registry_value() {
    wine reg query 'HKLM\SOFTWARE\KELVARO\VOV Client' /v "$1" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *REG_SZ *//p"
}

# A stand-in installer (fakeinstaller.exe) under an installer's file name in a folder.
provide_installer() {  # folder, file name
    mkdir -p "$1"
    cp "$TOOLS_DIR/fakeinstaller.exe" "$1/$2"
}

# The calls the stand-in installers recorded ("<file name>|<command line>" a line), and their current folders
# ("<file name>|<folder>").
installer_calls() { tr -d '\r' <"$WINEPREFIX/drive_c/prereq-calls.log" 2>/dev/null; }
installer_folders() { tr -d '\r' <"$WINEPREFIX/drive_c/prereq-folders.log" 2>/dev/null; }

# .NET Framework 4.7.2 as registered, so that it is not a prerequisite.
dotnet_present() {
    wine reg add 'HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Full' /v Release /t REG_DWORD /d 461808 /f \
        >/dev/null 2>&1
    wineserver -w
}

# Installs a package with Windows Installer, as an earlier installation would have, and fails the test when
# that does not work. msiexec's own log goes to $TEST_DIR/msiexec-N.log. One retry: under load a msiexec
# started right after a prefix was copied has been seen to fail once.
msi_install_package() {  # package path, properties...
    local attempt
    for attempt in 1 2; do
        run_windows 'C:\windows\system32\msiexec.exe' /i "$(winpath "$1")" /qn "${@:2}" \
            /lvoicewarmupx "$(winpath "$TEST_DIR/msiexec-$attempt.log")"
        wineserver -w
        [ "$EXIT_CODE" = "0" ] && return 0
        echo "msiexec /i $(basename "$1") answered $EXIT_CODE (attempt $attempt)" >&2
    done
    fail "could not install $(basename "$1")"
}

# Test code-signing certificates, made with openssl once per test run under $WORK_DIR/runs (never kept in the
# repository). Prints the folder that holds cert.pem (the self-signed certificate, subject CN given) and key.pem.
signing_certificate() {  # common name
    local dir="$WORK_DIR/runs/.certificates/${1//[^A-Za-z0-9]/_}"
    if [ ! -f "$dir/cert.pem" ]; then
        mkdir -p "$dir"
        openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=$1" \
            -addext "extendedKeyUsage=codeSigning" -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1 ||
            fail "openssl could not make a test certificate for $1"
    fi
    echo "$dir"
}

# Writes a copy of a program signed with osslsigncode by the test certificate of that common name. The default
# name is the .NET installer's expected signer in a build without a hash list.
sign_copy() {  # source, destination, [common name]
    local dir
    dir=$(signing_certificate "${3:-Microsoft Corporation}")
    mkdir -p "$(dirname "$2")"
    rm -f "$2"
    osslsigncode sign -certs "$dir/cert.pem" -key "$dir/key.pem" -in "$1" -out "$2" >/dev/null ||
        fail "osslsigncode could not sign $1"
}

# A stand-in prerequisite installer (tests/tools, default fakeinstaller) under an installer's file name, signed
# so that Setup.exe's signature rule lets it run.
provide_signed_standin() {  # folder, file name, [tool]
    sign_copy "$TOOLS_DIR/${3:-fakeinstaller}.exe" "$1/$2"
}

# Waits until a file exists and is not empty (up to 60 s).
wait_for_file() {
    local i
    for i in $(seq 1 600); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    fail "timed out waiting for $1"
}

# Starts the staged Setup.exe with /passive in the background, with a stand-in for the .NET installer in the media's
# redist that waits until C:\prereq-release.txt exists and ends with the number in it; returns once the stand-in
# runs. Sets HELD_RUN_PID; the run's exit code goes to the given file.
start_run_held_at_dotnet() {  # exit code file
    mkdir -p "$TEST_DIR/media/redist"
    provide_signed_standin "$TEST_DIR/media/redist" "NDP472-KB4054530-x86-x64-AllOS-ENU.exe" holdinstaller
    (run_windows "$(winpath "$SETUP_COPY")" /passive; echo "$EXIT_CODE" >"$1") &
    HELD_RUN_PID=$!
    wait_for_file "$WINEPREFIX/drive_c/prereq-folders.log"
}

# Runs a Setup.exe (Windows path, then its arguments) with files limited to 100 KB, so that the packages (20 KB)
# are written and the clean-up tool (184 KB) is not, and checks that the run ended with the Windows error of its
# "Extract failed" line, which it sets EXTRACT_ERROR to (hexadecimal, as logged).
assert_extract_fails_at_file_limit() {  # Windows path of Setup.exe, arguments...
    local code
    code=$( (trap '' XFSZ; ulimit -f 100; run_windows "$@"; echo "$EXIT_CODE") )
    wineserver -w
    code=$(echo "$code" | tail -n 1)
    EXTRACT_ERROR=$(log_entries | sed -n 's/^ResourceExtractor|Extract failed: //p')
    [ -n "$EXTRACT_ERROR" ] || fail "no extraction failed"
    assert_eq "$code" "$((16#$EXTRACT_ERROR))" "exit code: the Windows error of the file that could not be written"
}
