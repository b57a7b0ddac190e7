#!/usr/bin/env bash
# Runs every fuzz target of the sanitizer build for a number of inputs (default 1,000,000) from its seed
# corpus and prints, per target, the inputs run, the time, the speed and the outcome (crashes, sanitizer
# reports, time-outs and memory overruns all end a run with a non-zero code and keep the input in ARTIFACTS).
# Builds the sanitizer tree first. Usage: scripts/fuzz.sh [RUNS] [TARGET...]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
runs="${1:-1000000}"
shift || true
"$root/scripts/install-deps.sh" || exit 1
"$root/scripts/build.sh" sanitize >/dev/null || { echo "the sanitizer build failed" >&2; exit 1; }
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
    for source in "$root"/tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
artifacts="${ARTIFACTS:-$build/fuzz-artifacts}"
mkdir -p "$artifacts"
failed=0
for target in "${targets[@]}"; do
    log="$artifacts/$target.log"
    start=$(date +%s)
    FUZZ_ARTIFACTS="$artifacts" "$root/tests/fuzz/run-fuzz.sh" "$build/sanitize/$target" "$runs" >"$log" 2>&1
    status=$?
    seconds=$(( $(date +%s) - start ))
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)
    reports=$(grep -cE '^==[0-9]+==ERROR|runtime error:|ERROR: libFuzzer' "$log" || true)
    timeouts=$(grep -c 'ERROR: libFuzzer: timeout' "$log" || true)
    outcome=ok
    [ "$status" -eq 0 ] || { outcome="FAILED (exit $status)"; failed=1; }
    printf '%-22s %s inputs in %ss (%s/s, peak %s MB): %s reports, %s time-outs, %s\n' "$target" \
        "${executed:-0}" "$seconds" "${speed:-0}" "${rss:-?}" "$reports" "$timeouts" "$outcome"
done
exit "$failed"
