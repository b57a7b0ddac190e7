#!/usr/bin/env bash
# The Windows build refuses bad prerequisite lists with a message that names the list and the problem, and turns
# a good list into the table Setup.exe is built with. Configures one x86_64 tree in a temporary folder and builds
# only the table (target prerequisite_trust) for each case.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
failures=0
hash_a=0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef
hash_b=FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Configures and builds the table; prints everything both steps wrote. Succeeds only when both do.
build_table() {  # cmake -D arguments...
    cmake -S "$root" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" "$@" 2>&1 &&
        cmake --build "$tree" --target prerequisite_trust 2>&1
}

expect_refusal() {  # what, expected message, cmake -D arguments...
    local what="$1" message="$2" output
    shift 2
    if output=$(build_table "$@"); then
        fail "$what: the build went on"
    elif ! grep -qF -- "$message" <<<"$output"; then
        fail "$what: no message [$message] in:"
        tail -n 15 <<<"$output"
    else
        echo "ok: $what refused: $message"
    fi
}

printf '# nothing listed\n\n' >"$work/empty.sha256"
printf '%s  a.exe\n%s  A.EXE\n' "$hash_a" "$hash_b" >"$work/twice.sha256"
printf '%s  a.exe\n%s a.exe\n' "$hash_a" "$hash_b" >"$work/format.sha256"
printf '# release 6.7.3.319\r\n%s  NDP472-KB4054530-x86-x64-AllOS-ENU.exe\r\n%s *gs950w64.exe\r\n' "$hash_a" "$hash_b" \
    >"$work/good.sha256"

expect_refusal "a list that cannot be read" "SETUP_PREREQUISITE_SHA256: cannot read $work/missing.sha256" \
    -DSETUP_PREREQUISITE_SHA256="$work/missing.sha256"
expect_refusal "a list without entries" "SETUP_PREREQUISITE_SHA256 ($work/empty.sha256): the list names no file" \
    -DSETUP_PREREQUISITE_SHA256="$work/empty.sha256"
expect_refusal "a name listed twice" \
    "SETUP_PREREQUISITE_SHA256 ($work/twice.sha256): line 2: \"A.EXE\" is listed twice (also on line 1)" \
    -DSETUP_PREREQUISITE_SHA256="$work/twice.sha256"
expect_refusal "a line out of format" \
    "SETUP_PREREQUISITE_SHA256 ($work/format.sha256): line 2: not in the format of sha256sum" \
    -DSETUP_PREREQUISITE_SHA256="$work/format.sha256"
expect_refusal "a signer without a file name" \
    "SETUP_PREREQUISITE_SIGNERS: \"Microsoft Corporation\" is not of the form file name=signer" \
    -DSETUP_PREREQUISITE_SHA256= "-DSETUP_PREREQUISITE_SIGNERS=Microsoft Corporation"

# A good list: the table holds both entries' bytes; the signers are kept but do not count under a list.
if output=$(build_table -DSETUP_PREREQUISITE_SHA256="$work/good.sha256" \
    "-DSETUP_PREREQUISITE_SIGNERS=NDP472-KB4054530-x86-x64-AllOS-ENU.exe=Microsoft Corporation"); then
    table="$tree/PrerequisiteTrust.cpp"
    grep -qF 'policy.hashListGiven = true;' "$table" || fail "good list: the table has no list"
    grep -qF '{L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe", {{0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0x01,' \
        "$table" || fail "good list: the .NET entry is missing"
    grep -qF '{L"gs950w64.exe", {{0xfe, 0xdc, 0xba, 0x98,' "$table" || fail "good list: the Ghostscript entry is missing"
    grep -qF '{L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe", L"Microsoft Corporation"},' "$table" ||
        fail "good list: the signer is missing"
    echo "ok: a good list is built into the table"
else
    fail "good list refused:"
    tail -n 15 <<<"$output"
fi

# Without a list the default signer rule is built in.
if build_table -DSETUP_PREREQUISITE_SHA256= -USETUP_PREREQUISITE_SIGNERS >/dev/null; then
    grep -qF 'policy.hashListGiven = false;' "$tree/PrerequisiteTrust.cpp" &&
        grep -qF '{L"NDP472-KB4054530-x86-x64-AllOS-ENU.exe", L"Microsoft Corporation"},' "$tree/PrerequisiteTrust.cpp" ||
        fail "default: no signature rule with the .NET installer's signer"
    echo "ok: without a list the signature rule with the default signer"
else
    fail "default lists refused"
fi
[ "$failures" -eq 0 ]
