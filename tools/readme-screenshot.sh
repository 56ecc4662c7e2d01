#!/usr/bin/env bash
# Takes the README's picture of the tsumugiya window: a throwaway program
# folder with a save file and a few backups, the window on a private Xvfb
# display, and a PNG cropped to the window. Builds nothing itself.
#
# Usage: tools/readme-screenshot.sh [TSUMUGIYA [TSUMUGIYA-SCREENSHOT [OUT.png]]]
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=${1:-$repo/build/ui/tsumugiya}
shooter=${2:-$repo/build/tools/screenshot/tsumugiya-screenshot}
out=${3:-$repo/docs/screenshot.png}

fail() {
    printf 'readme-screenshot: %s\n' "$*" >&2
    exit 1
}
# shellcheck source=SCRIPTDIR/../tests/smoke/xvfb-session.sh
source "$repo/tests/smoke/xvfb-session.sh"
# shellcheck source=SCRIPTDIR/readme-backups.sh
source "$repo/tools/readme-backups.sh"

for tool in "$program" "$shooter"; do
    [[ -f $tool && -x $tool ]] || fail "not an executable file: $tool (build it first)"
done
for tool in Xvfb xdotool fc-list; do
    command -v "$tool" >/dev/null || fail "$tool is not on PATH"
done
# Without a Japanese font every caption and memo would come out as boxes.
[[ -n $(fc-list :lang=ja family) ]] || fail "no Japanese font installed (fonts-ipafont-gothic)"

# Fixed zone and language, so that the names and their order never depend on
# the machine taking the picture.
export TZ=JST-9 LANG=C.UTF-8 LC_ALL=C.UTF-8

make_work tsumugiya-readme

# --- a program folder as a player would have it after an evening ----------
# The settings name a save file where a game would keep it, so that the
# picture shows no temporary path and comes out the same on every run; the
# window only shows that path and reads nothing from it until a command runs.
app_dir=$work/app
mkdir -p "$app_dir/backup" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
cp "$program" "$app_dir/tsumugiya"
printf '[SaveFile]\nfolder=%s\nfilename=%s\n' /home/player/.local/share/SomeGame slot1.dat \
    >"$app_dir/tsumugiya.ini"

readme_backups "$app_dir/backup"

# --- X server and the window ---------------------------------------------
start_xvfb fail

(
    cd "$work"
    exec env -u WAYLAND_DISPLAY -u SESSION_MANAGER -u QT_QPA_PLATFORMTHEME \
        QT_QPA_PLATFORM=xcb "$app_dir/tsumugiya"
) >"$work/app.log" 2>&1 &
app_pid=$!

window=
find_window() {
    kill -0 "$app_pid" 2>/dev/null || fail "tsumugiya ended early: $(cat "$work/app.log")"
    window=$(xdotool search --onlyvisible --name '^Tsumugiya$' 2>/dev/null | head -n 1)
    [[ -n $window ]]
}
wait_for 20 "visible tsumugiya window" find_window
eval "$(xdotool getwindowgeometry --shell "$window")" # sets X Y WIDTH HEIGHT

# A memo half typed, as it would be just before pressing Enter. The memo field
# sits at a fixed place in the layout, which scales with the window.
timeout 10 xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" $((WIDTH * 263 / 443)) $((HEIGHT * 27 / 349)) click 1
xdotool type --delay 20 'ラスボス直前'
xdotool mousemove 1023 767 # no hover highlight in the picture

# Painted once two shots in a row come out the same.
shot=$work/shot.png
previous=$work/previous.png
settled() {
    "$shooter" "$shot" "$X" "$Y" "$WIDTH" "$HEIGHT" || fail "the screenshot tool failed"
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
