#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's own prefix, as the tests need it: 64-bit,
# quiet, and in code page 936 (the Chinese ANSI code page). scripts/wine-session.sh prepares the
# prefix and the display first.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build/wine-prefix}"
export WINEARCH=win64
# The Chinese locale, compiled by wine-session.sh into the build folder: Wine takes code page 936
# from its name and the encoding of file names from it.
export LOCPATH="${LOCPATH:-$root/build/locale}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree=;mshtml="
# Only Wine sees the Chinese locale; the host need not have it generated.
exec env LC_ALL=zh_CN.UTF-8 wine "$@"
