#!/usr/bin/env bash
# Runs Tsumugiya.exe under Wine on a private Xvfb display, in a throwaway
# Wine prefix, and drives it with the keyboard as a person would: Enter backs
# the save file up and the title says so for two seconds; a second Enter is
# refused in a box; 戻す asks before it touches the save; a memo typed in is
# the backup's; the About box opens from the system menu, and the automatic
# backups are turned on there (the title says so, and a save the game renames
# over is backed up) and off again; the global hotkeys back up, make the quick
# backup and go back while another program keeps the focus, and ホットキー…
# in the system menu moves one; a save file that does not exist yet is picked
# once the file dialog has asked; フォルダーを開く opens the backup folder; Esc
# writes the settings file. What the dialog shows inside (tips, the memo's
# balloon) is the Windows dialog suite's.
#
# Usage: wine-smoke.sh PATH/TO/Tsumugiya.exe
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

[[ $# -eq 1 && -f $1 ]] || fail "usage: $0 PATH/TO/Tsumugiya.exe"
command -v xdotool >/dev/null || fail "xdotool is not on PATH (Debian package xdotool)"
# Wine maps Linux names and arguments through the locale's charset, so
# Japanese needs a UTF-8 locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
make_work tsumugiya-wine-smoke
trap 'stop_wine; cleanup' EXIT
app_label=Tsumugiya.exe
app_dir=$work/app game_dir=$work/game
save=$game_dir/slot1.dat settings=$app_dir/Tsumugiya.ini
mkdir -p "$app_dir" "$game_dir" "$work/cwd"
cp "$1" "$app_dir/Tsumugiya.exe"
printf 'TSUMUGIYA SMOKE\n' >"$save"
touch -d @1710018249 "$save"
printf '[SaveFile]\r\nfolder=%s\r\nfilename=slot1.dat\r\n[AutoBackup]\r\nsettle=0.2\r\n' \
    "$(wine_path "$game_dir")" >"$settings"
# Aged, so that the rewrite on exit shows even though nothing changed.
touch -d @1000000000 "$settings"
started=$(date +%s) started_ms=$(now_ms)
start_xvfb skip
start_wine skip
(
    cd "$work/cwd" || exit
    exec "$wine" "$app_dir/Tsumugiya.exe"
) >"$work/app.log" 2>&1 &
app_pid=$!
# windows_named TITLE: the visible windows of exactly that title.
windows_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }
find_window() {
    app_must_run "its window"
    window=$(windows_named Tsumugiya)
    [[ -n $window ]]
}
wait_for 30 'visible window titled "Tsumugiya"' find_window
[[ $(wc -l <<<"$window") -eq 1 ]] || fail "more than one window titled Tsumugiya: $window"
timeout 10 xdotool windowfocus --sync "$window" || fail "could not focus the window
$(app_output)"

# others: the titles of the visible windows besides the main one and the
# program in front (below), sorted. Wine shows its own tray window for the
# notification icon where no desktop tray runs.
front=
others() {
    local w
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        [[ $w == "$window" || $w == "$front" ]] || xdotool getwindowname "$w" 2>/dev/null
    done | grep -vx 'Wine System Tray' | sort | paste -sd' '
}
# others_are TITLES: exactly these other windows are up.
others_are() {
    app_must_run "the windows $1"
    [[ $(others) == "$1" ]]
}
# backup_count [GLOB]: how many entries of the backup folder are named so (a
# copy in progress, in a temporary file, is none).
backup_count() { find "$app_dir/backup" -maxdepth 1 -name "${1:-slot1.dat.save.*}" | wc -l; }
# backups_are N [GLOB]: the backup folder holds N entries named so.
backups_are() {
    app_must_run "backup number $1 ${2:-}"
    (($(backup_count "${2:-}") == $1))
}
# to_front: the main window in front, with the focus. Wine: the X focus alone
# does not bring a window of another process to the front; a click on its
# caption does, at the right end, which Notepad (at the screen's top left,
# narrower) leaves uncovered.
to_front() {
    local x y w
    read -r x y w < <(xdotool getwindowgeometry --shell "$window" |
        awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} END{print x, y, w}')
    xdotool mousemove $((x + w - 120)) $((y + 8)) click 1
    timeout 10 xdotool windowfocus --sync "$window"
}
# system_menu KEYS: the system menu's item that KEYS reach from its end. Wine
# adds "About Wine" above the program's items.
system_menu() {
    xdotool key alt+space
    sleep 0.3
    xdotool key "$@" Return
}

# --- Enter at start: a timestamped backup --------------------------------
pressed=$(now_ms)
xdotool key Return
wait_for 10 "a backup after Enter" backups_are 1
name=$(basename "$app_dir"/backup/slot1.dat.save.*)
[[ $name == slot1.dat.save.*_ ]] || fail "Enter made a backup named $name"
expect_title "$pressed" "Tsumugiya : $name にバックアップ"

# --- a second Enter: the name is taken, a box captioned Tsumugiya says so --
xdotool key Return
wait_for 10 "a message box captioned Tsumugiya after the second Enter" others_are Tsumugiya
backups_are 1 || fail "the second Enter changed the backups"
xdotool key Return
wait_for 10 "the message box to close" others_are ""

# --- 戻す (Tab from the backup button): asked first, then restored ----------
printf 'LATER STATE\n' >"$save"
xdotool key Tab Return
wait_for 10 "the restore question" others_are Tsumugiya
pressed=$(now_ms)
xdotool key Return
expect_title "$pressed" "Tsumugiya :  選択ファイルをロード"

# --- the memo (two Tabs on), then back to the backup button -----------------
xdotool key Tab Tab
xdotool type --delay 50 'a:b'
xdotool key shift+Tab shift+Tab shift+Tab Return
wait_for 10 "backup ${name}ab (memo a:b without the colon)" backups_are 1 "${name}ab"
wait_for 10 'plain title "Tsumugiya" after the memo backup' title_is Tsumugiya

# --- About from the system menu ------------------------------------------
# Wine: the access key of "About Wine" is also A, so the item is reached as
# the menu's last one.
system_menu Up
wait_for 10 "the About box from the system menu" others_are 'Tsumugiyaのﾊﾞｰｼﾞｮﾝ情報'
xdotool key Escape
wait_for 10 "the About box to close on Esc" others_are ""

# --- 自動バックアップ: the third item from the end of the system menu ---------
system_menu Up Up Up
wait_for 10 'the title "Tsumugiya [自動]"' title_is 'Tsumugiya [自動]'
# The game writes a new state beside the save and renames it over the save.
# (The state before is a backup's already: none is added for it.)
printf 'STATE B\n' >"$game_dir/slot1.dat.tmp"
mv "$game_dir/slot1.dat.tmp" "$save"
wait_for 10 "automatic backup of the rewritten save" backups_are 1 'slot1.dat.save.*_自動'
system_menu Up Up Up
wait_for 10 'the title "Tsumugiya" again' title_is Tsumugiya

# --- the global hotkeys, pressed while another program has the focus --------
# Wine: its X11 driver does not grab RegisterHotKey's keys from the X server,
# so a key reaches the program only while a Wine window has the focus; the
# program in front is Wine's Notepad, not an X client of its own.
"$wine" notepad >"$work/notepad.log" 2>&1 &
find_front() {
    front=$(windows_named 'Untitled - Notepad')
    [[ -n $front ]]
}
wait_for 30 "Wine's Notepad" find_front
timeout 10 xdotool windowfocus --sync "$front" || fail "could not focus Notepad"
# press KEY WHAT CHECK...: the key, pressed with Notepad in front, does what
# CHECK waits for; the focus stays and no window is added.
press() {
    local key=$1 what=$2
    shift 2
    xdotool key "$key"
    wait_for 10 "$what after $key" "$@"
    [[ $(xdotool getwindowfocus) == "$front" ]] ||
        fail "$key took the focus to \"$(xdotool getwindowfocus getwindowname)\""
    [[ -z $(others) ]] || fail "$key showed $(others)
$(app_output)"
}
press ctrl+F5 "a timestamped backup" backups_are $(($(backup_count) + 1))
press ctrl+F6 "the quick backup" backups_are 1 slot1.dat.save.temp
printf 'STATE C\n' >"$save"
touch -d @1710100000 "$save"
press ctrl+F9 "the newest checkpoint restored" grep -qx 'STATE B' "$save"

# --- ホットキー…, the second item from the end of the system menu, moves the
# backup to Ctrl+F7 -----------------------------------------------------------
to_front
system_menu Up Up
wait_for 10 "the hotkeys dialog from the system menu" others_are 'ホットキー'
# The first control has the focus: the key pressed is the key it takes.
xdotool key ctrl+F7 Return
wait_for 10 "the hotkeys dialog to close on OK" others_are ""
printf 'STATE D\n' >"$save"
touch -d @1710100100 "$save"
count=$(backup_count)
xdotool key ctrl+F7
wait_for 10 "a backup by Ctrl+F7" backups_are $((count + 1))

# --- saveファイル選択 (seven Tabs from the backup button): a name that does
# not exist yet ---------------------------------------------------------------
xdotool key Tab Tab Tab Tab Tab Tab Tab Return
wait_for 10 "the file dialog" others_are Open
xdotool type --delay 30 slot2.dat
xdotool key Return
# Wine captions the question "Error".
wait_for 10 "the file dialog's question for a file that is not there" others_are "Error Open"
xdotool key Return
wait_for 10 "the file dialog to close on yes" others_are ""
[[ ! -e $game_dir/slot2.dat ]] || fail "picking slot2.dat created it"

# --- フォルダーを開く (the Tab before): the shell opens the backup folder
# (Wine: in its explorer, titled with the folder's name) ----------------------
xdotool key shift+Tab Return
wait_for 15 'a window of the backup folder' others_are backup
timeout 10 xdotool windowfocus --sync "$(windows_named backup)" key alt+F4
wait_for 10 "the backup folder's window to close" others_are ""

# --- Esc: the program ends and writes its settings ------------------------
to_front
xdotool key Escape
exited() { ! alive "$app_pid"; }
wait_for 15 "Tsumugiya.exe to end after Esc" exited
wait "$app_pid" || fail "Tsumugiya.exe exited with status $? after Esc
$(app_output)"
app_pid=
(($(stat -c %Y "$settings") >= started)) || fail "settings file not rewritten on exit"
tr -d '\r' <"$settings" | grep -qFx filename=slot2.dat || fail "settings file lacks the picked save:
$(cat "$settings")"

echo "PASS in $((($(now_ms) - started_ms) / 1000)) s: backup $name, refused again, restored after asking, memo a:b made _ab, About box, automatic backups on and off, Ctrl+F5, F6 and F9 with Notepad in front, the backup moved to Ctrl+F7, slot2.dat picked uncreated, backup folder opened, settings written"
