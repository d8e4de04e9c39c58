#!/usr/bin/env bash
# Runs a command with Wine ready for the Windows build's tests: the project's prefix (made once),
# a virtual X display of its own, and one wineserver kept warm for the whole command.
#   bash scripts/wine-session.sh ctest --preset windows
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build/wine-prefix}"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="

# Code page 936 for Wine's ANSI functions, and UTF-8 file names on the host so that GBK names
# survive: Wine needs the zh_CN.UTF-8 locale, compiled here without touching the system.
export LOCPATH="$root/build/locale"
if [[ ! -d "$LOCPATH/zh_CN.UTF-8" ]]; then
    mkdir -p "$LOCPATH"
    localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8"
fi

cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    if [[ -n "${xvfb_pid:-}" ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -f "${display_file:-}"
}
trap cleanup EXIT

# The display: Xvfb picks a free number and writes it to the file.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$display_file" ]] && break
    sleep 0.1
done
[[ -s "$display_file" ]] || { echo "wine-session: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$display_file")"

if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "wine-session: making the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    env LC_ALL=zh_CN.UTF-8 wineboot --init >/dev/null 2>&1
    wineserver -w
    # Without a window manager Wine would wait on every window it hides; windows stay unmanaged.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    # The caption buttons are drawn with Marlett.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    wineserver -w
fi

wineserver -p
# Wine's own background processes start with the first program and live as long as the server.
# Started here, they hold no pipe of a test runner open, which would otherwise wait for them.
"$root/scripts/wine-run.sh" cmd /c exit </dev/null >/dev/null 2>&1 || true
"$@"
