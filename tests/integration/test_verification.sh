# Verification of the prerequisite installers under Wine: what Wine's WinVerifyTrust checks, the signature rule
# of the test build (build/win64/Setup.exe: no hash list, .NET expected from "Microsoft Corporation"), the
# hash-list build (build/win64/hashlist/Setup.exe: the stand-in's SHA-256 under every prerequisite name),
# error pages, the handle held while an installer runs, and certificate problems of a download.

VF_DOTNET="NDP472-KB4054530-x86-x64-AllOS-ENU.exe"
VF_PORT="${TEST_DOWNLOAD_PORT:-48213}"
VF_URL="http://127.0.0.1:$VF_PORT/kelvaro/clients/Windows/redist/$VF_DOTNET"

vf_probe() { wine "$TOOLS_DIR/systemprobe.exe" "$@" 2>>"$TEST_DIR/wine-stderr.txt" | tr -d '\r'; }


vf_site() { echo "$TEST_DIR/site/kelvaro/clients/Windows/redist"; }

vf_calls() { tr -d '\r' <"$WINEPREFIX/drive_c/prereq-calls.log" 2>/dev/null | cut -d'|' -f1; }
vf_own_file() { tr -d '\r' <"$WINEPREFIX/drive_c/prereq-own-file.log" 2>/dev/null; }

# A copy of a file with the byte at offset 2000 (inside the code, covered by the signature's digest) changed.
vf_change_one_byte() {  # source, destination
    cp "$1" "$2"
    printf '\x55' | dd of="$2" bs=1 seek=2000 conv=notrunc 2>/dev/null
    cmp -s "$1" "$2" && fail "the byte at 2000 was already 0x55"
    return 0
}

# Windows' form of an exit code given as hex digits, as the shell sees runexe's report.
vf_code() { printf '%u' "0x$1"; }

# The log from the .NET action's first source to its result, <WORK> and <MEDIA> written out.
vf_prerequisite_lines() {
    normalized_log | sed -n '/^CInstallAction|DownloadAndInstallPrerequisite: .NET/,/^InstallController|Result of .NET/p' |
        grep -v '^InstallController|SetCurrentJobDescription'
}

# Measured: Wine 8's WinVerifyTrust (generic verify v2) checks that a signature is there, that the file's
# digest matches it and that the signature value is right. It accepts chains to roots nobody trusts, a
# certificate without the code-signing usage and an expired certificate, where Windows answers
# CERT_E_UNTRUSTEDROOT (0x800B0109), CERT_E_WRONG_USAGE (0x800B0110) and CERT_E_EXPIRED (0x800B0101).
test_wine_winverifytrust_checks_signature_digest_and_value_but_not_the_chain() {
    new_prefix
    local dir="$TEST_DIR/files" certs="$TEST_DIR/certificates"
    mkdir -p "$dir" "$certs"
    cp "$TOOLS_DIR/fakeinstaller.exe" "$dir/unsigned.exe"
    sign_copy "$dir/unsigned.exe" "$dir/self-signed.exe"
    vf_change_one_byte "$dir/self-signed.exe" "$dir/changed-after-signing.exe"
    cp "$dir/self-signed.exe" "$dir/signature-value-changed.exe"
    # The last bytes of the signature block are the signer's signature value.
    local size
    size=$(stat -c %s "$dir/self-signed.exe")
    printf '\x00' | dd of="$dir/signature-value-changed.exe" bs=1 seek=$((size - 100)) conv=notrunc 2>/dev/null
    : >"$dir/empty.exe"
    head -c 30000 "$dir/self-signed.exe" >"$dir/truncated.exe"

    # A test CA nobody trusts, a leaf it issued with the code-signing usage, one issued for 2020 only, and a
    # self-signed certificate for servers.
    (
        set -e
        cd "$certs"
        openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=KELVARO Test CA" \
            -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=keyCertSign" -keyout ca.key -out ca.pem
        openssl req -new -newkey rsa:2048 -nodes -subj "/CN=Microsoft Corporation" -keyout leaf.key -out leaf.csr
        printf '[ca]\ndefault_ca=test\n[test]\ndatabase=index.txt\nunique_subject=no\nnew_certs_dir=.\nserial=serial\n' >ca.cnf
        printf 'default_md=sha256\npolicy=any\n[any]\ncommonName=supplied\n[leaf]\nextendedKeyUsage=codeSigning\n' >>ca.cnf
        : >index.txt
        echo 01 >serial
        openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in leaf.csr -out leaf.pem -days 30 \
            -extensions leaf -notext
        openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in leaf.csr -out expired.pem \
            -startdate 20200101000000Z -enddate 20210101000000Z -extensions leaf -notext
        openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Microsoft Corporation" \
            -addext "extendedKeyUsage=serverAuth" -keyout server.key -out server.pem
    ) >"$TEST_DIR/openssl.txt" 2>&1 || fail "openssl could not make the certificates"
    cat "$certs/leaf.pem" "$certs/ca.pem" >"$certs/chain.pem"
    cat "$certs/expired.pem" "$certs/ca.pem" >"$certs/expired-chain.pem"
    local sign=(osslsigncode sign -in "$dir/unsigned.exe")
    "${sign[@]}" -certs "$certs/chain.pem" -key "$certs/leaf.key" -out "$dir/untrusted-ca.exe" >/dev/null
    "${sign[@]}" -certs "$certs/expired-chain.pem" -key "$certs/leaf.key" -out "$dir/expired.exe" >/dev/null
    "${sign[@]}" -certs "$certs/server.pem" -key "$certs/server.key" -out "$dir/no-code-signing-usage.exe" >/dev/null

    local expected="" name result actual=""
    while read -r name result; do
        expected+="$name: $result"$'\n'
        actual+="$name: $(vf_probe trust "$(winpath "$dir/$name.exe")" | sed -n 's/^CheckSignature: //p')"$'\n'
    done <<'TABLE'
unsigned 0x800b0100 signer=
self-signed 0x00000000 signer=Microsoft Corporation
changed-after-signing 0x80096010 signer=
signature-value-changed 0x80096004 signer=
empty 0x800b0003 signer=
truncated 0x800b0100 signer=
untrusted-ca 0x00000000 signer=Microsoft Corporation
expired 0x00000000 signer=Microsoft Corporation
no-code-signing-usage 0x00000000 signer=Microsoft Corporation
TABLE
    assert_text "$actual" "$expected" "WinVerifyTrust under Wine"
    # The handle knows where the file really is.
    assert_eq "$(vf_probe trust "$(winpath "$dir/self-signed.exe")" | sed -n 's/^resolvedPath: //p')" \
        "$(winpath "$dir/self-signed.exe")" "resolved path"
}

# The test build has no hash list: the .NET installer must carry a valid signature by "Microsoft Corporation";
# the other prerequisites have no expected signer and only need a valid signature.
test_signature_rule_runs_valid_signatures_from_the_expected_signer() {
    new_prefix
    stage_setup
    local redist="$TEST_DIR/media/redist"
    provide_signed_standin "$redist" "$VF_DOTNET"
    sign_copy "$TOOLS_DIR/fakeinstaller.exe" "$redist/gs950w64.exe" "Artifex Test Signer"
    sign_copy "$TOOLS_DIR/fakeinstaller.exe" "$redist/eDocPrintPro_x64.exe" "Someone Else"
    run_setup ADDLOCAL=MainFeature,FeatureFax /qn
    assert_eq "$EXIT_CODE" "0" "exit code"
    assert_text "$(vf_calls)" "$(printf '%s\n' "$VF_DOTNET" gs950w64.exe eDocPrintPro_x64.exe)" "installers started"
    if log_entries | grep -q 'Verification failed'; then fail "a valid signature failed"; fi
    # Each installer tried to open its own file for writing and for deletion (to rename or replace it) while it
    # ran: both were refused (32: ERROR_SHARING_VIOLATION).
    assert_text "$(vf_own_file)" "$(printf '%s|write: 32|delete: 32\n' "$VF_DOTNET" gs950w64.exe eDocPrintPro_x64.exe)" \
        "own file while running"
    # The same program started directly cannot be opened for writing either (no running image can), but it can
    # be opened for deletion: that refusal above is the handle Setup.exe held. (systemprobe's obtain shows the
    # refused write on a file that does not run.)
    rm -f "$WINEPREFIX/drive_c/prereq-own-file.log"
    wine "$redist/gs950w64.exe" >/dev/null 2>&1
    wineserver -w
    assert_eq "$(vf_own_file)" "gs950w64.exe|write: 32|delete: 0" "own file without Setup.exe"
}

# An unsigned .NET installer, one changed after signing and one signed by another name never run, neither
# from REDISTDIR nor from the server: the local copy is left alone, each download is one failed attempt, and
# after three the action fails with the verification's result as a download failure.
test_signature_rule_refuses_unsigned_changed_and_foreign_installers() {
    new_prefix
    stage_setup
    trap stop_http_server EXIT
    local redist="$TEST_DIR/media/redist" bad="$TEST_DIR/bad"
    mkdir -p "$bad"
    cp "$TOOLS_DIR/fakeinstaller.exe" "$bad/unsigned.exe"
    provide_signed_standin "$bad" signed.exe
    vf_change_one_byte "$bad/signed.exe" "$bad/changed.exe"
    sign_copy "$TOOLS_DIR/fakeinstaller.exe" "$bad/foreign.exe" "Someone Else"
    start_http_server "$TEST_DIR/site"
    local kind hex
    while read -r kind hex; do
        mkdir -p "$redist" "$(vf_site)"
        cp "$bad/$kind.exe" "$redist/$VF_DOTNET"
        cp "$bad/$kind.exe" "$(vf_site)/$VF_DOTNET"
        rm -f "$(setup_log)"
        run_setup /passive
        assert_eq "$EXIT_CODE" "$(vf_code "$hex")" "exit code ($kind)"
        local expected
        expected=$(cat <<LINES
CInstallAction|DownloadAndInstallPrerequisite: .NET Framework 4.7.2
ResourceExtractor|Local redist: <MEDIA>redist\\$VF_DOTNET
ResourceExtractor|Verification failed: <MEDIA>redist\\$VF_DOTNET ($hex)
ResourceExtractor|Download: $VF_URL
ResourceExtractor|Verification failed: <WORK>\\$VF_DOTNET ($hex)
ResourceExtractor|Download failed: $hex
ResourceExtractor|Download: $VF_URL
ResourceExtractor|Verification failed: <WORK>\\$VF_DOTNET ($hex)
ResourceExtractor|Download failed: $hex
ResourceExtractor|Download: $VF_URL
ResourceExtractor|Verification failed: <WORK>\\$VF_DOTNET ($hex)
ResourceExtractor|Download failed: $hex
ResourceExtractor|Download failed: $hex
InstallController|Result of .NET Framework 4.7.2: $hex
LINES
)
        assert_text "$(vf_prerequisite_lines)" "$expected" "log ($kind)"
        assert_eq "$(vf_calls)" "" "installers started ($kind)"
        cmp -s "$redist/$VF_DOTNET" "$bad/$kind.exe" || fail "the REDISTDIR copy was changed or removed ($kind)"
        assert_temp_clean
        if log_entries | grep -q 'InstallProductViaMsiExec'; then fail "the client was installed ($kind)"; fi
    done <<'TABLE'
unsigned 800b0100
changed 80096010
foreign 800b010f
TABLE
}

# The hash-list build runs the listed stand-in and nothing else: a changed copy in REDISTDIR is left and the
# download tried; a changed copy on the server is tried three times and never run.
test_hash_list_build_runs_only_the_listed_installer() {
    new_prefix
    mkdir -p "$TEST_DIR/media"
    cp "$BUILD_WIN64/hashlist/Setup.exe" "$TEST_DIR/media/Setup.exe"
    export SETUP_COPY="$TEST_DIR/media/Setup.exe"
    MEDIA_WIN="$(winpath "$TEST_DIR/media")\\"
    trap stop_http_server EXIT
    local redist="$TEST_DIR/media/redist" changed="$TEST_DIR/changed.exe"
    grep -q "^$(sha256sum "$TOOLS_DIR/fakeinstaller.exe" | cut -c1-64)  $VF_DOTNET\$" \
        "$BUILD_WIN64/hashlist/standins.sha256" || fail "the build's list does not hold the stand-in"
    # Signed, but not the listed file: under a hash list only the list counts.
    sign_copy "$TOOLS_DIR/fakeinstaller.exe" "$changed"
    mkdir -p "$redist" "$(vf_site)"
    cp "$changed" "$redist/$VF_DOTNET"
    cp "$TOOLS_DIR/fakeinstaller.exe" "$(vf_site)/$VF_DOTNET"
    start_http_server "$TEST_DIR/site"
    run_setup /passive
    assert_eq "$EXIT_CODE" "0" "exit code"
    local expected
    expected=$(cat <<LINES
CInstallAction|DownloadAndInstallPrerequisite: .NET Framework 4.7.2
ResourceExtractor|Local redist: <MEDIA>redist\\$VF_DOTNET
ResourceExtractor|Verification failed: <MEDIA>redist\\$VF_DOTNET (80096010)
ResourceExtractor|Download: $VF_URL
ResourceExtractor|Local cached file: <WORK>\\$VF_DOTNET
CInstallAction|"<WORK>\\$VF_DOTNET" /norestart /passive 
CInstallAction|Create process
CInstallAction|Wait for process
CInstallAction|Process done
CInstallAction|Process exit code: 0
InstallController|Result of .NET Framework 4.7.2: 0
LINES
)
    assert_text "$(vf_prerequisite_lines)" "$expected" "log with a changed local copy"
    assert_eq "$(vf_calls)" "$VF_DOTNET" "installers started"
    assert_eq "$(vf_own_file)" "$VF_DOTNET|write: 32|delete: 32" "own file while running"
    cmp -s "$redist/$VF_DOTNET" "$changed" || fail "the REDISTDIR copy was changed or removed"
    assert_temp_clean

    # Now the server has a changed copy and REDISTDIR none (the second run repairs the client and still needs
    # .NET, which the stand-in does not register).
    rm -f "$redist/$VF_DOTNET" "$(setup_log)" "$WINEPREFIX/drive_c/prereq-calls.log"
    cp "$changed" "$(vf_site)/$VF_DOTNET"
    run_setup /passive
    assert_eq "$EXIT_CODE" "$(vf_code 80096010)" "exit code with a changed download"
    assert_eq "$(log_entries | grep -c "^ResourceExtractor|Verification failed: .*$VF_DOTNET (80096010)$")" "3" \
        "failed verifications"
    assert_eq "$(log_entries | grep -c "^ResourceExtractor|Download: $VF_URL$")" "3" "download attempts"
    assert_lines_in_order "$(normalized_log)" \
        "ResourceExtractor|Download failed: 80096010" \
        "InstallController|Result of .NET Framework 4.7.2: 80096010" \
        "BootStrapper|Done"
    assert_eq "$(vf_calls)" "" "installers started"
    assert_temp_clean
}

# A server that answers 404 with an HTML page: three failed attempts (0x80190194, HTTP_E_STATUS_NOT_FOUND),
# the page is never run nor kept, and the run ends as after any failed download.
test_download_answered_with_404_is_three_failed_attempts() {
    new_prefix
    stage_setup
    trap stop_http_server EXIT
    mkdir -p "$(vf_site)"
    start_http_server "$TEST_DIR/site"
    run_setup /passive
    assert_eq "$EXIT_CODE" "$(vf_code 80190194)" "exit code"
    local expected
    expected=$(cat <<LINES
CInstallAction|DownloadAndInstallPrerequisite: .NET Framework 4.7.2
ResourceExtractor|Download: $VF_URL
ResourceExtractor|Download failed: 80190194
ResourceExtractor|Download: $VF_URL
ResourceExtractor|Download failed: 80190194
ResourceExtractor|Download: $VF_URL
ResourceExtractor|Download failed: 80190194
ResourceExtractor|Download failed: 80190194
InstallController|Result of .NET Framework 4.7.2: 80190194
LINES
)
    assert_text "$(vf_prerequisite_lines)" "$expected" "log"
    assert_eq "$(grep -c "\"GET /kelvaro/clients/Windows/redist/$VF_DOTNET HTTP/1.1\" 404" "$TEST_DIR/http.log")" "3" \
        "404 answers"
    assert_eq "$(vf_calls)" "" "installers started"
    assert_temp_clean
    if log_entries | grep -q 'InstallProductViaMsiExec'; then fail "the client was installed"; fi
}

# Serves folder $1 over TLS on the loopback port with certificate $2 (PEM files $2.pem and $2.key); GET
# /redirect answers 302 with the address $3. Sets HTTP_PID.
vf_start_tls_server() {
    (cd "$1" && exec python3 -c '
import http.server, ssl, sys
class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path == "/redirect":
            self.send_response(302)
            self.send_header("Location", sys.argv[3])
            self.end_headers()
            return
        super().do_GET()
server = http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[2] + ".pem", sys.argv[2] + ".key")
server.socket = context.wrap_socket(server.socket, server_side=True)
server.serve_forever()' "$VF_PORT" "$2" "$3") >>"$TEST_DIR/https.log" 2>&1 &
    HTTP_PID=$!
    wait_for_port "$VF_PORT" "TLS server" "$HTTP_PID"
}

# Downloads over TLS as Setup.exe makes them. A certificate nobody trusts: Wine asks
# IHttpSecurity::OnSecurityProblem and the answer E_ABORT ends the download (0x80004004) before anything is
# written. With the certificate trusted, a file comes; a redirect from there to plain HTTP is aborted (Wine
# follows such a redirect without a security problem and without telling the callback: the callback finds
# the plain address when the response arrives). What a failed download leaves is deleted by the caller.
test_download_with_a_certificate_problem_or_a_redirect_to_http_is_aborted() {
    new_prefix
    trap stop_http_server EXIT
    local site="$TEST_DIR/site" tls="$TEST_DIR/tls" plain_port
    mkdir -p "$site" "$tls"
    cp "$TOOLS_DIR/fakeinstaller.exe" "$site/installer.exe"
    plain_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=localhost" \
        -addext "subjectAltName=DNS:localhost" -keyout "$tls/server.key" -out "$tls/server.pem" >/dev/null 2>&1 ||
        fail "openssl could not make a server certificate"
    vf_start_tls_server "$site" "$tls/server" "http://127.0.0.1:$plain_port/installer.exe"
    local https="https://localhost:$VF_PORT"
    assert_eq "$(vf_probe download "$https/installer.exe" "$(winpath "$TEST_DIR/untrusted.exe")")" \
        "Download: 0x80004004" "certificate nobody trusts"
    assert_no_file "$TEST_DIR/untrusted.exe"

    openssl x509 -in "$tls/server.pem" -outform der -out "$tls/server.der"
    assert_eq "$(vf_probe add-root-certificate "$(winpath "$tls/server.der")")" \
        "CertAddEncodedCertificateToSystemStore: 1" "test root added"
    assert_eq "$(vf_probe download "$https/installer.exe" "$(winpath "$TEST_DIR/trusted.exe")")" \
        "Download: 0x00000000" "trusted certificate"
    cmp "$TEST_DIR/trusted.exe" "$site/installer.exe" || fail "downloaded content differs"

    (cd "$site" && exec python3 -m http.server --bind 127.0.0.1 "$plain_port") >>"$TEST_DIR/http.log" 2>&1 &
    local plain=$!
    wait_for_port "$plain_port" "HTTP server" "$plain"
    local answer
    answer=$(vf_probe download "$https/redirect" "$(winpath "$TEST_DIR/redirected.exe")")
    kill "$plain"
    wait "$plain" 2>/dev/null
    assert_eq "$answer" "Download: 0x80004004" "redirect from HTTPS to HTTP"
    grep -q '"GET /redirect HTTP/1.1" 302' "$TEST_DIR/https.log" || fail "the server did not redirect"
}
