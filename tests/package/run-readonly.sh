#!/usr/bin/env bash
# Runs both programs from the unpacked .deb as an installed copy would run:
# the unpacked root is mounted read-only (in a private mount namespace, so
# nothing leaks out), HOME and the XDG folders point at scratch folders.
# tsumugiya-cli has to take the XDG layout and back up there; the window has
# to start offscreen and keep running until killed; neither may leave
# anything in HOME outside its own XDG folders.
#
# Usage: run-readonly.sh OUT
# Exits 0 on success, 1 on a fault, 77 (skipped) where mounting is refused.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

if [[ ${1:-} != --inside ]]; then
    [[ $# -eq 1 ]] || fail "usage: $0 OUT"
    # Root gets a mount namespace directly; anyone else through a user
    # namespace, where a read-only bind mount is allowed too.
    for how in "unshare -m" "unshare -r -m"; do
        if $how --propagation private true 2>/dev/null; then
            exec $how --propagation private bash "$0" --inside "$1"
        fi
    done
    skip "no private mount namespace here (unshare -m and unshare -r -m refused); the read-only run needs one"
fi
out=$2
root=$out/root
version=$(dpkg-deb -f "$(package_file "$out")" Version)

if ! mount --bind "$root" "$root" 2>/dev/null || ! mount -o remount,bind,ro "$root" 2>/dev/null; then
    skip "mounting $root read-only was refused"
fi
! touch "$root/usr/bin/probe" 2>/dev/null || fail "$root is still writable after the read-only mount"

work=$(mktemp -d "${TMPDIR:-/tmp}/tsumugiya-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/game" "$work/runtime"
chmod 700 "$work/runtime"
cli=$root/usr/bin/tsumugiya-cli
layout_note="(an installed or unwritable copy takes the XDG layout since the core's layout change; built without it, the programs keep their files beside themselves and fail here)"

# in_home NAME [VAR=VALUE...] COMMAND...: runs it with a home of its own and
# nothing else of this environment; the XDG folders are set to places other
# than their defaults so that a program ignoring them shows.
in_home() {
    local home=$work/$1
    shift
    mkdir -p "$home"
    env -i PATH=/usr/bin:/bin LANG=C.UTF-8 TZ=JST-9 HOME="$home" XDG_CONFIG_HOME="$home/config" \
        XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$work/runtime" "$@"
}
# Fails when a program left anything in its home besides its own XDG folders.
no_strays() {
    local found
    found=$(cd "$work/$1" && find . -mindepth 1 | sed 's|^\./||' |
        grep -vxE 'config|data|(config|data)/tsumugiya(/.*)?') || true
    [[ -z $found ]] || fail "$2 wrote outside its XDG folders in HOME: $found"
}

# run ARGS...: runs tsumugiya-cli in its home, sets stdout, and fails unless it succeeds.
run() {
    in_home cli "$cli" "$@" </dev/null >"$work/stdout" 2>"$work/stderr" ||
        fail "tsumugiya-cli $* exited $?, expected 0
stdout: $(<"$work/stdout")
stderr: $(<"$work/stderr")"
    stdout=$(<"$work/stdout")
}

# --- tsumugiya-cli ------------------------------------------------------------
run --version
[[ $stdout == *"$version"* ]] ||
    fail "tsumugiya-cli --version printed '$stdout'; expected the package's version $version (project(VERSION) and the package version must agree)"

cfg=$work/cli/config data=$work/cli/data
run where
[[ $stdout == *"$cfg/tsumugiya/tsumugiya.ini"* && $stdout == *"$data/tsumugiya/backup"* ]] ||
    fail "tsumugiya-cli where from a read-only /usr/bin printed:
$stdout
expected the settings file $cfg/tsumugiya/tsumugiya.ini and the backup folder $data/tsumugiya/backup
$layout_note"

save=$work/game/slot1.dat
printf 'SAVE ONE\n' >"$save"
run use "$save"
run backup --memo 城の前
backups=("$data"/tsumugiya/backup/slot1.dat.save.*_城の前)
[[ -f ${backups[0]} ]] ||
    fail "after backup, expected slot1.dat.save.*_城の前 in $data/tsumugiya/backup, found: $(ls -A "$data/tsumugiya/backup" 2>&1)"

no_strays cli tsumugiya-cli

# --- the window ---------------------------------------------------------------
status=0
in_home window QT_QPA_PLATFORM=offscreen timeout 2 "$root/usr/bin/tsumugiya" \
    </dev/null >"$work/window.log" 2>&1 || status=$?
# timeout's 124: still running when the time was up, as it should be.
((status == 124)) || fail "tsumugiya ended on its own with status $status before it was closed, expected it to keep running
$(cat "$work/window.log")"
[[ -d $work/window/data/tsumugiya/backup ]] ||
    fail "tsumugiya did not prepare its backup folder $work/window/data/tsumugiya/backup $layout_note
$(cat "$work/window.log")"
no_strays window tsumugiya

echo "both programs ran from a read-only root in the XDG layout"
