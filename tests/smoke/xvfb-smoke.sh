#!/usr/bin/env bash
# The real tsumugiya window on a private Xvfb display, driven as a player
# would: Enter backs the save up by the focused button and the title says
# so; the global hotkeys back up, quick-back-up and restore while another
# client (xmessage) keeps the focus and no window appears; Esc ends the
# program. What the commands make, and how they name it, is the core suite's.
#
# Usage: xvfb-smoke.sh x11|portal PATH/TO/tsumugiya
#   x11     no session bus: the window grabs the keys on the X server.
#   portal  a private session bus with the stand-in portal beside this
#           script (portal-standin.py) and the notification recorder: the
#           keys come as the portal's Activated signal.
# Exits 0 on success, 1 on a fault, 77 (skipped) when Xvfb, or for the
# portal run a private bus or python3's D-Bus modules, is not there.
set -euo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=SCRIPTDIR/../support/report.sh
source "$here/../support/report.sh"
# shellcheck source=SCRIPTDIR/xvfb-session.sh
source "$here/xvfb-session.sh"

[[ $# -eq 2 && ($1 == x11 || $1 == portal) ]] || fail "usage: $0 x11|portal PATH/TO/tsumugiya"
mode=$1
command -v xmessage >/dev/null || fail "xmessage is not on PATH (Debian package x11-utils)"
if [[ $mode == portal ]]; then
    command -v dbus-daemon >/dev/null || skip "dbus-daemon is not on PATH (Debian package dbus)"
    /usr/bin/python3 -c "import dbus, gi" 2>/dev/null || skip "python3-dbus or python3-gi is missing"
fi

command -v xdotool >/dev/null || fail "xdotool is not on PATH (Debian package xdotool)"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
make_work tsumugiya-smoke
app_label=tsumugiya app_dir=$work/app game_dir=$work/game
save=$game_dir/slot1.dat settings=$app_dir/tsumugiya.ini backups=$app_dir/backup
mkdir -p "$app_dir" "$game_dir" "$work/cwd" "$work/runtime"
chmod 700 "$work/runtime"
cp "$2" "$app_dir/tsumugiya"

# write_save TEXT SECONDS: the save with this content and modification time.
write_save() { printf '%s\n' "$1" >"$save" && touch -d "@$2" "$save"; }
write_save one 1700000000
printf '[SaveFile]\nfolder=%s\nfilename=slot1.dat\n[Hotkeys]\n%s\n' "$game_dir" \
    $'backup=Ctrl+F5\nquick=Ctrl+Alt+Q\nrestore=Ctrl+F9\nsound=0' >"$settings"

# Only a missing or broken X server skips; everything after it is tested.
start_xvfb skip

# --- the session bus: none, or a private one with the stand-ins ------------
if [[ $mode == portal ]]; then
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" \
        >"$work/bus.log" 2>&1 &
    helper_pids+=($!)
    wait_for 10 "private session bus address" grep -q . "$work/bus"
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
    export DBUS_SESSION_BUS_ADDRESS
    /usr/bin/python3 "$here/portal-standin.py" --log "$work/portal.log" >"$work/standin.out" 2>&1 &
    helper_pids+=($!)
    /usr/bin/python3 "$here/../cli/notify-listener.py" "$work/notes.log" >"$work/listener.out" 2>&1 &
    helper_pids+=($!)
    wait_for 10 "stand-in portal" grep -q ready "$work/standin.out"
    wait_for 10 "notification recorder" grep -q ready "$work/listener.out"
else
    # Not even an autolaunched bus: Qt would otherwise start one on the display.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
fi

# --- the other client, which must keep the focus ----------------------------
xmessage -name other -geometry +400+300 'the game' >/dev/null 2>&1 &
helper_pids+=($!)
find_other() { other=$(xdotool search --onlyvisible --classname '^other$' 2>/dev/null | head -n1); }
wait_for 10 "xmessage window" find_other

# In $work/cwd, away from any desktop session of the machine's.
(
    cd "$work/cwd" || exit
    exec env -u WAYLAND_DISPLAY -u SESSION_MANAGER -u QT_QPA_PLATFORMTHEME \
        QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" "$app_dir/tsumugiya"
) >>"$work/app.log" 2>&1 &
app_pid=$!
find_window() {
    app_must_run "its window"
    window=$(xdotool search --onlyvisible --name '^Tsumugiya$' 2>/dev/null | head -n1)
    [[ -n $window ]]
}
wait_for 20 "visible window titled Tsumugiya" find_window
[[ $mode == x11 ]] || wait_for 10 "BindShortcuts at the stand-in portal" grep -q BindShortcuts "$work/portal.log"

# No window manager: focus is given by hand.
focus() { timeout 10 xdotool windowfocus --sync "$1" || fail "could not focus $2"; }
backup_names() { find "$backups" -mindepth 1 -maxdepth 1 ! -name '.*' -printf '%f\n' | sort; }
count_is() { app_must_run "backups"; [[ $(backup_names | grep -c .) -eq $1 ]]; }

# --- Enter: the focused Backup button --------------------------------------------
focus "$window" "the window"
xdotool key Return
wait_for 10 "backup after Enter" count_is 1
first=$(backup_names)
wait_for 5 "the backup's name in the title" title_is "Tsumugiya : $first にバックアップ"

# --- the global keys, with the other client focused --------------------------
focus "$other" xmessage
toplevels() { xdotool search --onlyvisible --maxdepth 1 --name '' 2>/dev/null | sort; }
windows_before=$(toplevels)

# press ACTION CHORD: the hotkey, as the mode delivers it; then the focus and
# the windows on the screen must be as the player left them.
press() {
    if [[ $mode == portal ]]; then
        dbus-send --session --type=method_call --dest=org.freedesktop.portal.Desktop \
            /org/freedesktop/portal/desktop io.github.tsumugiya.Test.Activate "string:$1"
    else
        xdotool key --clearmodifiers "$2"
    fi
    local what=$3 focus
    shift 3
    wait_for 10 "$what after the $1 key" "$@"
    focus=$(xdotool getwindowfocus)
    [[ $focus == "$other" ]] || fail "after the $1 key the focus went to $focus ($(xdotool getwindowname "$focus" 2>/dev/null)), not xmessage $other"
    [[ $(toplevels) == "$windows_before" ]] || fail "after the $1 key the top-level windows changed:
$(diff <(printf '%s\n' "$windows_before") <(toplevels))
$(app_output)"
}

write_save two 1700000100
press backup ctrl+F5 "a second backup" count_is 2
write_save three 1700000200
press quick ctrl+alt+q "the quick backup" test -f "$backups/slot1.dat.save.temp"
write_save four 1700000300
restored() { app_must_run "the restore"; [[ $(cat "$save") == three ]]; }
press restore ctrl+F9 "the newest checkpoint (three) back in the save" restored

if [[ $mode == portal ]]; then
    noted() { [[ $(grep -c . "$work/notes.log" 2>/dev/null) -ge 3 ]]; }
    wait_for 10 "three notifications" noted
    grep -qF 'slot1.dat.save.temp にバックアップ' "$work/notes.log" ||
        fail "no notification of the quick backup:
$(cat "$work/notes.log")"
fi

# --- Esc: the program ends ----------------------------------------------------
focus "$window" "the window"
xdotool key Escape
exited() { ! alive "$app_pid"; }
wait_for 15 "tsumugiya to end after Escape" exited
status=0
wait "$app_pid" || status=$?
app_pid=
((status == 0)) || fail "tsumugiya exited with status $status after Escape
$(app_output)"
[[ -z $(ls -A "$work/cwd") ]] || fail "files written to the working folder: $(ls -A "$work/cwd")"

echo "PASS ($mode): Enter made $first; the keys backed up, quick-backed-up and restored with xmessage keeping the focus; Escape ended the program"
