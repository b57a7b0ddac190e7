#!/usr/bin/env bash
# Builds everything and runs all tests: host unit tests, the same under AddressSanitizer and
# UndefinedBehaviorSanitizer with short runs of the fuzz targets, the checks of the release build, and the
# integration tests of the real Setup.exe under Wine. Prints "total: N passed, N failed" last.
# Usage: test.sh [INTEGRATION_FILTER]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh" || exit 1

# The release is built signed, with a certificate made here for the tests. It stays in the build
# folder (never committed) and is made again when it expires within a day.
signing="$build/test-signing"
if ! openssl x509 -checkend 86400 -noout -in "$signing/cert.pem" >/dev/null 2>&1 || [ ! -f "$signing/release.p12" ]; then
    rm -rf "$signing" && mkdir -p "$signing" && chmod 700 "$signing"
    openssl rand -hex 16 >"$signing/password"
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=KELVARO GmbH (test signing)" \
        -addext "extendedKeyUsage=codeSigning" -keyout "$signing/key.pem" -out "$signing/cert.pem" >/dev/null 2>&1 &&
    openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/cert.pem" -out "$signing/release.p12" \
        -passout "file:$signing/password" || { echo "total: 0 passed, 1 failed (no test certificate)"; exit 1; }
fi
SETUP_SIGN_PKCS12="$signing/release.p12" SETUP_SIGN_PASSWORD_FILE="$signing/password" \
    "$root/scripts/build.sh" host win64 win32 sanitize || { echo "total: 0 passed, 1 failed"; exit 1; }

passed=0
failed=0

# Runs the ctest tests of one build tree and adds their counts.
run_ctest() {  # tree, title, report file
    echo "== $2"
    (cd "$build/$1" && ctest --output-on-failure -j 2) | tee "$build/$3"
    local summary total fails
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$build/$3" | tail -n 1)
    total=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
    fails=$(echo "$summary" | sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/')
    if [ -z "$summary" ]; then total=1; fails=1; fi
    passed=$((passed + total - fails))
    failed=$((failed + fails))
}

run_ctest host "unit tests" unit.txt
run_ctest sanitize "unit tests under ASan and UBSan, short fuzz runs" sanitize.txt

echo "== release build"
"$root/tests/release/check-release.sh" "$build/win32" "$signing/cert.pem" | tee "$build/release.txt"
summary=$(grep -E '^release: [0-9]+ passed, [0-9]+ failed' "$build/release.txt" | tail -n 1)
if [ -n "$summary" ]; then
    passed=$((passed + $(echo "$summary" | sed -E 's/release: ([0-9]+) passed.*/\1/')))
    failed=$((failed + $(echo "$summary" | sed -E 's/.* ([0-9]+) failed/\1/')))
else
    failed=$((failed + 1))
fi
if "$root/scripts/check-imports.sh" "$build/win32/Setup.exe"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

echo "== integration tests"
"$root/tests/integration/run-all.sh" "$build/win64" "${1:-}" | tee "$build/integration.txt"
summary=$(grep -E '^integration: [0-9]+ passed, [0-9]+ failed' "$build/integration.txt" | tail -n 1)
if [ -n "$summary" ]; then
    passed=$((passed + $(echo "$summary" | sed -E 's/integration: ([0-9]+) passed.*/\1/')))
    failed=$((failed + $(echo "$summary" | sed -E 's/.* ([0-9]+) failed/\1/')))
else
    failed=$((failed + 1))
fi

echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
