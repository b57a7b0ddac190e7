#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any of them is missing.
set -euo pipefail
packages=(
    cmake make g++ googletest libgtest-dev libgmock-dev clang-14 libclang-rt-14-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine wine64 fonts-wine msitools wixl
    xvfb xdotool imagemagick x11-utils
    file python3 procps locales
    osslsigncode openssl
)
# Files that the run command and the tests copy or call from the system, each with the package that
# brings it. `wine` only recommends fonts-wine, so an install without recommends would miss it.
required_files=(
    "/usr/share/wine/fonts/tahoma.ttf fonts-wine"
    "/usr/bin/wine wine"
    "/usr/bin/Xvfb xvfb"
    "/usr/bin/xdotool xdotool"
    "/usr/bin/import imagemagick"
    "/usr/bin/xdpyinfo x11-utils"
    "/usr/bin/wixl wixl"
    "/usr/bin/msiinfo msitools"
    "/usr/bin/osslsigncode osslsigncode"
    "/usr/bin/openssl openssl"
    "/usr/share/i18n/locales/de_DE locales"
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
for entry in "${required_files[@]}"; do
    read -r path package <<<"$entry"
    [ -e "$path" ] || { echo "Missing $path: the Debian package $package did not install it" >&2; exit 1; }
done
