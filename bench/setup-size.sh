#!/usr/bin/env bash
# Size of the release Setup.exe (i686) without its payloads, and what makes it up.
# Builds the release into build/size (under BUILD_DIR, default build/) with each of the three payloads
# replaced by a file of 2 bytes and without signature, then prints the file size against the goal
# (512 KiB, stretch 384 KiB), its sections, its resources by type and, from the link map, the code and
# data each library brought in, with the largest objects.
# Usage: bench/setup-size.sh               build and measure
#        bench/setup-size.sh SETUP_EXE [MAP] measure a file built elsewhere
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -gt 0 ]; then
    exec python3 "$root/bench/setup_size.py" "$@"
fi
build="${BUILD_DIR:-$root/build}/size"
mkdir -p "$build"
printf 'MZ' >"$build/payload-2-bytes.bin"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DSETUP_SIGN_PKCS12= \
    -DSETUP_MSI_X86="$build/payload-2-bytes.bin" -DSETUP_MSI_X64="$build/payload-2-bytes.bin" \
    -DSETUP_CLEANUP_TOOL="$build/payload-2-bytes.bin" >"$build/cmake.log" 2>&1 || { cat "$build/cmake.log"; exit 1; }
cmake --build "$build" --target Setup -j "${JOBS:-2}" >"$build/build.log" 2>&1 || { tail -n 40 "$build/build.log"; exit 1; }
echo "i686 release, payloads of 2 bytes each, unsigned (a signature adds about 2 KB)"
python3 "$root/bench/setup_size.py" "$build/Setup.exe" "$build/Setup.map"
echo
echo "Symbols kept apart: $(stat -c %s "$build/Setup.exe.debug") bytes in Setup.exe.debug"
