#!/usr/bin/env bash
# Times tsumugiya-cli against the plain shell commands that do the same work,
# side by side in one run, and prints median times and ratios.
#
#   bench/run-benchmarks.sh [CASE...]   copy, list, crowded, small (default: all)
#
# Environment (all optional):
#   TSUMUGIYA_CLI     binary to measure (default: <repo>/build/cli/tsumugiya-cli,
#                     configured and built first when missing)
#   BENCH_TMPDIR      where the scratch folder goes (default: $TMPDIR or /tmp);
#                     put it on the disk you care about: fsync is free on tmpfs
#   BENCH_KEEP=1      keep the scratch folder afterwards
#   REPS_1M REPS_100M REPS_LIST REPS_4K LIST_COUNT   repetitions and list size
#   TSUMUGIYA_CLI_BEFORE  an older build to time the restore among many backups
#                     against, side by side
#
# Exit status: 0 every target met, 1 a target missed, 2 the run itself failed.

# Functions run through traps and run_timed, arrays filled through namerefs:
# shellcheck disable=SC2317,SC2034
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR="$REPO/build"
CLI=${TSUMUGIYA_CLI:-$BUILD_DIR/cli/tsumugiya-cli}
REPS_1M=${REPS_1M:-15}
REPS_100M=${REPS_100M:-7}
REPS_LIST=${REPS_LIST:-21}
REPS_4K=${REPS_4K:-31}
LIST_COUNT=${LIST_COUNT:-100000}

die() {
    printf 'run-benchmarks: %s\n' "$*" >&2
    exit 2
}
note() { printf '%s\n' "$*" >&2; }

# --- the binary --------------------------------------------------------------
if [[ ! -x $CLI ]]; then
    [[ -z ${TSUMUGIYA_CLI:-} ]] || die "TSUMUGIYA_CLI=$CLI is not an executable"
    note "building $CLI ..."
    # An existing build folder keeps its own generator; cmake refuses a change.
    generator=()
    if [[ ! -f $BUILD_DIR/CMakeCache.txt ]] && command -v ninja >/dev/null; then
        generator=(-G Ninja)
    fi
    cmake -S "$REPO" -B "$BUILD_DIR" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        >/dev/null || die "cmake configure failed"
    cmake --build "$BUILD_DIR" --target tsumugiya-cli >/dev/null || die "build failed"
    [[ -x $CLI ]] || die "build did not produce $CLI"
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$(dirname "$(dirname "$CLI")")/CMakeCache.txt" \
    2>/dev/null || true)
# A debug build would make every ratio meaningless, so say so up front.
case ${build_type:-unknown} in
    Release | RelWithDebInfo | MinSizeRel | unknown) ;;
    *) note "warning: $CLI is a $build_type build; timings will not be representative" ;;
esac

# --- timing ------------------------------------------------------------------
# Bash 5's EPOCHREALTIME needs no fork, so the clock adds nothing to a sample;
# digits only, since its decimal point follows the locale.
if [[ -n ${EPOCHREALTIME:-} ]]; then
    stamp() {
        local t=$EPOCHREALTIME
        printf -v "$1" '%s' "${t//[^0-9]/}"
    }
else
    stamp() { printf -v "$1" '%s' "$(($(date +%s%N) / 1000))"; }
fi

for tool in cmp awk sort stat sync; do
    command -v "$tool" >/dev/null || die "$tool is needed"
done

base=${BENCH_TMPDIR:-${TMPDIR:-/tmp}}
WORK=$(mktemp -d "$base/tsumugiya-bench.XXXXXX") || die "cannot make a folder in $base"
cleanup() {
    if [[ ${BENCH_KEEP:-0} == 1 ]]; then
        note "kept $WORK"
    else
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT
trap 'exit 2' INT TERM
ERR_LOG="$WORK/stderr.log"

fs_type=$(stat -f -c %T "$WORK")
if [[ $fs_type == tmpfs || $fs_type == ramfs ]]; then
    note "warning: $WORK is on $fs_type; fsync costs nothing there (set BENCH_TMPDIR)"
fi
avail_kib=$(df -Pk "$WORK" | awk 'NR == 2 { print $4 }')
((avail_kib > 1024 * 1024)) || die "need 1 GiB free in $base"

# run_timed VAR CMD...: runs CMD with stdout to /dev/null and stores the wall
# time in microseconds in VAR. A failed command aborts the run: a refused
# backup would otherwise show up as a very fast one.
run_timed() {
    local var=$1 t0 t1
    shift
    stamp t0
    if ! "$@" >/dev/null 2>"$ERR_LOG"; then
        note "failed: $*"
        cat "$ERR_LOG" >&2
        exit 2
    fi
    stamp t1
    printf -v "$var" '%s' "$((t1 - t0))"
}

# The fair baseline for a copy that is fsynced before it counts.
cp_sync() { cp -p "$1" "$2" && sync; }

median_ms() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.2f", m / 1000 }'; }
spread_ms() { printf '%s\n' "$@" | sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END {
    printf "%.2f..%.2f", lo / 1000, hi / 1000 }'; }

ROWS=()
MISSED=0
# record CASE TSU_SAMPLES_NAME BASE_SAMPLES_NAME RATIO_TARGET [ABS_TARGET_MS]
# With ABS_TARGET_MS the verdict is on tsumugiya's own median; the baseline
# and ratio are then shown for context only.
record() {
    local -n rec_tsu=$2 rec_ref=$3
    local name=$1 ratio_target=$4 abs_target=${5:-} tm bm ratio target ok
    tm=$(median_ms "${rec_tsu[@]}")
    bm=$(median_ms "${rec_ref[@]}")
    ratio=$(awk -v a="$tm" -v b="$bm" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    if [[ -n $abs_target ]]; then
        target="< $abs_target ms"
        ok=$(awk -v a="$tm" -v t="$abs_target" 'BEGIN { print ((a + 0 < t + 0) ? "PASS" : "MISS") }')
    else
        target="<= $ratio_target"
        ok=$(awk -v r="$ratio" -v t="$ratio_target" 'BEGIN { print ((r + 0 <= t + 0) ? "PASS" : "MISS") }')
    fi
    [[ $ok == PASS ]] || MISSED=1
    note "  $name: tsumugiya $tm ms ($(spread_ms "${rec_tsu[@]}")), baseline $bm ms ($(spread_ms "${rec_ref[@]}")), n=${#rec_tsu[@]}"
    ROWS+=("$(printf '%-24s %12s %12s %7s %10s  %s' "$name" "$tm" "$bm" "$ratio" "$target" "$ok")")
}

# pair I TSU_SAMPLES REF_SAMPLES: times the commands in the arrays TSU_CMD and
# REF_CMD once each. A sync first means neither side pays for dirty pages the
# other left; odd I runs tsumugiya first, even I the baseline, to cancel any
# order effect.
pair() {
    local -n pair_tsu=$2 pair_ref=$3
    local t
    sync
    if (($1 % 2)); then
        run_timed t "${TSU_CMD[@]}"
        pair_tsu+=("$t")
        sync
        run_timed t "${REF_CMD[@]}"
        pair_ref+=("$t")
    else
        run_timed t "${REF_CMD[@]}"
        pair_ref+=("$t")
        sync
        run_timed t "${TSU_CMD[@]}"
        pair_tsu+=("$t")
    fi
}

# setup_cli DIR: a fresh folder with its own copy of the binary, hence its own
# settings file and backup folder.
setup_cli() {
    mkdir -p "$1"
    cp "$CLI" "$1/tsumugiya-cli"
}

# make_save PATH BYTES: random data, so nothing compresses or dedups.
make_save() {
    head -c "$2" /dev/urandom >"$1"
    touch -d '2023-03-06 04:01:08' "$1"
}

# --- backup and restore against cp -p && sync -------------------------------
# bench_copy LABEL BYTES REPS
bench_copy() {
    local label=$1 bytes=$2 reps=$3 i t n a='' b=''
    local dir="$WORK/copy-${label// /}" ref="$WORK/ref-${label// /}"
    local tsu_b=() ref_b=() tsu_r=() ref_r=()
    note "backup/restore $label ..."
    setup_cli "$dir"
    mkdir -p "$ref"
    local bin="$dir/tsumugiya-cli" save="$dir/slot1.dat"
    make_save "$save" "$bytes"
    cp -p "$save" "$ref/slot1.dat"
    "$bin" use "$save" >/dev/null || die "$bin use failed"

    # Warm the page cache and the binary once, untimed, on both sides.
    run_timed t "$bin" backup --memo warm
    rm -f "$dir/backup/"*_warm
    run_timed t cp_sync "$ref/slot1.dat" "$ref/warm"
    rm -f "$ref/warm"

    for ((i = 1; i <= reps; i++)); do
        TSU_CMD=("$bin" backup --memo "b$i")
        REF_CMD=(cp_sync "$ref/slot1.dat" "$ref/b$i")
        pair "$i" tsu_b ref_b
        [[ -n $(compgen -G "$dir/backup/*_b$i") ]] || die "backup b$i was not made"
        # Only disk space is at stake here; the copies were checked above.
        rm -f "$dir/backup/"*_b"$i" "$ref/b$i"
    done
    record "backup $label" tsu_b ref_b 1.1

    # Two backups that differ in content and time, to restore in turn.
    "$bin" backup --memo ra >/dev/null || die "backup ra failed"
    printf 'different' | dd of="$save" conv=notrunc status=none
    touch -d '2023-03-06 05:02:09' "$save"
    "$bin" backup --memo rb >/dev/null || die "backup rb failed"
    local names=()
    mapfile -t names < <("$bin" list)
    for n in "${names[@]}"; do
        case $n in
            *_ra) a=$n ;;
            *_rb) b=$n ;;
        esac
    done
    [[ -n $a && -n $b ]] || die "restore backups missing from the list"
    cp -p "$dir/backup/$a" "$ref/a"
    cp -p "$dir/backup/$b" "$ref/b"

    run_timed t "$bin" restore "$b" --yes
    run_timed t cp_sync "$ref/b" "$ref/slot1.dat"
    # Odd runs restore a, even runs b, so every restore changes the save file.
    local from last
    for ((i = 1; i <= reps; i++)); do
        if ((i % 2)); then from=a last=$a; else from=b last=$b; fi
        TSU_CMD=("$bin" restore "$last" --yes)
        REF_CMD=(cp_sync "$ref/$from" "$ref/slot1.dat")
        pair "$i" tsu_r ref_r
    done
    cmp -s "$save" "$dir/backup/$last" || die "restore $label did not bring back $last"
    [[ $(stat -c %Y "$save") == $(stat -c %Y "$dir/backup/$last") ]] ||
        die "restore $label did not keep the modification time"
    record "restore $label" tsu_r ref_r 1.1
    rm -rf "$dir" "$ref"
}

# --- list against ls -t -------------------------------------------------------
# make_backups FOLDER COUNT: empty backups named as the tool names them, each
# with its own modification time.
make_backups() {
    mkdir -p "$1"
    if command -v python3 >/dev/null; then
        python3 - "$1" "$2" <<'EOF'
import os, sys, time
folder, count = sys.argv[1], int(sys.argv[2])
start = 1678042868  # 2023-03-06
for n in range(count):
    t = start + 61 * n
    name = time.strftime("slot1.dat.save.%Y年%m月%d日%H時%M分%S秒", time.localtime(t))
    path = os.path.join(folder, f"{name}_{n}")
    open(path, "wb").close()
    os.utime(path, (t, t))
EOF
    else
        local i t name
        for ((i = 0; i < $2; i++)); do
            t=$((1678042868 + 61 * i))
            printf -v name 'slot1.dat.save.%(%Y年%m月%d日%H時%M分%S秒)T_%d' "$t" "$i"
            touch -d "@$t" "$1/$name"
        done
    fi
}

bench_list() {
    local dir="$WORK/list" i t tsu=() ls_t=()
    note "list of $LIST_COUNT backups ..."
    setup_cli "$dir"
    make_backups "$dir/backup" "$LIST_COUNT"
    sync
    local bin="$dir/tsumugiya-cli" got
    got=$("$bin" list | wc -l)
    ((got == LIST_COUNT)) || die "list shows $got of $LIST_COUNT backups"
    # Same order as ls -t, or the comparison would not be like for like.
    cmp -s <("$bin" list) <(ls -t "$dir/backup") ||
        note "  warning: tsumugiya list and ls -t disagree on the order"
    TSU_CMD=("$bin" list)
    REF_CMD=(ls -t "$dir/backup")
    run_timed t "${REF_CMD[@]}"
    for ((i = 1; i <= REPS_LIST; i++)); do
        pair "$i" tsu ls_t
    done
    record "list $LIST_COUNT backups" tsu ls_t 1.5
    rm -rf "$dir"
}

# --- a restore among many backups ----------------------------------------------
# Before the safety copy is replaced its state is looked for among the
# backups, which costs one pass over the folder. With TSUMUGIYA_CLI_BEFORE (a
# build without that pass) the same restores run with it too, in the same rounds.
bench_crowded_restore() {
    local bins=("$CLI") i k t
    if [[ -n ${TSUMUGIYA_CLI_BEFORE:-} ]]; then
        [[ -x $TSUMUGIYA_CLI_BEFORE ]] || die "TSUMUGIYA_CLI_BEFORE is not an executable"
        bins+=("$TSUMUGIYA_CLI_BEFORE")
    fi
    note "restore 1 MiB among $LIST_COUNT backups ..."
    local ref="$WORK/ref-crowded" samples_0=() samples_1=() ref_t=()
    mkdir -p "$ref"
    make_save "$ref/a" $((1 << 20))
    make_save "$ref/b" $((1 << 20))
    touch -d '2023-03-06 05:02:09' "$ref/b"
    cp -p "$ref/a" "$ref/slot1.dat"
    for k in "${!bins[@]}"; do
        local dir="$WORK/crowded-$k"
        mkdir -p "$dir"
        cp "${bins[$k]}" "$dir/tsumugiya-cli"
        make_backups "$dir/backup" "$LIST_COUNT"
        cp -p "$ref/a" "$dir/backup/slot1.dat.save.ra"
        cp -p "$ref/b" "$dir/backup/slot1.dat.save.rb"
        cp -p "$ref/a" "$dir/slot1.dat"
        "$dir/tsumugiya-cli" use "$dir/slot1.dat" >/dev/null || die "use failed"
        run_timed t "$dir/tsumugiya-cli" restore slot1.dat.save.rb --yes
    done
    # Each round restores the other backup with every binary and copies it
    # with cp, in an order that turns with the round.
    local from runners=("${!bins[@]}" ref) n j who
    n=${#runners[@]}
    for ((i = 1; i <= REPS_LIST; i++)); do
        if ((i % 2)); then from=a; else from=b; fi
        for ((j = 0; j < n; j++)); do
            who=${runners[$(((i + j) % n))]}
            sync
            if [[ $who == ref ]]; then
                run_timed t cp_sync "$ref/$from" "$ref/slot1.dat"
                ref_t+=("$t")
            else
                run_timed t "$WORK/crowded-$who/tsumugiya-cli" restore "slot1.dat.save.r$from" --yes
                local -n into="samples_$who"
                into+=("$t")
                unset -n into
            fi
        done
    done
    for k in "${!bins[@]}"; do
        cmp -s "$WORK/crowded-$k/slot1.dat" "$ref/$from" || die "restore among many did not work"
    done
    record "restore, $LIST_COUNT backups" samples_0 ref_t 0 200
    if ((${#bins[@]} > 1)); then
        # The baseline of this row is the build without the pass.
        record "  the same, vs before" samples_0 samples_1 1.1
    fi
    rm -rf "$WORK"/crowded-* "$ref"
}

# --- a small backup end to end ------------------------------------------------
bench_small() {
    local dir="$WORK/small" ref="$WORK/ref-small" i t got tsu=() ref_t=()
    note "backup 4 KiB end to end ..."
    setup_cli "$dir"
    mkdir -p "$ref"
    local bin="$dir/tsumugiya-cli"
    make_save "$dir/slot1.dat" 4096
    "$bin" use "$dir/slot1.dat" >/dev/null || die "$bin use failed"
    run_timed t "$bin" backup --memo warm
    for ((i = 1; i <= REPS_4K; i++)); do
        TSU_CMD=("$bin" backup --memo "s$i")
        REF_CMD=(cp_sync "$dir/slot1.dat" "$ref/s$i")
        pair "$i" tsu ref_t
    done
    got=$(compgen -G "$dir/backup/*_s*" | wc -l)
    ((got == REPS_4K)) || die "only $got of $REPS_4K small backups were made"
    record "backup 4 KiB end to end" tsu ref_t 0 10
    rm -rf "$dir" "$ref"
}

started=$SECONDS
note "tsumugiya benchmark: $CLI (${build_type:-unknown build type})"
note "scratch: $WORK ($fs_type), $(nproc) cores, kernel $(uname -r), $(cp --version | head -n1)"
cases=("${@:-copy list crowded small}")
for c in ${cases[*]}; do
    case $c in
        copy)
            bench_copy "1 MiB" $((1 << 20)) "$REPS_1M"
            bench_copy "100 MiB" $((100 << 20)) "$REPS_100M"
            ;;
        list) bench_list ;;
        crowded) bench_crowded_restore ;;
        small) bench_small ;;
        *) die "unknown case $c (copy, list, crowded, small)" ;;
    esac
done

echo
echo "Medians in ms; baseline is 'cp -p SRC DST && sync' for copies and 'ls -t' for list."
printf '%-24s %12s %12s %7s %10s  %s\n' case tsumugiya baseline ratio target result
printf '%-24s %12s %12s %7s %10s  %s\n' ------------------------ ------------ ------------ \
    ------- ---------- ------
printf '%s\n' "${ROWS[@]}"
echo "($((SECONDS - started)) s)"
exit "$MISSED"
