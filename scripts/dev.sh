#!/usr/bin/env bash
# Installs what is missing, builds, then starts the program or runs every test.
#   scripts/dev.sh start   build and start
#   scripts/dev.sh test    build and run the whole test suite
#   scripts/dev.sh zip     build the portable Windows release zip
set -euo pipefail
cd "$(dirname "$0")/.."

# Each command installs only what it uses.
# The Linux programs: compiler, build tools, SimpleIni (with the ICU headers it
# includes), Qt 6 and its Japanese texts, libnotify, libcanberra and the sound
# theme whose cues it plays, the X key symbols for the window's global keys,
# the Japanese fonts, and Xvfb for a machine without a display.
start_packages=(g++ cmake ninja-build pkg-config libsimpleini-dev libicu-dev
    qt6-base-dev qt6-translations-l10n libnotify-dev libcanberra-dev sound-theme-freedesktop
    libxcb1-dev libxcb-keysyms1-dev xvfb fonts-ipafont-gothic fonts-ipafont-mincho)
# The suites add GoogleTest, the window's, --notify's and --sound's test
# drivers (PulseAudio with its null sink, xmessage to hold the focus) and the
# package checks.
test_packages=("${start_packages[@]}" libgtest-dev xdotool dbus python3-dbus python3-gi
    pulseaudio pulseaudio-utils x11-utils dpkg-dev file lintian desktop-file-utils appstream man-db)
# --- Windows: cross compiler and Wine for the Windows programs and suites ----
# (python3 writes Tsumugiya.exe's resource script; fonts-wine has the Marlett
# font Wine draws caption buttons with; the cross build takes SimpleIni's header)
zip_packages=(cmake ninja-build libsimpleini-dev g++-mingw-w64-x86-64-posix python3)
test_packages+=(g++-mingw-w64-x86-64-posix wine64 python3 fonts-wine)
# --- end Windows ---------------------------------------------------------------
# The power-cut tests' XFS images; strace injects failed calls by hand.
test_packages+=(xfsprogs strace)

# install_missing PACKAGE...
install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build FOLDER [CMAKE OPTIONS...]
build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir"
}

case "${1:-}" in
start)
    install_missing "${start_packages[@]}"
    build build -DTSUMUGIYA_BUILD_TESTS=OFF
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display: starting tsumugiya on a virtual X server (Xvfb); stop it with Ctrl+C."
        exec xvfb-run -a build/ui/tsumugiya
    fi
    exec build/ui/tsumugiya
    ;;
test)
    install_missing "${test_packages[@]}"
    build build -DTSUMUGIYA_BUILD_TESTS=ON
    ctest --test-dir build --output-on-failure --timeout 300
    # The same suites again with AddressSanitizer and UndefinedBehaviorSanitizer;
    # the crash trials kill processes on purpose and the power cuts preload a
    # library before the sanitizer runtime could be: both stay in the plain build.
    build build-sanitize -DTSUMUGIYA_SANITIZE=ON -DTSUMUGIYA_BUILD_TESTS=ON
    ctest --test-dir build-sanitize --output-on-failure --timeout 300 --label-exclude 'crash|powerloss'
    # --- Windows: tsumugiya-cli.exe and the core and CLI suites, run under Wine
    build build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTSUMUGIYA_BUILD_TESTS=ON
    ctest --test-dir build-win --output-on-failure --timeout 300 -j2
    # --- end Windows -------------------------------------------------------------
    ;;
# --- Windows: the portable release zip ---------------------------------------
zip)
    install_missing "${zip_packages[@]}"
    build build-win-release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release -DTSUMUGIYA_BUILD_TESTS=OFF
    cmake --build build-win-release --target win-zip
    ls -l build-win-release/Tsumugiya-*-win64.zip
    ;;
# --- end Windows ---------------------------------------------------------------
*)
    echo "usage: $0 start|test|zip" >&2
    exit 2
    ;;
esac
