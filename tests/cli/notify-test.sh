#!/usr/bin/env bash
# tsumugiya-cli --notify as a hotkey runs it: on a private session bus with a
# service that records the notifications, then with no bus at all.
#   notify-test.sh TSUMUGIYA_CLI
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../support/report.sh
source "$here/../support/report.sh"
{ command -v dbus-run-session && /usr/bin/python3 -c "import dbus, gi"; } >/dev/null 2>&1 ||
    skip "needs dbus-run-session, python3-dbus and python3-gi"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli="$work/tsumugiya-cli"
cp "$1" "$cli"
printf 'state A' >"$work/slot1.dat"
"$cli" use "$work/slot1.dat" >/dev/null

fail() {
    echo "FAIL: $*" >&2
    [[ ! -f $work/notes ]] || sed 's/^/  recorded: /' "$work/notes" >&2
    exit 1
}

# Debian's own python3 has the dbus and gi modules. The listener says
# "ready" once it owns the name; the commands run after that.
export cli work here
dbus-run-session -- bash -c '
    /usr/bin/python3 "$here/notify-listener.py" "$work/notes" "$work/caps" >"$work/ready" &
    for _ in $(seq 100); do grep -q ready "$work/ready" && break; sleep 0.05; done
    grep -q ready "$work/ready" || exit 3
    "$cli" quick --notify >/dev/null
    "$cli" restore no-such-backup --yes --notify 2>/dev/null && exit 4
    # No sound server here: --sound fails at once, and says nothing that counts.
    PULSE_SERVER="unix:$work/no-server" "$cli" backup --notify --sound >/dev/null 2>&1
    "$cli" backup --notify 2>/dev/null && exit 5
    # A name holding markup, to a server without markup and then with it.
    printf x >"$work/<b>&c.dat"
    "$cli" use "$work/<b>&c.dat" >/dev/null
    "$cli" quick --notify >/dev/null
    echo body-markup >"$work/caps"
    "$cli" quick --notify >/dev/null
    "$cli" use "$work/slot1.dat" >/dev/null
    kill %1
' || fail "the commands on the private bus ended with status $?"

# One notification each, with the sound of its cue: the status text, the
# refusal (urgent), a backup whose cue --sound plays instead, then that
# backup's state already kept, which is no failure; a name as it is, then
# escaped for the server that renders markup.
/usr/bin/python3 - "$work/notes" <<'PY' || fail "the notifications do not say what the commands said"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8")]
assert all(l[:2] == ["tsumugiya-cli", "Tsumugiya"] for l in lines), lines
name = lines[2][2].removesuffix(" にバックアップ")  # how backups are named is the core's
assert [l[2:] for l in lines] == [
    ["slot1.dat.save.temp にバックアップ", 1, "complete", False],
    ["その名前のバックアップはありません: no-such-backup", 2, "dialog-error", False],
    [name + " にバックアップ", 1, None, True],
    ["同じ名前のファイルがあります。\n変わっていないので、バックアップ済みです: " + name, 1,
     "dialog-information", False],
    ["<b>&c.dat.save.temp にバックアップ", 1, "complete", False],
    ["&lt;b&gt;&amp;c.dat.save.temp にバックアップ", 1, "complete", False],
], lines
PY

# No bus: the backup is made and the command ends as without --notify, at once.
rm "$work/backup/slot1.dat.save.temp"
start=$SECONDS
env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$work/nowhere" DISPLAY= "$cli" quick --notify \
    >/dev/null || fail "quick --notify without a bus failed"
[[ -f $work/backup/slot1.dat.save.temp ]] || fail "quick --notify without a bus made no backup"
((SECONDS - start < 5)) || fail "quick --notify without a bus took $((SECONDS - start)) s"
echo "notify: 6 notifications recorded; without a bus the command works alone"
