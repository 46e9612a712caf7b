#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run,
# and every tool its scripts call (python3 for the crash-consistency script,
# npm for the benchmark's peers), so that a minimal Debian needs nothing else.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
    build-essential cmake ninja-build pkg-config nlohmann-json3-dev \
    zlib1g-dev libgtest-dev libpng-dev imagemagick \
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 libz-mingw-w64-dev \
    wine wine64 xvfb xauth locales fonts-ipafont-gothic fonts-wine \
    clang libclang-rt-14-dev strace python3 \
    optipng zopfli parallel libzopfli-dev libdeflate-dev dpkg-dev gnuplot-nox lintian \
    libgif-dev apngasm apngopt gettext
# bench/run installs its npm peers under build/; a machine with a Node.js of
# its own keeps it.
command -v npm >/dev/null || $SUDO apt-get install -y --no-install-recommends npm

# Wine reads the ANSI code page and the UI language from the locale:
# ja_JP.UTF-8 gives code page 932 and a Japanese system, en_US.UTF-8 (the
# English runs of the desktop program) an English one.
missing_locale=0
for name in ja_JP en_US; do
    if ! locale -a 2>/dev/null | grep -qi "^$name\.utf8$"; then
        $SUDO sed -i "s/^# *\($name.UTF-8 UTF-8\)/\1/" /etc/locale.gen
        grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
        missing_locale=1
    fi
done
if [ "$missing_locale" = 1 ]; then
    $SUDO locale-gen
fi

# zopfli and libdeflate for the Windows builds, from Debian's source packages
# (cached under build/deps; the machine's apt sources stay as they are).
bash "$(dirname "${BASH_SOURCE[0]}")/build-windows-deps.sh"
