#!/usr/bin/env bash
# Checks of the release build (i686): a PE32 GUI program without debug sections, its symbols in
# Setup.exe.debug named by its debug link, one language-neutral side picture, the product version,
# no MinGW runtime DLL, and, when the build was signed, Authenticode signatures on Setup.exe and on the
# embedded clean-up tool that verify, and that break when one byte of a payload changes.
# Usage: check-release.sh BUILD_WIN32 [CA_CERT_PEM]   (with the certificate: the release must be signed by it)
# Prints one "ok"/"FAIL" line per check and "release: N passed, N failed" last.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "$1" && pwd)"
ca="${2:-}"
setup="$build/Setup.exe"
cleanup="$build/samples/CleanupInstallation.exe"
peinfo=(python3 "$root/scripts/peinfo.py")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
check() {  # check NAME COMMAND...: the command's exit status decides
    local name="$1"
    shift
    if "$@" >"$work/out.txt" 2>&1; then
        passed=$((passed + 1))
        echo "ok   $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        sed 's/^/     /' "$work/out.txt" | tail -n 20
    fi
}

# The resource's bytes (type, name) copied out of a PE file.
extract_resource() {  # FILE TYPE NAME OUT
    local offset size
    read -r _ _ _ size offset < <("${peinfo[@]}" resources "$1" | awk -v t="$2" -v n="$3" '$1 == t && $2 == n' | head -n 1)
    [ -n "${size:-}" ] || { echo "no resource $2 $3 in $1"; return 1; }
    tail -c +"$((offset + 1))" "$1" | head -c "$size" >"$4"
}

is_gui_pe32() {
    local description
    description=$(file -b "$setup")
    echo "$description"
    [[ "$description" == "PE32 executable (GUI) Intel 80386"* ]]
}

# No .debug_* section; a .gnu_debuglink that names NAME.debug beside it with the right CRC-32;
# that file holds the DWARF sections and the symbols.
symbols_kept_apart() {  # FILE
    local file="$1" name crc actual
    "${peinfo[@]}" sections "$file"
    if "${peinfo[@]}" sections "$file" | awk '{print $1}' | grep -E '^\.debug_|^\.stab'; then
        echo "debug sections left in $file"; return 1
    fi
    read -r name crc < <("${peinfo[@]}" debuglink "$file") || { echo "no debug link"; return 1; }
    [ "$name" = "$(basename "$file").debug" ] || { echo "debug link names '$name'"; return 1; }
    [ -f "$file.debug" ] || { echo "missing $file.debug"; return 1; }
    actual=$(python3 -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$file.debug")
    [ "$crc" = "$actual" ] || { echo "debug link CRC $crc, file CRC $actual"; return 1; }
    i686-w64-mingw32-objdump -h "$file.debug" | grep -q ' \.debug_info ' || { echo "no .debug_info in $file.debug"; return 1; }
    [ "$(i686-w64-mingw32-nm "$file.debug" | grep -c ' T ')" -gt 100 ] || { echo "no function symbols in $file.debug"; return 1; }
    [ -z "$(i686-w64-mingw32-nm "$file" 2>/dev/null)" ] || { echo "symbols left in $file"; return 1; }
}

# One bitmap resource in the file, language-neutral: the side picture of every language.
side_picture_once() {
    local bitmaps
    bitmaps=$("${peinfo[@]}" resources "$setup" | awk '$1 == "BITMAP" {print $1, $2, $3}')
    echo "$bitmaps"
    [ "$bitmaps" = "BITMAP 500 0" ]
}

version_fields() {
    local version
    version=$("${peinfo[@]}" version "$setup")
    echo "$version"
    [ "$version" = "6.7.3.319 6.7.3.319" ]
}

# Statically linked: imports only from Windows' own DLLs, none from the MinGW runtime.
no_runtime_dll() {
    local dlls
    dlls=$(i686-w64-mingw32-objdump -p "$setup" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    echo "$dlls"
    ! grep -E '^(libstdc\+\+|libgcc|libwinpthread|mingwm)' <<<"$dlls"
}

verify_signature() {  # FILE
    osslsigncode verify -CAfile "$ca" -in "$1"
}

# The clean-up tool was signed before it was embedded (BIN 131).
embedded_cleanup_signed() {
    extract_resource "$setup" BIN 131 "$work/cleanup.exe" && verify_signature "$work/cleanup.exe"
}

# One byte of the 32-bit package changed after signing: the signature no longer verifies.
changed_payload_breaks_signature() {
    local offset size byte
    read -r _ _ _ size offset < <("${peinfo[@]}" resources "$setup" | awk '$1 == "BIN" && $2 == 130')
    [ "${size:-0}" -gt 1000 ] || { echo "no package in BIN 130"; return 1; }
    cp "$setup" "$work/changed.exe"
    offset=$((offset + size / 2))
    byte=$(od -An -tu1 -j "$offset" -N1 "$work/changed.exe" | tr -d ' ')
    printf "$(printf '\\%03o' $(((byte + 1) % 256)))" |
        dd of="$work/changed.exe" bs=1 seek="$offset" count=1 conv=notrunc status=none
    cmp -s "$setup" "$work/changed.exe" && { echo "the copy did not change"; return 1; }
    if osslsigncode verify -CAfile "$ca" -in "$work/changed.exe"; then
        echo "a changed payload still verifies"; return 1
    fi
}

echo "Setup.exe (i686): $(stat -c %s "$setup") bytes"
check "the release is a PE32 GUI program" is_gui_pe32
check "Setup.exe keeps its symbols in Setup.exe.debug" symbols_kept_apart "$setup"
check "the clean-up tool keeps its symbols in CleanupInstallation.exe.debug" symbols_kept_apart "$cleanup"
check "the side picture is stored once, language-neutral" side_picture_once
check "the version fields are the product version" version_fields
check "no MinGW runtime DLL is imported" no_runtime_dll
if [ -n "$ca" ]; then
    check "Setup.exe's signature verifies" verify_signature "$setup"
    check "the embedded clean-up tool is signed" embedded_cleanup_signed
    check "one changed payload byte breaks the signature" changed_payload_breaks_signature
fi
echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
