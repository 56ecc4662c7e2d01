#!/usr/bin/env bash
# Takes the README's picture of Tsumugiya.exe: a throwaway program folder
# with a few backups, the window under Wine on a private Xvfb display, and a
# PNG cropped to the window by the Linux build's screenshot tool. Builds
# nothing itself.
#
# Usage: tools/readme-screenshot-windows.sh [Tsumugiya.exe [TSUMUGIYA-SCREENSHOT [OUT.png]]]
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=${1:-$repo/build-win/win/Tsumugiya.exe}
shooter=${2:-$repo/build/tools/screenshot/tsumugiya-screenshot}
out=${3:-$repo/docs/screenshot-windows.png}

fail() {
    printf 'readme-screenshot-windows: %s\n' "$*" >&2
    exit 1
}
# shellcheck source=SCRIPTDIR/../tests/smoke/xvfb-session.sh
source "$repo/tests/smoke/xvfb-session.sh"
# shellcheck source=SCRIPTDIR/readme-backups.sh
source "$repo/tools/readme-backups.sh"
# shellcheck source=SCRIPTDIR/../tests/smoke-win/wine-session.sh
source "$repo/tests/smoke-win/wine-session.sh"

[[ -f $program ]] || fail "no such file: $program (build it first)"
[[ -f $shooter && -x $shooter ]] || fail "not an executable file: $shooter (build it first)"
command -v xdotool >/dev/null || fail "xdotool is not on PATH"
export TZ=JST-9 LANG=C.UTF-8 LC_ALL=C.UTF-8

make_work tsumugiya-readme-windows
trap 'stop_wine; cleanup' EXIT

# --- a program folder as a player would have it after an evening ----------
app_dir=$work/app
mkdir -p "$app_dir/backup"
cp "$program" "$app_dir/Tsumugiya.exe"
printf '[SaveFile]\r\nfolder=%s\r\nfilename=%s\r\n' 'C:\Games\SomeGame' slot1.dat \
    >"$app_dir/Tsumugiya.ini"
readme_backups "$app_dir/backup"

start_xvfb fail
start_wine fail
(
    cd "$work"
    exec "$wine" "$app_dir/Tsumugiya.exe"
) >"$work/app.log" 2>&1 &
app_pid=$!

window=
find_window() {
    kill -0 "$app_pid" 2>/dev/null || fail "Tsumugiya.exe ended early: $(cat "$work/app.log")"
    window=$(xdotool search --onlyvisible --name '^Tsumugiya$' 2>/dev/null | head -n 1)
    [[ -n $window ]]
}
wait_for 30 "visible Tsumugiya window" find_window
eval "$(xdotool getwindowgeometry --shell "$window")" # sets X Y WIDTH HEIGHT

# A memo half typed, as it would be just before pressing Enter (three Tabs
# from the backup button). Wine: typed faster, xdotool's Japanese keys (each
# a keysym mapped for the moment) lose characters.
timeout 10 xdotool windowfocus --sync "$window"
xdotool key Tab Tab Tab
xdotool type --delay 120 'ラスボス直前'
xdotool mousemove 1023 767 # no hover highlight in the picture

shot=$work/shot.png
previous=$work/previous.png
settled() {
    QT_QPA_PLATFORM=xcb "$shooter" "$shot" "$X" "$Y" "$WIDTH" "$HEIGHT" 2>/dev/null ||
        fail "the screenshot tool failed"
    if [[ -f $previous ]] && cmp -s "$shot" "$previous"; then
        return 0
    fi
    mv "$shot" "$previous"
    sleep 0.3
    return 1
}
wait_for 20 "stable picture of the window" settled

mkdir -p "$(dirname "$out")"
cp "$shot" "$out.tmp"
mv "$out.tmp" "$out"
echo "wrote $out (${WIDTH}x${HEIGHT})"
