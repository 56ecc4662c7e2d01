#!/usr/bin/env bash
# The real tsumugiya window's global hotkeys on a private Xvfb display, while
# another client (xmessage) has the focus: the keys back up, quick-back-up
# and restore, the other client keeps the focus and no window appears. Then,
# started again with other keys in its settings file, the new key works.
#
# Usage: xvfb-hotkeys.sh x11|portal PATH/TO/tsumugiya
#   x11     no session bus: the window grabs the keys on the X server.
#   portal  a private session bus with the stand-in portal beside this
#           script (portal-standin.py) and the notification recorder: the
#           keys come as the portal's Activated signal.
# Exits 0 on success, 1 on a fault, 77 (skipped) when Xvfb, or for the
# portal run a private bus or the stand-in, is not there.
set -euo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=SCRIPTDIR/../support/report.sh
source "$here/../support/report.sh"
# shellcheck source=SCRIPTDIR/xvfb-session.sh
source "$here/xvfb-session.sh"

[[ $# -eq 2 && ($1 == x11 || $1 == portal) ]] || fail "usage: $0 x11|portal PATH/TO/tsumugiya"
mode=$1
command -v xmessage >/dev/null || fail "xmessage is not on PATH (Debian package x11-utils)"
standin=$here/portal-standin.py
listener=$here/../cli/notify-listener.py
if [[ $mode == portal ]]; then
    [[ -f $standin ]] || skip "no stand-in portal at $standin yet"
    command -v dbus-daemon >/dev/null || skip "dbus-daemon is not on PATH (Debian package dbus)"
    /usr/bin/python3 -c "import dbus, gi" 2>/dev/null || skip "python3-dbus or python3-gi is missing"
fi

prepare_tsumugiya tsumugiya-hotkeys "$2"
helper_pids=()
stop_helpers() {
    local pid
    for pid in "${helper_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    # The cues' children outlive the window by their sound, in $work too.
    for _ in $(seq 100); do
        pgrep -f "$app_dir/tsumugiya --play-cue" >/dev/null || break
        sleep 0.1
    done
    cleanup
}
trap stop_helpers EXIT

backups=$app_dir/backup

# write_save TEXT SECONDS: the save with this content and modification time.
write_save() {
    printf '%s\n' "$1" >"$save"
    touch -d "@$2" "$save"
}
# settings HOTKEY_LINES...: the save file, then the [Hotkeys] section.
write_settings() {
    {
        printf '[SaveFile]\nfolder=%s\nfilename=slot1.dat\n[Hotkeys]\n' "$game_dir"
        printf '%s\n' "$@"
    } >"$settings"
}

start_xvfb skip

# --- the session bus: none, or a private one with the stand-ins ------------
if [[ $mode == portal ]]; then
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" \
        >"$work/bus.log" 2>&1 &
    helper_pids+=($!)
    wait_for 10 "private session bus address" grep -q . "$work/bus"
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
    export DBUS_SESSION_BUS_ADDRESS
    /usr/bin/python3 "$standin" --log "$work/portal.log" >"$work/standin.out" 2>&1 &
    helper_pids+=($!)
    /usr/bin/python3 "$listener" "$work/notes.log" >"$work/listener.out" 2>&1 &
    helper_pids+=($!)
    wait_for 10 "stand-in portal on the bus" dbus-send --session --print-reply \
        --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetNameOwner \
        string:org.freedesktop.portal.Desktop
    wait_for 10 "notification recorder" grep -q ready "$work/listener.out"
else
    # Not even an autolaunched bus: Qt would otherwise start one on the display.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
fi

# --- the other client, which must keep the focus ----------------------------
xmessage -name other -geometry +400+300 'the game' >/dev/null 2>&1 &
helper_pids+=($!)
other=
find_other() { other=$(xdotool search --onlyvisible --classname '^other$' 2>/dev/null | head -n1); }
wait_for 10 "xmessage window" find_other

toplevels() { xdotool search --onlyvisible --maxdepth 1 --name '' 2>/dev/null | sort; }

app_window=
start_app() {
    local binds=0
    [[ $mode == portal ]] && binds=$(grep -c BindShortcuts "$work/portal.log" || true)
    launch_tsumugiya
    find_app() {
        app_must_run "its window"
        app_window=$(xdotool search --onlyvisible --name '^Tsumugiya' 2>/dev/null | head -n1)
        [[ -n $app_window ]]
    }
    wait_for 20 "visible window titled Tsumugiya" find_app
    if [[ $mode == portal ]]; then
        bound() { (($(grep -c BindShortcuts "$work/portal.log" || true) > binds)); }
        wait_for 10 "BindShortcuts at the stand-in portal" bound
    fi
    # The other client takes the focus as a player's game has it.
    timeout 10 xdotool windowfocus --sync "$other" || fail "could not focus xmessage"
    windows_before=$(toplevels)
}

stop_app() {
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=
}

# press ACTION CHORD: the hotkey, as the mode delivers it.
press() {
    if [[ $mode == portal ]]; then
        dbus-send --session --type=method_call --dest=org.freedesktop.portal.Desktop \
            /org/freedesktop/portal/desktop io.github.tsumugiya.Test.Activate "string:$1"
    else
        xdotool key --clearmodifiers "$2"
    fi
}

# The focus and the windows on the screen as the player left them.
check_undisturbed() {
    local focus
    focus=$(xdotool getwindowfocus)
    [[ $focus == "$other" ]] || fail "after $1 the focus went to $focus ($(xdotool getwindowname "$focus" 2>/dev/null)), not xmessage $other"
    [[ $(toplevels) == "$windows_before" ]] || fail "after $1 the top-level windows changed:
$(diff <(printf '%s\n' "$windows_before") <(toplevels))
$(app_output)"
}

backup_names() { find "$backups" -mindepth 1 -maxdepth 1 ! -name '.*' -printf '%f\n' | sort; }
count_is() { app_must_run "backups"; [[ $(backup_names | grep -c .) -eq $1 ]]; }
title_has() { app_must_run "the title"; [[ $(xdotool getwindowname "$app_window") == *"$1"* ]]; }

# --- the three keys ---------------------------------------------------------
write_save one 1700000000
write_settings backup=Ctrl+F5 quick=Ctrl+F6 restore=Ctrl+F9
start_app

press backup ctrl+F5
wait_for 10 "backup after the backup key" count_is 1
first=$(backup_names)
[[ $first == slot1.dat.save.* && $(cat "$backups/$first") == one ]] || fail "the backup key made $first"
wait_for 5 "backup's name in the title" title_has "$first"
check_undisturbed "the backup key"

write_save two 1700000100
press quick ctrl+F6
wait_for 10 "quick backup after its key" test -f "$backups/slot1.dat.save.temp"
[[ $(cat "$backups/slot1.dat.save.temp") == two ]] || fail "the quick backup holds $(cat "$backups/slot1.dat.save.temp")"
check_undisturbed "the quick backup key"

write_save three 1700000200
press restore ctrl+F9
restored() { app_must_run "the restore"; [[ $(cat "$save") == two ]]; }
wait_for 10 "the newest checkpoint (two) back in the save" restored
check_undisturbed "the restore key"

if [[ $mode == portal ]]; then
    noted() { [[ $(grep -c . "$work/notes.log" 2>/dev/null) -ge 3 ]]; }
    wait_for 10 "three notifications" noted
    grep -q "\"Tsumugiya\", \"バックアップ\", \".*$first" "$work/notes.log" ||
        fail "no notification of the backup $first:
$(cat "$work/notes.log")"
fi
stop_app

# --- a key changed in the file ------------------------------------------------
write_settings backup= quick=Ctrl+Alt+Q restore=
start_app
write_save four 1700000300
press quick ctrl+alt+q
changed() { app_must_run "the changed key"; [[ $(cat "$backups/slot1.dat.save.temp") == four ]]; }
wait_for 10 "quick backup by its new key Ctrl+Alt+Q" changed
check_undisturbed "the changed key"
stop_app

echo "PASS ($mode): the keys backed up, quick-backed-up and restored with xmessage keeping the focus; a key changed in the file worked"
