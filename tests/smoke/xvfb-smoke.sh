#!/usr/bin/env bash
# Runs the real tsumugiya window on a private Xvfb display and drives it with
# the keyboard as a person would: Enter backs the save file up, the title
# reports the new name for two seconds, and Esc ends the program after it has
# written its settings file. Names, contents and the settings' format are the
# core suite's.
#
# Usage: xvfb-smoke.sh PATH/TO/tsumugiya
# Exits 0 on success, 1 on a fault, 77 (skipped) only when Xvfb cannot start.
set -euo pipefail

# shellcheck source=SCRIPTDIR/../support/report.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/report.sh"
# shellcheck source=SCRIPTDIR/xvfb-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/xvfb-session.sh"

[[ $# -eq 1 ]] || fail "usage: $0 PATH/TO/tsumugiya"
prepare_tsumugiya tsumugiya-smoke "$1"
printf 'TSUMUGIYA SMOKE\n' >"$save"
printf '[SaveFile]\nfolder=%s\nfilename=%s\n' "$game_dir" slot1.dat >"$settings"
# Aged, so that the rewrite on exit shows even though nothing changed.
touch -d @1000000000 "$settings"
started=$(date +%s)

# Only a missing or broken X server skips; everything after it is tested.
start_xvfb skip
launch_tsumugiya

window=
find_window() {
    app_must_run "its window"
    local found
    found=$(xdotool search --onlyvisible --name '^Tsumugiya$' 2>/dev/null) || return 1
    [[ $(wc -l <<<"$found") -eq 1 ]] || fail "more than one window titled Tsumugiya: $found"
    window=$found
}
wait_for 20 "visible window titled \"Tsumugiya\"" find_window

# No window manager: focus it ourselves, then type into whatever has focus.
timeout 10 xdotool windowfocus --sync "$window" ||
    fail "could not give the window keyboard focus
$(app_output)"

[[ -d $app_dir/backup ]] || fail "no backup folder beside the program after start"
[[ -z $(ls -A "$app_dir/backup") ]] ||
    fail "backup folder not empty before any backup: $(ls -A "$app_dir/backup")"

# --- Enter: a timestamped backup ---------------------------------------------
pressed=$(now_ms)
xdotool key Return

backup_names() { find "$app_dir/backup" -mindepth 1 -maxdepth 1 ! -name '.*' -printf '%f\n'; }
backup_appeared() {
    app_must_run "the backup"
    [[ -n $(backup_names) ]]
}
wait_for 10 "backup in $app_dir/backup after Enter" backup_appeared
name=$(backup_names)
[[ $(wc -l <<<"$name") -eq 1 && $name == slot1.dat.save.* ]] || fail "Enter made other than one backup:
$name"

# The status was set after Enter, so the plain title cannot be back sooner
# than two seconds after the key press, less the 5% that Qt lets a coarse
# timer fire early.
expect_title "$pressed" "Tsumugiya : $name にバックアップ" 1900

# --- Esc: the program ends and writes its settings -------------------------
xdotool key Escape
exited() { ! alive "$app_pid"; }
wait_for 15 "tsumugiya to end after Escape" exited
status=0
wait "$app_pid" || status=$?
app_pid=
((status == 0)) || fail "tsumugiya exited with status $status after Escape
$(app_output)"

settings_mtime=$(stat -c %Y "$settings" 2>/dev/null || echo 0)
((settings_mtime >= started)) ||
    fail "settings file not rewritten on exit (mtime $settings_mtime, test started $started)"
[[ -z $(ls -A "$work/cwd") ]] || fail "files written to the working folder: $(ls -A "$work/cwd")"

echo "PASS: Enter made $name, the title reported it for ${shown_ms} ms, Escape wrote $settings"
