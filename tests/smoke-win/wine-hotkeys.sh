#!/usr/bin/env bash
# Runs Tsumugiya.exe under Wine on a private Xvfb display while another
# program has the focus, and presses its global hotkeys: Ctrl+F5 backs the
# save up, Ctrl+F6 makes the quick backup, Ctrl+F9 puts the newest
# checkpoint back without asking. The other program keeps the focus and no
# box appears. Then ホットキー… from the system menu moves the backup to
# Ctrl+F7, which then backs up.
#
# Wine: its X11 driver does not grab RegisterHotKey's keys from the X server,
# so a key reaches the program only while a Wine window has the focus; the
# program in front is Wine's Notepad, not an X client of its own.
#
# Usage: wine-hotkeys.sh PATH/TO/Tsumugiya.exe
# Exits 0 on success, 1 on a fault, 77 (skipped) only when Xvfb or Wine
# cannot start.
set -euo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=SCRIPTDIR/../support/report.sh
source "$here/../support/report.sh"
# shellcheck source=SCRIPTDIR/../smoke/xvfb-session.sh
source "$here/../smoke/xvfb-session.sh"
# shellcheck source=SCRIPTDIR/wine-session.sh
source "$here/wine-session.sh"

[[ $# -eq 1 ]] || fail "usage: $0 PATH/TO/Tsumugiya.exe"
prepare_program tsumugiya-wine-hotkeys "$1" 'STATE A' 1710000000
start_program

# The program in front: Wine's Notepad (see above).
"$wine" notepad >"$work/notepad.log" 2>&1 &
notepad_pid=$!
front=
find_front() {
    front=$(windows_named 'Untitled - Notepad')
    [[ -n $front ]]
}
wait_for 30 "Wine's Notepad" find_front
timeout 10 xdotool windowfocus --sync "$front" || fail "could not focus Notepad"

# The visible windows, sorted: a box would add one. Wine shows its own tray
# window for the notification icon where no desktop tray runs.
shown() {
    local w
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        [[ $(xdotool getwindowname "$w" 2>/dev/null) == 'Wine System Tray' ]] || echo "$w"
    done | sort | paste -sd' '
}
shown_before=$(shown)
# press KEY WHAT CHECK: the key, pressed with Notepad in front, does what
# CHECK waits for; the focus stays and no window is added.
press() {
    local key=$1 what=$2
    shift 2
    xdotool key "$key"
    wait_for 10 "$what after $key" "$@"
    [[ $(xdotool getwindowfocus) == "$front" ]] ||
        fail "$key took the focus to \"$(xdotool getwindowfocus getwindowname)\""
    [[ $(shown) == "$shown_before" ]] || fail "$key changed the windows: $(shown)
$(app_output)"
}
backups() { find "$app_dir/backup" -mindepth 1 -maxdepth 1 -name 'slot1.dat.save.*' | wc -l; }
has_backups() {
    app_must_run "backup number $1"
    (($(backups) == $1))
}
quick_made() {
    app_must_run "the quick backup"
    [[ -f $app_dir/backup/slot1.dat.save.temp ]]
}
save_is() {
    app_must_run "the save to hold $1"
    [[ $(cat "$save") == "$1" ]]
}

press ctrl+F5 "a timestamped backup" has_backups 1
grep -qx 'STATE A' "$app_dir"/backup/slot1.dat.save.2* || fail "the backup does not hold the save"
press ctrl+F6 "the quick backup" quick_made
printf 'STATE B\n' >"$save"
touch -d @1710000100 "$save"
press ctrl+F9 "the newest checkpoint restored" save_is 'STATE A'

# --- ホットキー…: the second-to-last item of the system menu (Wine adds its
# own "About Wine" above the program's items) --------------------------------
# Wine: the X focus alone does not bring a window of another process to the
# front; a click on its caption does, at the right end, which Notepad (at
# the screen's top left, narrower) leaves uncovered.
read -r x y w < <(xdotool getwindowgeometry --shell "$window" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} END{print x, y, w}')
xdotool mousemove $((x + w - 120)) $((y + 8)) click 1
timeout 10 xdotool windowfocus --sync "$window"
xdotool key alt+space
sleep 0.3
xdotool key Up Up Return
dialog=
dialog_up() {
    app_must_run "the hotkeys dialog"
    dialog=$(windows_named 'ホットキー')
    [[ -n $dialog ]]
}
wait_for 10 "the hotkeys dialog from the system menu" dialog_up
# The first control has the focus: the key pressed is the key it takes.
xdotool key ctrl+F7 Return
dialog_gone() {
    app_must_run "the hotkeys dialog to close"
    [[ -z $(windows_named 'ホットキー') ]]
}
wait_for 10 "the hotkeys dialog to close on OK" dialog_gone

timeout 10 xdotool windowfocus --sync "$front"
count=$(backups)
printf 'STATE C\n' >"$save"
touch -d @1710000200 "$save"
press ctrl+F7 "a backup by the changed key" has_backups $((count + 1))

kill "$notepad_pid" 2>/dev/null || true
echo "PASS: Ctrl+F5 backed up, Ctrl+F6 made the quick backup, Ctrl+F9 restored, with Notepad keeping the focus; the dialog moved the backup to Ctrl+F7, which works"
