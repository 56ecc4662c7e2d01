#!/usr/bin/env bash
# Runs Tsumugiya.exe under Wine on a private Xvfb display and turns the
# automatic backups on from the system menu: the title says so, and a save
# rewritten as a game would is backed up as an automatic backup once it has
# settled. Turned off again, the title loses the mark.
#
# Usage: wine-auto-backup.sh PATH/TO/Tsumugiya.exe
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
prepare_program tsumugiya-wine-auto "$1" 'STATE A' 1710000000
printf '[AutoBackup]\r\nsettle=0.2\r\n' >>"$settings"
start_program

auto_backups() {
    find "$app_dir/backup" -mindepth 1 -maxdepth 1 -name 'slot1.dat.save.*_自動' 2>/dev/null |
        wc -l
}
has_auto_backups() {
    app_must_run "automatic backup number $1"
    (($(auto_backups) == $1))
}

# 自動バックアップ: the third item from the end of the system menu, above
# ホットキー… and the version entry.
toggle_from_menu() {
    timeout 10 xdotool windowfocus --sync "$window" || fail "could not focus the window"
    xdotool key alt+space
    sleep 0.3
    xdotool key Up Up Up Return
}

toggle_from_menu
wait_for 10 'the title "Tsumugiya [自動]"' title_is 'Tsumugiya [自動]'
# Watched from now on: what was there before is the state at the start.
wait_for 10 "automatic backup of the save as it was when turned on" has_auto_backups 1

# The game writes a new state beside the save and renames it over the save.
printf 'STATE B\n' >"$game_dir/slot1.dat.tmp"
mv "$game_dir/slot1.dat.tmp" "$save"
wait_for 10 "automatic backup of the rewritten save" has_auto_backups 2
grep -lqx 'STATE B' "$app_dir"/backup/slot1.dat.save.*_自動 ||
    fail "no automatic backup holds the rewritten save"

toggle_from_menu
wait_for 10 'the title "Tsumugiya" again' title_is 'Tsumugiya'

echo "PASS: the system menu turned the automatic backups on (title), a renamed-over save was backed up as _自動, and turned them off again"
