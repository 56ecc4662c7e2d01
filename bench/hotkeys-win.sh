#!/usr/bin/env bash
# What the global hotkeys cost Tsumugiya.exe, under Wine on a private Xvfb:
#   - CPU ticks (utime + stime in /proc/PID/stat) of its Wine process over
#     IDLE seconds with the hotkeys on: nothing polls, so the target is 0;
#   - peak RSS (VmHWM) with the hotkeys on against the same start with
#     [Hotkeys] enabled=0, and after each key was pressed once with the cues
#     on against the same keys pressed with the cues off: target at most
#     +1 MiB each. Both pressed runs ran the same three commands, so their
#     difference is the cues' own cost; the row with the cues off against
#     enabled=0 is shown for reference and holds the commands' own cost.
#
#   bench/hotkeys-win.sh [PATH/TO/Tsumugiya.exe]   (default: <repo>/build-win/win/Tsumugiya.exe)
#
# Environment (optional): IDLE=60 seconds of idle. Exit status: 0 whether or
# not the targets are met, 2 the run itself failed.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=${1:-$REPO/build-win/win/Tsumugiya.exe}
IDLE=${IDLE:-60}
RSS_TARGET_KIB=1024

fail() {
    printf 'hotkeys-win: %s\n' "$*" >&2
    exit 2
}
skip() { fail "$@"; }
# shellcheck source=SCRIPTDIR/../tests/smoke/xvfb-session.sh
source "$REPO/tests/smoke/xvfb-session.sh"
# shellcheck source=SCRIPTDIR/../tests/smoke-win/wine-session.sh
source "$REPO/tests/smoke-win/wine-session.sh"
[[ -f $program ]] || fail "no $program; build the build-win tree's Tsumugiya target first"
export LANG=C.UTF-8 LC_ALL=C.UTF-8

make_work tsumugiya-hotkeys-bench
trap 'stop_wine; cleanup' EXIT
mkdir -p "$work/game" "$work/cwd"
printf 'STATE\n' >"$work/game/slot1.dat"
start_xvfb fail
start_wine fail

# run ENABLED SOUND: starts a fresh copy of the program with these [Hotkeys]
# values and waits for its window; app_pid is its Wine process.
run() {
    app=$work/app$1$2
    mkdir -p "$app"
    cp "$program" "$app/Tsumugiya.exe"
    printf '[SaveFile]\r\nfolder=%s\r\nfilename=slot1.dat\r\n[Hotkeys]\r\nenabled=%s\r\nsound=%s\r\n' \
        "$(wine_path "$work/game")" "$1" "$2" >"$app/Tsumugiya.ini"
    (cd "$work/cwd" && exec "$wine" "$app/Tsumugiya.exe") >"$work/app$1$2.log" 2>&1 &
    app_pid=$!
    local deadline=$(($(now_ms) + 30000))
    until [[ -n $(xdotool search --onlyvisible --name '^Tsumugiya$' 2>/dev/null) ]]; do
        (($(now_ms) < deadline)) || fail "no window with enabled=$1"
        sleep 0.1
    done
    sleep 3  # the list filled, the first paint over
}
stop() {
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=
}
ticks() { awk '{print $14 + $15}' "/proc/$app_pid/stat"; }
peak_kib() { awk '/^VmHWM:/{print $2}' "/proc/$app_pid/status"; }

# press_each: each key once, with a Wine window in front (Wine's X11 driver
# gives RegisterHotKey's keys only to a Wine window's process).
press_each() {
    local notepad front deadline=$(($(now_ms) + 30000))
    "$wine" notepad >/dev/null 2>&1 &
    notepad=$!
    until front=$(xdotool search --onlyvisible --name '^Untitled - Notepad$' 2>/dev/null); do
        (($(now_ms) < deadline)) || fail "no Notepad"
        sleep 0.1
    done
    xdotool windowfocus --sync "$front"
    for key in ctrl+F5 ctrl+F6 ctrl+F9; do
        xdotool key "$key"
        sleep 2
    done
    [[ -f $app/backup/slot1.dat.save.temp ]] || fail "the hotkeys did nothing"
    kill "$notepad" 2>/dev/null || true
    wait "$notepad" 2>/dev/null || true
}

run 0 1
off_kib=$(peak_kib)
stop

run 1 0
quiet_on_kib=$(peak_kib)
press_each
quiet_kib=$(peak_kib)
stop

run 1 1
on_kib=$(peak_kib)
before=$(ticks)
sleep "$IDLE"
idle_ticks=$(($(ticks) - before))
press_each
pressed_kib=$(peak_kib)
stop

verdict() { if (($1)); then echo PASS; else echo MISS; fi; }
printf '%-48s %10s %8s\n' case value target
printf '%-48s %10s %8s %s\n' "CPU ticks over ${IDLE} s idle, hotkeys on" "$idle_ticks" 0 \
    "$(verdict "idle_ticks == 0")"
printf '%-48s %7s KiB\n' "peak RSS, enabled=0" "$off_kib"
printf '%-48s %7s KiB %8s %s\n' "peak RSS, hotkeys on ($(printf %+d $((on_kib - off_kib))) KiB)" "$on_kib" \
    "+1 MiB" "$(verdict "on_kib - off_kib <= $RSS_TARGET_KIB")"
printf '%-48s %7s KiB\n' "peak RSS, hotkeys on, sound=0 ($(printf %+d $((quiet_on_kib - off_kib))) KiB)" \
    "$quiet_on_kib"
printf '%-48s %7s KiB\n' "peak RSS, each key pressed, sound=0 ($(printf %+d $((quiet_kib - off_kib))) KiB)" \
    "$quiet_kib"
printf '%-48s %7s KiB %8s %s\n' \
    "  same, sound=1 ($(printf %+d $((pressed_kib - quiet_kib))) KiB on sound=0)" "$pressed_kib" \
    "+1 MiB" "$(verdict "pressed_kib - quiet_kib <= $RSS_TARGET_KIB")"
