#!/usr/bin/env bash
# Start-to-first-paint time and peak memory of tsumugiya against two baseline
# dialogs, an empty one and one with a single Japanese label, side by side on
# one Xvfb, with 1,000 backups in the list. The label dialog is the fair
# floor: an empty dialog never loads a font.
#
#   bench/startup.sh [BUILD_DIR]      (default: <repo>/build-bench)
#
# Builds nothing: BUILD_DIR must hold bench/startup/bench-startup-{launch,
# tsumugiya,empty,label}, for example from
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTSUMUGIYA_BUILD_TESTS=OFF
#   cmake --build build-bench
#
# Environment (all optional):
#   ROUNDS=30        rounds, each running all three programs once; the first
#                    WARMUP=3 are discarded
#   BACKUPS=1000     backups in the listed folder (also try 100000: the first
#                    paint must then still come within a second)
#   BENCH_TMPDIR     where the scratch folder goes (default: $TMPDIR or /tmp)
#   BENCH_KEEP=1     keep the scratch folder afterwards
#
# Exit status: 0 whether or not the targets are met, 2 the run itself failed.

# cleanup runs through a trap:
# shellcheck disable=SC2317
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/make-backups.sh
source "$REPO/bench/make-backups.sh"
BUILD_DIR=${1:-$REPO/build-bench}
ROUNDS=${ROUNDS:-30}
WARMUP=${WARMUP:-3}
BACKUPS=${BACKUPS:-1000}
RATIO_TARGET=1.2
RSS_TARGET_MIB=4
PAINT_TARGET_MS=1000

die() {
    printf 'startup: %s\n' "$*" >&2
    exit 2
}
note() { printf '%s\n' "$*" >&2; }

BIN="$BUILD_DIR/bench/startup"
LAUNCH="$BIN/bench-startup-launch"
for program in "$LAUNCH" "$BIN/bench-startup-"{tsumugiya,empty,label}; do
    [[ -x $program ]] || die "$program is missing; build $BUILD_DIR first (see the top of $0)"
done
((ROUNDS > WARMUP)) || die "ROUNDS=$ROUNDS leaves nothing after WARMUP=$WARMUP"
command -v Xvfb >/dev/null || die "Xvfb is needed"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD_DIR/CMakeCache.txt" 2>/dev/null ||
    true)
case ${build_type:-unknown} in
    Release | RelWithDebInfo | MinSizeRel | unknown) ;;
    *) note "warning: $BUILD_DIR is a $build_type build; timings will not be representative" ;;
esac

base=${BENCH_TMPDIR:-${TMPDIR:-/tmp}}
WORK=$(mktemp -d "$base/tsumugiya-startup.XXXXXX") || die "cannot make a folder in $base"
XVFB_PID=
cleanup() {
    if [[ -n $XVFB_PID ]]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    if [[ ${BENCH_KEEP:-0} == 1 ]]; then
        note "kept $WORK"
    else
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT
trap 'exit 2' INT TERM

# --- the program's folder -----------------------------------------------------
# The executable path only places the settings file and the backup folder;
# nothing runs from it.
APP="$WORK/app"
EXE="$APP/tsumugiya"
mkdir -p "$APP/backup"
: >"$EXE"
printf 'save data' >"$APP/slot1.dat"
printf '[SaveFile]\nfolder=%s\nfilename=slot1.dat\n' "$APP" >"$APP/tsumugiya.ini"
note "making $BACKUPS backups ..."
make_backups "$APP/backup" "$BACKUPS" memo
sync

# --- one X server for the whole run ------------------------------------------
# Xvfb picks a free display and writes its number to the fd once it listens.
mkdir -m 700 "$WORK/runtime"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" \
    >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for ((i = 0; i < 100; i++)); do
    [[ -s $WORK/display ]] && break
    kill -0 "$XVFB_PID" 2>/dev/null || die "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    sleep 0.1
done
[[ -s $WORK/display ]] || die "Xvfb gave no display number"
DISPLAY=":$(head -n1 "$WORK/display")"
export DISPLAY QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$WORK/runtime"

# --- one sample --------------------------------------------------------------
# sample PROGRAM [ARGS...]: sets MS (start to first paint, ms), RSS (peak RSS
# at that paint, KiB) and WINDOW (its top-level window's size).
sample() {
    local out paint='' start='' word
    out=$("$LAUNCH" "$@" 2>>"$WORK/stderr.log") || {
        cat "$WORK/stderr.log" >&2
        die "failed: $*"
    }
    RSS='' WINDOW=''
    for word in $out; do
        case $word in
            paint_ns=*) paint=${word#*=} ;;
            start_ns=*) start=${word#*=} ;;
            maxrss_kib=*) RSS=${word#*=} ;;
            window=*) WINDOW=${word#*=} ;;
        esac
    done
    [[ -n $paint && -n $start && -n $RSS ]] || die "no paint reported by $*: $out"
    MS=$(awk -v a="$paint" -v b="$start" 'BEGIN { printf "%.3f", (a - b) / 1e6 }')
}

# The baselines get tsumugiya's pixel size, so all three paint and flush the
# same area; the first warm-up round finds it out.
sample "$BIN/bench-startup-tsumugiya" "$EXE"
SIZE=$WINDOW
[[ $SIZE =~ ^[0-9]+x[0-9]+$ ]] || die "tsumugiya reported no window size"
[[ -n $(compgen -G "$APP/backup/*.save.*") ]] || die "the backups are gone"

PROGRAMS=(tsumugiya empty label)
declare -A TIMES=() PEAKS=()
note "rounds: $ROUNDS ($WARMUP warm-up), dialog $SIZE, display $DISPLAY"
# run NAME: one sample of bench-startup-NAME, kept after the warm-up.
run() {
    if [[ $1 == tsumugiya ]]; then
        sample "$BIN/bench-startup-tsumugiya" "$EXE"
        [[ $WINDOW == "$SIZE" ]] || die "tsumugiya's window changed size: $WINDOW"
    else
        sample "$BIN/bench-startup-$1" "$SIZE"
    fi
    if ((round > WARMUP)); then
        TIMES[$1]+=" $MS" PEAKS[$1]+=" $RSS"
    fi
}
for ((round = 1; round <= ROUNDS; round++)); do
    # The order rotates each round, so each program goes first, second and
    # third equally often and no order effect favours one.
    for ((k = 0; k < ${#PROGRAMS[@]}; k++)); do
        name=${PROGRAMS[(k + round - 1) % ${#PROGRAMS[@]}]}
        # The first warm-up round's tsumugiya run happened above.
        if ((round > 1)) || [[ $name != tsumugiya ]]; then
            run "$name"
        fi
    done
done

# --- figures -----------------------------------------------------------------
# quantile P VALUES...: nearest-rank for P < 50, the usual midpoint median.
quantile() {
    local p=$1
    shift
    printf '%s\n' "$@" | sort -g | awk -v p="$p" '{ v[NR] = $1 } END {
        if (p == 50) { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }
        else { k = int((p * NR + 99) / 100); m = v[k < 1 ? 1 : k] }
        printf "%.2f", m }'
}
spread() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END {
    printf "%.2f..%.2f", lo, hi }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
diff_mib() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.1f", (a - b) / 1024 }'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v + 0 <= t + 0) ? "PASS" : "MISS" }'; }

declare -A MEDIAN=() RSS_MEDIAN=()
rows=() n=0
for name in "${PROGRAMS[@]}"; do
    # Word splitting of the collected samples is wanted here.
    # shellcheck disable=SC2206
    times=(${TIMES[$name]}) peaks=(${PEAKS[$name]})
    n=${#times[@]}
    MEDIAN[$name]=$(quantile 50 "${times[@]}")
    RSS_MEDIAN[$name]=$(quantile 50 "${peaks[@]}")
    rows+=("$(printf '%-10s %8s %8s  %-15s %8s' "$name" "${MEDIAN[$name]}" \
        "$(quantile 90 "${times[@]}")" "$(spread "${times[@]}")" "$(mib "${RSS_MEDIAN[$name]}")")")
done
echo
echo "Start to first paint, ms, and peak RSS at that paint, MiB (n=$n each;" \
    "$BUILD_DIR, ${build_type:-unknown})"
printf '%-10s %8s %8s  %-15s %8s\n' program median p90 min..max 'RSS med'
printf '%s\n' "${rows[@]}"

t_e=$(ratio "${MEDIAN[tsumugiya]}" "${MEDIAN[empty]}")
t_l=$(ratio "${MEDIAN[tsumugiya]}" "${MEDIAN[label]}")
l_e=$(ratio "${MEDIAN[label]}" "${MEDIAN[empty]}")
d_e=$(diff_mib "${RSS_MEDIAN[tsumugiya]}" "${RSS_MEDIAN[empty]}")
d_l=$(diff_mib "${RSS_MEDIAN[tsumugiya]}" "${RSS_MEDIAN[label]}")
l_d=$(diff_mib "${RSS_MEDIAN[label]}" "${RSS_MEDIAN[empty]}")
echo
printf 'time, ratio of medians   tsumugiya/label %s  target <= %s  %s\n' \
    "$t_l" "$RATIO_TARGET" "$(verdict "$t_l" "$RATIO_TARGET")"
printf '                         tsumugiya/empty %s\n' "$t_e"
printf '                         label/empty     %s\n' "$l_e"
printf 'first paint, median      tsumugiya %s ms  target <= %s ms  %s\n' \
    "${MEDIAN[tsumugiya]}" "$PAINT_TARGET_MS" "$(verdict "${MEDIAN[tsumugiya]}" "$PAINT_TARGET_MS")"
printf 'peak RSS, difference     tsumugiya-label %s MiB  target <= +%s MiB  %s\n' \
    "$d_l" "$RSS_TARGET_MIB" "$(verdict "$d_l" "$RSS_TARGET_MIB")"
printf '                         tsumugiya-empty %s MiB\n' "$d_e"
printf '                         label-empty     %s MiB\n' "$l_d"
exit 0
