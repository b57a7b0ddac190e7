#!/usr/bin/env bash
# Runs the integration tests against the real Setup.exe under Wine.
# Usage: run-all.sh BUILD_WIN64 [FILTER]   (FILTER: a substring of test names)
set -u
here="$(cd "$(dirname "$0")" && pwd)"
export BUILD_WIN64="$(cd "$1" && pwd)"
filter="${2:-}"
export WORK_DIR="${INTEGRATION_WORK_DIR:-$BUILD_WIN64/integration}"
rm -rf "$WORK_DIR/runs"
mkdir -p "$WORK_DIR/runs"

passed=0
failed=0
failed_names=()
for file in "$here"/test_*.sh; do
    tests=$(bash -c "source '$here/lib.sh'; source '$file'; declare -F" | awk '{print $3}' | grep '^test_' || true)
    for t in $tests; do
        [ -z "$filter" ] || [[ "$t" == *"$filter"* ]] || continue
        export TEST_DIR="$WORK_DIR/runs/$t"
        mkdir -p "$TEST_DIR"
        start=$(date +%s)
        if (set -e; source "$here/lib.sh"; source "$file"; cd "$TEST_DIR"; "$t") >"$TEST_DIR/output.txt" 2>&1; then
            passed=$((passed + 1))
            echo "PASS $t ($(( $(date +%s) - start ))s)"
        else
            failed=$((failed + 1))
            failed_names+=("$t")
            echo "FAIL $t ($(( $(date +%s) - start ))s)"
            sed 's/^/    /' "$TEST_DIR/output.txt" | tail -n 40
        fi
        [ -d "$TEST_DIR/prefix" ] && WINEPREFIX="$TEST_DIR/prefix" wineserver -k >/dev/null 2>&1
        # Keep the prefixes of failed tests for inspection; free the disk of passed ones.
        if [[ " ${failed_names[*]:-} " != *" $t "* ]]; then rm -rf "$TEST_DIR/prefix"; fi
    done
done
echo "integration: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
