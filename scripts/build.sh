#!/usr/bin/env bash
# Configures and builds the host (unit tests), x86_64 (Wine tests) and i686 (release) trees under build/,
# and on request the sanitizer tree (unit tests under ASan and UBSan, and the fuzz targets; clang).
# Usage: build.sh [host|win64|win32|sanitize]...   (default: host, win64 and win32)
# The release (win32) is signed when SETUP_SIGN_PKCS12 names a PKCS#12 file (with SETUP_SIGN_PASSWORD_FILE
# and SETUP_SIGN_TIMESTAMP_URL as needed); without it the release is built unsigned.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
jobs="${JOBS:-2}"
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(host win64 win32)
for t in "${targets[@]}"; do
    type=Release
    case "$t" in
        host) args=() ;;
        # Its own optimisation and debug flags (-O1, line tables) come with SETUP_SANITIZE.
        sanitize) args=(-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DSETUP_SANITIZE=ON)
                  type=None ;;
        # The x86_64 build is the one the integration tests run: its downloads go to a loopback server.
        win64) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake"
                     -DSETUP_DOWNLOAD_BASE_URL="http://127.0.0.1:${TEST_DOWNLOAD_PORT:-48213}/kelvaro/clients/") ;;
        win32) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake"
                     -DSETUP_SIGN_PKCS12="${SETUP_SIGN_PKCS12:-}" -DSETUP_SIGN_PASSWORD_FILE="${SETUP_SIGN_PASSWORD_FILE:-}"
                     -DSETUP_SIGN_TIMESTAMP_URL="${SETUP_SIGN_TIMESTAMP_URL:-}") ;;
        *) echo "unknown build: $t" >&2; exit 2 ;;
    esac
    mkdir -p "$build"
    cmake -S "$root" -B "$build/$t" -DCMAKE_BUILD_TYPE="$type" "${args[@]}" >"$build/cmake-$t.log" 2>&1 ||
        { mkdir -p "$build"; cat "$build/cmake-$t.log"; exit 1; }
    cmake --build "$build/$t" -j "$jobs"
done
