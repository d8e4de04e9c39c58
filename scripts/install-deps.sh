#!/usr/bin/env bash
# Installs the Debian 12 packages that Quorvel's build, tests and run need, and only those that are
# missing: a machine that has them all is left untouched. With --check it only lists the missing.
set -euo pipefail

check_only=0
if [[ "${1:-}" == --check ]]; then
    check_only=1
fi

packages=(
    build-essential cmake ninja-build g++ pkg-config
    qt6-base-dev libcurl4-openssl-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang-format
    # The process tests: a virtual X server, a window manager, real key presses, and fonts to
    # draw the window with.
    xvfb xauth xdotool x11-utils openbox fonts-dejavu-core fonts-wqy-microhei
    # The Windows build: the cross compiler, and Wine to run its tests, with the caption font and
    # the locale data from which the tests compile the Chinese locale that Wine needs.
    g++-mingw-w64-x86-64 mingw-w64 wine wine64 fonts-wine locales
)

missing=()
for package in "${packages[@]}"; do
    # "ii " is the status of a package that is fully installed.
    if [[ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null)" != "ii "* ]]; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "install-deps: every package is installed"
    exit 0
fi
echo "install-deps: missing: ${missing[*]}"
if ((check_only)); then
    exit 0
fi

sudo=()
if ((EUID != 0)); then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q -o Dpkg::Use-Pty=0 "${missing[@]}"
echo "install-deps: installed ${#missing[@]} package(s)"
