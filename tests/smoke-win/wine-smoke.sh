#!/usr/bin/env bash
# Runs Tsumugiya.exe under Wine on a private Xvfb display, in a throwaway
# Wine prefix, and drives it with the keyboard as a person would: Enter backs
# the save file up and the title says so for two seconds; a second Enter is
# refused in a box; 戻す asks before it touches the save; a memo loses the
# character no file name can hold, and a balloon says so; the About box opens
# from the system menu, and its size and the main window's agree with the
# layouts; the mouse resting on a backup name the list cuts off shows it
# whole, on one that fits shows nothing, on the save path shows the path;
# フォルダーを開く opens the backup folder; a save file that does not exist
# yet is picked once the file dialog has asked; Esc writes the settings file.
#
# Usage: wine-smoke.sh PATH/TO/Tsumugiya.exe [SCREENSHOT-TOOL OUT.png]
# With a screenshot tool (tools/screenshot) it also saves a picture of the
# window. Exits 0 on success, 1 on a fault, 77 (skipped) only when Xvfb or
# Wine cannot start.
set -euo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=SCRIPTDIR/../support/report.sh
source "$here/../support/report.sh"
# shellcheck source=SCRIPTDIR/../smoke/xvfb-session.sh
source "$here/../smoke/xvfb-session.sh"
# shellcheck source=SCRIPTDIR/wine-session.sh
source "$here/wine-session.sh"

[[ $# -eq 1 || $# -eq 3 ]] || fail "usage: $0 PATH/TO/Tsumugiya.exe [SCREENSHOT-TOOL OUT.png]"
shooter=${2:-}
picture=${3:-}

# The save is older than the long name below, which lists first.
prepare_program tsumugiya-wine-smoke "$1" 'TSUMUGIYA SMOKE' 1710018249
started_ms=$(now_ms)
# Aged, so that the rewrite on exit shows even though nothing changed.
touch -d @1000000000 "$settings"
started=$(date +%s)
start_program
timeout 10 xdotool windowfocus --sync "$window" || fail "could not focus the window
$(app_output)"

# A copy in progress (its temporary file) is no backup yet.
backup_names() {
    find "$app_dir/backup" -mindepth 1 -maxdepth 1 ! -name '.tsumugiya-*' -printf '%f\n' | sort
}
# tips: the visible windows of the program that have no title (tooltips).
tips() {
    local w
    for w in $(xdotool search --onlyvisible --classname '^tsumugiya\.exe$' 2>/dev/null); do
        [[ -n $(xdotool getwindowname "$w" 2>/dev/null) ]] || echo "$w"
    done
}
tip_shown() {
    app_must_run "a tooltip"
    tip=$(tips)
    [[ -n $tip ]]
}
no_tip() {
    app_must_run "the tooltip to go"
    [[ -z $(tips) ]]
}
# others: the titles of the visible windows besides the main one, sorted.
others() {
    local w
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        [[ $w == "$window" ]] || xdotool getwindowname "$w" 2>/dev/null
    done | sort | paste -sd' '
}
# others_are TITLES: exactly these other windows are up.
others_are() {
    app_must_run "the windows $1"
    [[ $(others) == "$1" ]]
}

# --- Enter at start: a timestamped backup --------------------------------
[[ -z $(ls -A "$app_dir/backup") ]] || fail "backup folder not empty before any backup"
pressed=$(now_ms)
xdotool key Return
backup_appeared() {
    app_must_run "the backup"
    [[ -n $(backup_names) ]]
}
wait_for 10 "a backup after Enter" backup_appeared
name=$(backup_names)
[[ $name == slot1.dat.save.*_ ]] || fail "Enter made other than one backup: $name"
expect_title "$pressed" "Tsumugiya : $name にバックアップ"

# --- a second Enter: the name is taken, a box captioned Tsumugiya says so --
xdotool key Return
wait_for 10 "a message box captioned Tsumugiya after the second Enter" others_are Tsumugiya
[[ $(backup_names) == "$name" ]] || fail "the second Enter changed the backups: $(backup_names)"
xdotool key Return
wait_for 10 "the message box to close" others_are ""

# --- 戻す (Tab from the backup button): asked first, then restored ----------
printf 'LATER STATE\n' >"$save"
cp -p "$save" "$work/later"
xdotool key Tab Return
wait_for 10 "the restore question" others_are Tsumugiya
cmp -s "$save" "$work/later" || fail "the save changed before the question was answered"
pressed=$(now_ms)
xdotool key Return
expect_title "$pressed" "Tsumugiya :  選択ファイルをロード"

# --- the memo (two Tabs on): ':' cannot go into a file name and is dropped -
# A backup whose name the list cuts off, listed first (newest) from the
# refresh after the memo backup.
long_name=${name}城の前で全員の準備が整ったところ、宿屋に泊まる前、宝箱を開ける前の記録
touch -d @1710200000 "$app_dir/backup/$long_name"
xdotool key Tab Tab
xdotool type --delay 50 'a:b'
wait_for 5 "a balloon saying why ':' was left out" tip_shown
xdotool key shift+Tab
wait_for 5 "the balloon to go with the focus" no_tip
xdotool key shift+Tab shift+Tab Return
memo_backup=${name}ab
memo_backup_made() {
    app_must_run "the memo backup"
    [[ -f $app_dir/backup/$memo_backup ]]
}
wait_for 10 "backup $memo_backup (memo a:b without the colon)" memo_backup_made
wait_for 10 'plain title "Tsumugiya" after the memo backup' title_is Tsumugiya

# --- About from the system menu ------------------------------------------
# Wine: its system menu adds "About Wine", whose access key is also A, so
# the item is reached as the menu's last one.
about_title='Tsumugiyaのﾊﾞｰｼﾞｮﾝ情報'
about=
about_up() {
    app_must_run "the About box"
    about=$(windows_named "$about_title")
    [[ -n $about ]]
}
xdotool key alt+space
sleep 0.3
xdotool key Up Return
wait_for 10 "the About box from the system menu" about_up

# Both windows are drawn in the same face and size, so they share dialog
# base units and frame: the main window must be 443 x 349 dialog units where
# the About box is 235 x 55 (the stand-in fonts make the units differ from
# Windows', so the sizes are compared, not the pixels).
size_of() { xdotool getwindowgeometry --shell "$1" | awk -F= '/^(WIDTH|HEIGHT)=/{printf "%s ", $2}'; }
read -r main_w main_h <<<"$(size_of "$window")"
read -r about_w about_h <<<"$(size_of "$about")"
size_report=$(awk -v mw="$main_w" -v mh="$main_h" -v aw="$about_w" -v ah="$about_h" 'BEGIN {
    bx = int(4 * (mw - aw) / (443 - 235) + 0.5); by = int(8 * (mh - ah) / (349 - 55) + 0.5)
    fw = mw - int(443 * bx / 4 + 0.5); fa = aw - int(235 * bx / 4 + 0.5)
    fh = mh - int(349 * by / 8 + 0.5); fb = ah - int(55 * by / 8 + 0.5)
    ok = bx > 0 && by > 0 && fw - fa <= 1 && fa - fw <= 1 && fh - fb <= 1 && fb - fh <= 1 &&
         fw >= 0 && fw <= 20 && fh >= 10 && fh <= 60
    printf "%s base units %dx%d, frame %dx%d (About %dx%d)\n%d %d %d %d\n", ok ? "ok" : "bad",
           bx, by, fw, fh, fa, fb, bx, by, fw, fh
}')
read -r base_x base_y frame_w frame_h <<<"$(tail -n 1 <<<"$size_report")"
size_report=$(head -n 1 <<<"$size_report")
[[ $size_report == ok* ]] ||
    fail "main ${main_w}x${main_h} and About ${about_w}x${about_h} pixels are not 443x349 and 235x55 dialog units of one font: $size_report"

xdotool key Escape
wait_for 10 "the About box to close on Esc" others_are ""

# --- the mouse: tooltips ----------------------------------------------------
read -r win_x win_y < <(xdotool getwindowgeometry --shell "$window" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}')
# point DX DY: the screen pixel at dialog units DX, DY of the client area.
point() {
    echo $((win_x + frame_w / 2 + $1 * base_x / 4)) $((win_y + frame_h - frame_w / 2 + $2 * base_y / 8))
}
# rest_on DX DY: the mouse comes to rest there, from just beside it.
rest_on() {
    local x y
    read -r x y <<<"$(point "$1" "$2")"
    xdotool mousemove $((x - 3)) $((y - 2)) sleep 0.1 mousemove "$x" "$y"
}
# The first entry (the list's top is at 138 units), cut off by the list's
# right edge (418 units wide): the tip names it whole, so it is wider.
rest_on 60 141
wait_for 5 "a tooltip on the cut-off backup name" tip_shown
read -r tip_w < <(xdotool getwindowgeometry --shell "$tip" | awk -F= '/^WIDTH=/{print $2}')
((tip_w > 418 * base_x / 4)) || fail "the tooltip on $long_name is only $tip_w pixels wide"
if [[ -n $shooter ]]; then
    read -r x y w h < <(xdotool getwindowgeometry --shell "$window" |
        awk -F= '/^[XY]=/{v[$1]=$2} /^WIDTH=/{v["W"]=$2} /^HEIGHT=/{v["H"]=$2}
                 END{print v["X"], v["Y"], v["W"], v["H"]}')
    QT_QPA_PLATFORM=xcb "$shooter" "$picture" "$x" "$y" "$w" "$h" 2>/dev/null ||
        fail "could not take the picture"
fi
# The second entry fits: no tip, however long the mouse rests.
rest_on 60 153
wait_for 5 "the tooltip to go from the second entry" no_tip
sleep 1
no_tip || fail "a tooltip on a backup name that fits"
rest_on 200 334
wait_for 5 "a tooltip on the save path" tip_shown

# --- フォルダーを開く: the shell opens the backup folder (Wine: in its
# explorer, titled with the folder's name) ----------------------------------
read -r x y <<<"$(point 295 116)"
xdotool mousemove "$x" "$y" click 1
wait_for 15 'a window of the backup folder' others_are backup
timeout 10 xdotool windowfocus --sync "$(windows_named backup)" key alt+F4
wait_for 10 "the backup folder's window to close" others_are ""

# --- saveファイル選択: a name that does not exist yet, confirmed --------------
timeout 10 xdotool windowfocus --sync "$window"
read -r x y <<<"$(point 34 328)"
xdotool mousemove "$x" "$y" click 1
wait_for 10 "the file dialog" others_are Open
xdotool type --delay 30 slot2.dat
xdotool key Return
# Wine captions the question "Error".
wait_for 10 "the file dialog's question for a file that is not there" others_are "Error Open"
xdotool key Return
wait_for 10 "the file dialog to close on yes" others_are ""
[[ ! -e $game_dir/slot2.dat ]] || fail "picking slot2.dat created it"

# --- Esc: the program ends and writes its settings ------------------------
timeout 10 xdotool windowfocus --sync "$window"
xdotool key Escape
exited() { ! alive "$app_pid"; }
wait_for 15 "Tsumugiya.exe to end after Esc" exited
status=0
wait "$app_pid" || status=$?
app_pid=
((status == 0)) || fail "Tsumugiya.exe exited with status $status after Esc
$(app_output)"
(($(stat -c %Y "$settings") >= started)) || fail "settings file not rewritten on exit"
tr -d '\r' <"$settings" | grep -qFx filename=slot2.dat || fail "settings file lacks the picked save:
$(cat "$settings")"

echo "PASS in $((($(now_ms) - started_ms) / 1000)) s: backup $name, refused again, restored after asking, memo a:b made _ab with a balloon, About $about_w x $about_h beside $main_w x $main_h ($size_report), tips on a cut-off name ($tip_w px) and the path, backup folder opened, slot2.dat picked uncreated, settings written"
