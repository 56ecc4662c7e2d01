#!/usr/bin/env bash
# The window's global hotkeys on Xvfb, with xmessage holding the focus:
#   - from the key press to the committed backup of a 1 MiB save, against
#     'cp -p SAVE DST && sync' of the same file (target: ratio <= 1.3);
#   - the CPU the window uses over IDLE_SECONDS idle with the hotkeys on
#     (utime + stime in /proc/PID/stat; target 0 ticks: nothing polls);
#   - what the hotkeys and their cues add to its peak RSS (VmHWM), the
#     commands' own cost taken out (target: <= +1 MiB): the window with the
#     hotkeys on before any key against enabled=0, plus each key pressed with
#     its cue against the same keys pressed with sound=0.
#
#   bench/hotkeys.sh [PATH/TO/tsumugiya]   (default: <repo>/build/ui/tsumugiya)
#
# Environment (all optional): REPS=15, IDLE_SECONDS=60, BENCH_TMPDIR (put it
# on the disk you care about: fsync is free on tmpfs).
# The cues play into a PulseAudio null sink started here when pulseaudio is
# installed. Exit status: 0 every target met, 1 a target missed, 2 the run failed.

# Functions run through traps:
# shellcheck disable=SC2317
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PROGRAM=${1:-$REPO/build/ui/tsumugiya}
REPS=${REPS:-15}
IDLE_SECONDS=${IDLE_SECONDS:-60}

die() {
    printf 'hotkeys: %s\n' "$*" >&2
    exit 2
}
note() { printf '%s\n' "$*" >&2; }
fail() { die "$@"; }

[[ -x $PROGRAM ]] || die "$PROGRAM is not an executable; build the tsumugiya target first"
for tool in Xvfb xdotool xmessage; do
    command -v "$tool" >/dev/null || die "$tool is needed"
done
# shellcheck source=SCRIPTDIR/../tests/smoke/xvfb-session.sh
source "$REPO/tests/smoke/xvfb-session.sh"
base=${BENCH_TMPDIR:-${TMPDIR:-/tmp}}
TMPDIR=$base make_work tsumugiya-hotkeys-bench

fs_type=$(findmnt -n -o FSTYPE -T "$work" 2>/dev/null || stat -f -c %T "$work")
[[ $fs_type != tmpfs ]] || note "warning: $work is on tmpfs; fsync costs nothing there (set BENCH_TMPDIR)"

stamp() {
    local t=$EPOCHREALTIME
    printf -v "$1" '%s' "${t//[^0-9]/}"
}
median_ms() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.2f", m / 1000 }'; }

app=$work/app game=$work/game
save=$game/slot1.dat
mkdir -p "$app" "$game" "$work/runtime" "$work/ref"
chmod 700 "$work/runtime"
cp "$PROGRAM" "$app/tsumugiya"
head -c $((1 << 20)) /dev/urandom >"$save"
touch -d @1700000000 "$save"

start_xvfb die
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
if command -v pulseaudio >/dev/null; then
    XDG_RUNTIME_DIR=$work/runtime HOME=$work/runtime pulseaudio --daemonize=no -n \
        --exit-idle-time=-1 --load=module-native-protocol-unix --load=module-null-sink \
        >"$work/pulse.log" 2>&1 &
    helper_pids+=($!)
    sound_server() { [[ -S $work/runtime/pulse/native ]]; }
    wait_for 10 "PulseAudio socket" sound_server
    export PULSE_SERVER=unix:$work/runtime/pulse/native
else
    note "pulseaudio is missing: the cues go nowhere"
fi
xmessage -name other 'the game' >/dev/null 2>&1 &
helper_pids+=($!)
other=
find_other() { other=$(xdotool search --onlyvisible --classname '^other$' 2>/dev/null | head -n1); }
wait_for 10 "xmessage window" find_other

# start_app ENABLED [SOUND]: the window with these [Hotkeys], xmessage focused.
start_app() {
    printf '[SaveFile]\nfolder=%s\nfilename=slot1.dat\n[Hotkeys]\nenabled=%s\nsound=%s\n' \
        "$game" "$1" "${2:-1}" >"$app/tsumugiya.ini"
    (cd "$work" && exec env QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" \
        "$app/tsumugiya") >>"$work/app.log" 2>&1 &
    app_pid=$!
    shown() {
        app_must_run "its window"
        xdotool search --onlyvisible --name '^Tsumugiya' >/dev/null 2>&1
    }
    wait_for 20 "the window" shown
    xdotool windowfocus --sync "$other"
}
stop_app() {
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=
}
ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }
hwm_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$app_pid/status"; }
# "ANON FILE SHMEM" resident KiB now: what the libraries' shared pages are of it.
rss_parts() { awk '/^RssAnon:/ { a = $2 } /^RssFile:/ { f = $2 } /^RssShmem:/ { s = $2 }
    END { print a, f, s }' "/proc/$app_pid/status"; }

rows=()
missed=0
# row CASE TSUMUGIYA BASELINE RATIO TARGET PASSED (1, 0, or - for a figure
# that only goes into another row)
row() {
    local result=-
    [[ $6 == - ]] || result=$([[ $6 == 1 ]] && echo PASS || echo MISS)
    rows+=("$(printf '%-40s %16s %16s %8s %9s  %s' "$1" "$2" "$3" "$4" "$5" "$result")")
    [[ $6 != 0 ]] || missed=1
}

# --- key press to committed backup -------------------------------------------
note "key to backup, 1 MiB, $REPS rounds ..."
start_app 1
# One xdotool for every press, so that its start is not counted.
coproc KEYS { exec xdotool -; }
helper_pids+=("$KEYS_PID")
# Without a fork: the glob leaves out the dot-named temporary files, so a
# name counts once it is committed. The poll spins, for a fine clock.
shopt -s nullglob
count() {
    local names=("$app/backup"/*)
    printf -v "$1" '%s' "${#names[@]}"
}
key_us=() cp_us=()
for ((i = 0; i <= REPS; i++)); do
    # A new state each round, so each press makes a backup.
    printf '%08d' "$i" | dd of="$save" conv=notrunc status=none
    touch -d "@$((1700000000 + 60 * (i + 1)))" "$save"
    sync
    count before
    stamp t0
    printf 'key --delay 0 ctrl+F5\n' >&"${KEYS[1]}"
    now=$before
    until ((now > before)); do
        count now
    done
    stamp t1
    sync
    stamp t2
    cp -p "$save" "$work/ref/copy$i" && sync
    stamp t3
    ((i == 0)) && continue # warm-up
    key_us+=($((t1 - t0)))
    cp_us+=($((t3 - t2)))
done
[[ $(xdotool getwindowfocus) == "$other" ]] || die "the window took the focus"
key_ms=$(median_ms "${key_us[@]}") cp_ms=$(median_ms "${cp_us[@]}")
ratio=$(awk -v a="$key_ms" -v b="$cp_ms" 'BEGIN { printf "%.2f", a / b }')
row "Ctrl+F5 to backup, 1 MiB" "$key_ms ms" "$cp_ms ms" "$ratio" "<= 1.3" \
    "$(awk -v r="$ratio" 'BEGIN { print (r <= 1.3) }')"

# Each key once, so that the idle time below follows every command.
printf 'key ctrl+F6\nkey ctrl+F9\n' >&"${KEYS[1]}"
sleep 2

# --- idle CPU ------------------------------------------------------------------
note "idle CPU over ${IDLE_SECONDS}s ..."
sleep 2
t_before=$(ticks)
sleep "$IDLE_SECONDS"
idle=$(($(ticks) - t_before))
row "CPU ticks idle ${IDLE_SECONDS}s, hotkeys on" "$idle" - - "0" "$((idle == 0))"
stop_app

# --- peak RSS against the hotkeys off -------------------------------------------
# The keys' commands cost memory of their own (a 1 MiB copy, the list), which
# the window with enabled=0 never pays: the hotkeys' share is read before any
# key, and the cues' share against the same keys pressed without sound.
note "peak RSS with the hotkeys on, keys with and without cues, then off ..."
press_each() {
    printf 'key ctrl+F5\nkey ctrl+F6\nkey ctrl+F9\n' >&"${KEYS[1]}"
    # A cue's child lives about two seconds at most.
    sleep 3
    [[ -z $(ps -o pid= --ppid "$app_pid") ]] || die "the window left children: $(ps --ppid "$app_pid")"
}
start_app 1 1
press_each
hwm_on=$(hwm_kib)
rss_on=$(rss_parts)
stop_app
start_app 1 0
sleep 2
hwm_keys_idle=$(hwm_kib)
press_each
hwm_quiet=$(hwm_kib)
stop_app
start_app 0
sleep 2
hwm_off=$(hwm_kib)
rss_off=$(rss_parts)
stop_app
mib() { printf '%d.%d MiB' $(($1 / 1024)) $(($1 % 1024 * 10 / 1024)); }
keys=$((hwm_keys_idle - hwm_off))
cues=$((hwm_on - hwm_quiet))
row "peak RSS, hotkeys on vs enabled=0" "$(mib "$hwm_keys_idle")" "$(mib "$hwm_off")" \
    "$(printf %+d "$keys") KiB" - -
row "peak RSS, keys and cues vs keys, sound=0" "$(mib "$hwm_on")" "$(mib "$hwm_quiet")" \
    "$(printf %+d "$cues") KiB" - -
extra=$((keys + cues))
row "peak RSS, hotkeys and cues, both above" "$(printf %+d "$extra") KiB" - - "<= +1 MiB" "$((extra <= 1024))"
note "the keys' commands themselves: +$((hwm_quiet - hwm_keys_idle)) KiB of peak RSS"

read -r on_anon on_file on_shmem <<<"$rss_on"
read -r off_anon off_file off_shmem <<<"$rss_off"
note "resident now, keys and cues against off: anon +$((on_anon - off_anon)) KiB," \
    "file-backed (libraries) +$((on_file - off_file)) KiB, shared memory +$((on_shmem - off_shmem)) KiB"
echo
echo "Key to backup: from 'key --delay 0 ctrl+F5' written to a running xdotool to the backup's"
echo "final name; baseline 'cp -p SAVE DST && sync'. Medians of $REPS; $fs_type, $(nproc) cores."
printf '%-40s %16s %16s %8s %9s  %s\n' case tsumugiya baseline ratio target result
printf '%s\n' "${rows[@]}"
exit "$missed"
