#!/usr/bin/env bash
# Runs Tsumugiya.exe under Wine on a private Xvfb display, in a throwaway
# Wine prefix, and drives it with the keyboard as a person would: Enter backs
# the save file up under its modification time and the title says so for two
# seconds; a second Enter is refused in a box; 戻す with its question puts the
# backup back and keeps the save as .s; a memo loses the character no file
# name can hold; the About box opens from the system menu, and its size and
# the main window's agree with the layouts; Esc writes the settings file.
#
# Usage: wine-smoke.sh PATH/TO/Tsumugiya.exe [SCREENSHOT-TOOL OUT.png]
# With a screenshot tool (tools/screenshot) it also saves a picture of the
# window. Exits 0 on success, 1 on a fault, 77 (skipped) only when Xvfb or
# Wine cannot start.
set -euo pipefail

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
skip() {
    printf 'SKIP: %s\n' "$*" >&2
    exit 77
}
here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=SCRIPTDIR/../smoke/xvfb-session.sh
source "$here/../smoke/xvfb-session.sh"
# shellcheck source=SCRIPTDIR/wine-session.sh
source "$here/wine-session.sh"

[[ $# -eq 1 || $# -eq 3 ]] || fail "usage: $0 PATH/TO/Tsumugiya.exe [SCREENSHOT-TOOL OUT.png]"
program=$1
shooter=${2:-}
picture=${3:-}
[[ -f $program ]] || fail "no such file: $program"
command -v xdotool >/dev/null || fail "xdotool is not on PATH (Debian package xdotool)"

# Wine: it maps Linux names and arguments through the locale's charset, so
# Japanese needs a UTF-8 locale. The zone has no summer time, and the save
# time below is early morning there but the previous evening in UTC.
export TZ=JST-9 LANG=C.UTF-8 LC_ALL=C.UTF-8

make_work tsumugiya-wine-smoke
trap 'stop_wine; cleanup' EXIT
started_ms=$(now_ms)

app_label=Tsumugiya.exe

# --- the program's folder, a save file and settings pointing at it ---------
app_dir=$work/app
game_dir=$work/game
save=$game_dir/slot1.dat
settings=$app_dir/Tsumugiya.ini
mkdir -p "$app_dir" "$game_dir" "$work/cwd"
cp "$program" "$app_dir/Tsumugiya.exe"
printf 'TSUMUGIYA SMOKE\0\001\377 城の前 party=4\n' >"$save"
touch -d @1710018249 "$save"
cp -p "$save" "$work/reference"
printf '[SaveFile]\r\nfolder=%s\r\nfilename=slot1.dat\r\n' "$(wine_path "$game_dir")" >"$settings"
# Aged, so that the rewrite on exit shows even though nothing changed.
touch -d @1000000000 "$settings"
started=$(date +%s)

start_xvfb skip
start_wine skip

(
    cd "$work/cwd"
    exec "$wine" "$app_dir/Tsumugiya.exe"
) >"$work/app.log" 2>&1 &
app_pid=$!

# windows_named TITLE: the visible windows of exactly that title.
windows_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }
window=
find_window() {
    app_must_run "its window"
    window=$(windows_named Tsumugiya)
    [[ -n $window ]]
}
wait_for 30 'visible window titled "Tsumugiya"' find_window
[[ $(wc -l <<<"$window") -eq 1 ]] || fail "more than one window titled Tsumugiya: $window"
timeout 10 xdotool windowfocus --sync "$window" || fail "could not focus the window
$(app_output)"

backup_names() { find "$app_dir/backup" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort; }
title=
title_is() {
    app_must_run "the title \"$1\""
    title=$(xdotool getwindowname "$window")
    [[ $title == "$1" ]]
}
# expect_title TEXT: the title shows TEXT, then the plain title no sooner
# than two seconds after since (ms) and no later than ten.
expect_title() {
    local since=$1 expected=$2 deadline=$(($(now_ms) + 5000))
    until title_is "$expected"; do
        (($(now_ms) < deadline)) || fail "title differs: got \"$title\", expected \"$expected\""
        sleep 0.05
    done
    wait_for 10 'plain title "Tsumugiya" again' title_is Tsumugiya
    shown_ms=$(($(now_ms) - since))
    ((shown_ms >= 2000)) || fail "\"$expected\" left the title after only ${shown_ms} ms"
}
# box_count: how many other windows titled Tsumugiya (message boxes) are up.
box_count() { windows_named Tsumugiya | grep -vcx "$window" || true; }
boxes_are() {
    app_must_run "$1 message box(es)"
    [[ $(box_count) -eq $1 ]]
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
expected_name=slot1.dat.save.2024年03月10日06時04分09秒_
[[ $name == "$expected_name" ]] || fail "backup name differs: got \"$name\", expected \"$expected_name\""
backup=$app_dir/backup/$name
cmp -s "$backup" "$save" || fail "backup content differs from the save file"
[[ $(stat -c %Y "$backup") == "$(stat -c %Y "$save")" ]] ||
    fail "backup mtime $(stat -c %Y "$backup") differs from the save file's"
expect_title "$pressed" "Tsumugiya : $name にバックアップ"

# --- a second Enter: the name is taken, a box captioned Tsumugiya says so --
xdotool key Return
wait_for 10 "a message box captioned Tsumugiya after the second Enter" boxes_are 1
[[ $(backup_names) == "$name" ]] || fail "the second Enter changed the backups: $(backup_names)"
xdotool key Return
wait_for 10 "the message box to close" boxes_are 0

# --- 戻す (Tab from the backup button), confirmed: restored, old save as .s --
printf 'LATER STATE\n' >"$save"
touch -d @1710100000 "$save"
cp -p "$save" "$work/later"
xdotool key Tab Return
wait_for 10 "the restore question" boxes_are 1
cmp -s "$save" "$work/later" || fail "the save changed before the question was answered"
pressed=$(now_ms)
xdotool key Return
expect_title "$pressed" "Tsumugiya :  選択ファイルをロード"
cmp -s "$save" "$backup" || fail "the save does not hold the backup after 戻す"
cmp -s "$save.s" "$work/later" || fail "$save.s does not hold the save as it was before 戻す"

# --- the memo (two Tabs on): ':' cannot go into a file name and is dropped -
xdotool key Tab Tab
xdotool type --delay 50 'a:b'
xdotool key shift+Tab shift+Tab shift+Tab Return
memo_backup=${expected_name}ab
memo_backup_made() {
    app_must_run "the memo backup"
    [[ -f $app_dir/backup/$memo_backup ]]
}
wait_for 10 "backup $memo_backup (memo a:b without the colon)" memo_backup_made
wait_for 10 'plain title "Tsumugiya" after the memo backup' title_is Tsumugiya

if [[ -n $shooter ]]; then
    read -r x y w h < <(xdotool getwindowgeometry --shell "$window" |
        awk -F= '/^[XY]=/{v[$1]=$2} /^WIDTH=/{v["W"]=$2} /^HEIGHT=/{v["H"]=$2}
                 END{print v["X"], v["Y"], v["W"], v["H"]}')
    QT_QPA_PLATFORM=xcb "$shooter" "$picture" "$x" "$y" "$w" "$h" 2>/dev/null ||
        fail "could not take the picture"
fi

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
    printf "%s base units %dx%d, frame %dx%d (About %dx%d)", ok ? "ok" : "bad", bx, by, fw, fh, fa, fb
}')
[[ $size_report == ok* ]] ||
    fail "main ${main_w}x${main_h} and About ${about_w}x${about_h} pixels are not 443x349 and 235x55 dialog units of one font: $size_report"

xdotool key Escape
about_gone() {
    app_must_run "the About box to close"
    [[ -z $(windows_named "$about_title") ]]
}
wait_for 10 "the About box to close on Esc" about_gone

# --- Esc: the program ends and writes its settings ------------------------
xdotool key Escape
exited() { ! alive "$app_pid"; }
wait_for 15 "Tsumugiya.exe to end after Esc" exited
status=0
wait "$app_pid" || status=$?
app_pid=
((status == 0)) || fail "Tsumugiya.exe exited with status $status after Esc
$(app_output)"
(($(stat -c %Y "$settings") >= started)) || fail "settings file not rewritten on exit"
for line in '[SaveFile]' "folder=$(wine_path "$game_dir")" 'filename=slot1.dat'; do
    tr -d '\r' <"$settings" | grep -qFx -- "$line" || fail "settings file lacks the line \"$line\":
$(cat "$settings")"
done
leftovers=$(find "$app_dir" -mindepth 1 -maxdepth 1 ! -name Tsumugiya.exe ! -name Tsumugiya.ini \
    ! -name backup -printf '%f\n')
[[ -z $leftovers ]] || fail "unexpected files beside the program: $leftovers"

echo "PASS in $((($(now_ms) - started_ms) / 1000)) s: backup $name, refused again, restored with .s kept, memo a:b made _ab, About $about_w x $about_h beside $main_w x $main_h ($size_report), settings written"
