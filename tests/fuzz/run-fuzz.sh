#!/usr/bin/env bash
# Runs one fuzz target for a fixed number of inputs, starting from its committed seed corpus, with a fixed
# random seed. New inputs go to a temporary folder, never into the corpus. Any crash, sanitizer report,
# time-out (10 s per input) or memory use above 2 GB ends the run with a non-zero exit code; the input that
# caused it is kept in FUZZ_ARTIFACTS (default: the current folder).
# Usage: run-fuzz.sh TARGET_BINARY RUNS [EXTRA LIBFUZZER OPTIONS...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
binary="$1"
runs="$2"
shift 2
name="$(basename "$binary")"
seeds="$here/corpus/$name"
[ -d "$seeds" ] || { echo "no seed corpus: $seeds" >&2; exit 2; }
work="$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX")"
trap 'rm -rf "$work"' EXIT
artifacts="${FUZZ_ARTIFACTS:-$PWD}"
mkdir -p "$artifacts"
# Shorter allocation stacks and a smaller quarantine: much faster on these allocation-heavy targets, and a
# report still shows where memory was allocated.
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=8:quarantine_size_mb=64}"
dict=()
[ -f "$here/$name.dict" ] && dict=(-dict="$here/$name.dict")
"$binary" -runs="$runs" -seed="${FUZZ_SEED:-1}" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "${dict[@]}" "$@" "$work" "$seeds" 2>&1
