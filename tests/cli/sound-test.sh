#!/usr/bin/env bash
# tsumugiya-cli --sound on a real sound server: a PulseAudio of its own, with
# one null sink, started here. Each cue reaches the sink as a stream, the
# command waits for it to be heard, and ends with the status it has without
# --sound.
#   sound-test.sh TSUMUGIYA_CLI
set -euo pipefail
# shellcheck source=SCRIPTDIR/../support/report.sh
source "$(dirname "$0")/../support/report.sh"
{ command -v pulseaudio && command -v pactl; } >/dev/null ||
    skip "needs pulseaudio and pactl (pulseaudio-utils)"
[[ -f /usr/share/sounds/freedesktop/stereo/complete.oga ]] ||
    skip "needs the freedesktop sound theme (sound-theme-freedesktop)"
work=$(mktemp -d)
server=
cleanup() {
    [[ -z $server ]] || kill "$server" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    sed 's/^/  server: /' "$work/server.log" >&2
    exit 1
}

# Everything the server and its clients look for lies in $work: no desktop's
# own sound server is reached or started.
mkdir -p "$work/run" "$work/home"
export HOME=$work/home XDG_RUNTIME_DIR=$work/run PULSE_RUNTIME_PATH=$work/run/pulse
export PULSE_STATE_PATH=$work/state PULSE_SERVER=unix:$work/native
unset DBUS_SESSION_BUS_ADDRESS
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    --log-target=stderr -L "module-null-sink sink_name=cues" \
    -L "module-native-protocol-unix socket=$work/native auth-anonymous=1" \
    >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pactl info >/dev/null 2>&1 || skip "PulseAudio did not start here:
$(cat "$work/server.log")"
pactl subscribe >"$work/events" 2>/dev/null &
# The subscription is live once it reports a sink made after it started;
# a cue played before that would go unseen.
for i in $(seq 100); do
    pactl load-module module-null-sink "sink_name=probe$i" >/dev/null
    sleep 0.05
    grep -q "'new' on sink" "$work/events" && break
done
grep -q "'new' on sink" "$work/events" || fail "pactl subscribe reported nothing"

cli="$work/tsumugiya-cli"
cp "$1" "$cli"
printf 'state A' >"$work/slot1.dat"
"$cli" use "$work/slot1.dat" >/dev/null
"$cli" backup >/dev/null

streams() { grep -c "'new' on sink-input" "$work/events" || true; }

# played CUE STATUS ARGUMENTS...: runs the command with --sound and checks its
# status, that it lasted as long as a theme sound does at least, and that the
# sink got a stream.
played() {
    local cue=$1 expected=$2 before status=0 start elapsed
    shift 2
    before=$(streams)
    start=$(date +%s%N)
    "$cli" "$@" --sound >"$work/said" 2>&1 || status=$?
    elapsed=$((($(date +%s%N) - start) / 1000000))
    ((status == expected)) || fail "$* --sound ended with $status, expected $expected:
$(cat "$work/said")"
    ((elapsed >= 300)) || fail "$* --sound ended after $elapsed ms, before its sound ($cue) could be heard"
    for _ in $(seq 40); do (($(streams) > before)) && break; sleep 0.05; done
    (($(streams) > before)) || fail "$* --sound: the sink got no stream for the cue $cue"
    echo "$cue: status $status, $elapsed ms"
}
played done 0 quick
played already-kept 1 backup
played failed 1 restore no-such-backup --yes
