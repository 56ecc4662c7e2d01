#!/usr/bin/env bash
# Times tsumugiya-cli against the plain shell commands that do the same work,
# side by side in one run, and prints one table of medians, spreads and ratios.
#
#   bench/run-benchmarks.sh [CASE...]   copy, chunks, reflink, rss, list,
#                                       crowded, small (default: all)
#
# Environment (all optional):
#   TSUMUGIYA_CLI     binary to measure (default: <repo>/build/cli/tsumugiya-cli,
#                     configured and built first when missing)
#   BENCH_TMPDIR      where the scratch folder goes (default: $TMPDIR or /tmp);
#                     put it on the disk you care about: fsync is free on tmpfs
#   BENCH_KEEP=1      keep the scratch folder afterwards
#   COPY_SIZES        the copy series, "LABEL:BYTES:REPS ..." (default 4 KiB to 1 GiB)
#   REPS_1G REPS_LIST REPS_4K LIST_COUNT   repetitions and list size
#   PLOT_PNG          where the copy plot goes (default: <repo>/docs/bench-copy.png)
#   TSUMUGIYA_CLI_BEFORE  an older build to time the restore among many backups
#                     against, side by side
#
# Exit status: 0 every target met, 1 a target missed, 2 the run itself failed.

# Functions run through traps and run_timed, arrays filled through namerefs,
# one row format for the whole table:
# shellcheck disable=SC2317,SC2034,SC2059
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/make-backups.sh
source "$REPO/bench/make-backups.sh"
BUILD_DIR="$REPO/build"
CLI=${TSUMUGIYA_CLI:-$BUILD_DIR/cli/tsumugiya-cli}
REPS_1G=${REPS_1G:-5}
COPY_SIZES=${COPY_SIZES:-"4KiB:4096:21 64KiB:65536:21 1MiB:1048576:15 16MiB:16777216:9 128MiB:134217728:7 1GiB:1073741824:$REPS_1G"}
PLOT_PNG=${PLOT_PNG:-$REPO/docs/bench-copy.png}
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
    cmake --build "$BUILD_DIR" --target tsumugiya-cli bench-copy-chunks >/dev/null ||
        die "build failed"
    [[ -x $CLI ]] || die "build did not produce $CLI"
fi
# The copy with a chosen chunk size, built beside the CLI.
CHUNKS_PROBE=$(dirname "$(dirname "$CLI")")/bench/copy/bench-copy-chunks
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
    reflink_cleanup
    if [[ ${BENCH_KEEP:-0} == 1 ]]; then
        note "kept $WORK"
    else
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT
trap 'exit 2' INT TERM
ERR_LOG="$WORK/stderr.log"

fs_type=$(findmnt -n -o FSTYPE -T "$WORK" 2>/dev/null || stat -f -c %T "$WORK")
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
# "median (min-max)" in ms, fewer decimals as the figures grow.
summary_ms() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 / 1000 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    f = m < 100 ? "%.2f (%.2f-%.2f)" : "%.0f (%.0f-%.0f)"; printf f, m, v[1], v[NR] }'; }

ROWS=()
MISSED=0
TABLE_FORMAT='%-34s %24s %24s %6s %9s  %s'
# add_row CASE TSUMUGIYA BASELINE RATIO TARGET RESULT: one line of the table.
add_row() {
    [[ $6 == MISS ]] && MISSED=1
    ROWS+=("$(printf "$TABLE_FORMAT" "$@")")
}

# record CASE TSU_SAMPLES_NAME BASE_SAMPLES_NAME RATIO_TARGET [ABS_TARGET_MS]
# With ABS_TARGET_MS the verdict is on tsumugiya's own median; the baseline
# and ratio are then shown for context only. A ratio target of - sets none.
record() {
    local -n rec_tsu=$2 rec_ref=$3
    local name=$1 ratio_target=$4 abs_target=${5:-} tm bm ratio target ok
    tm=$(median_ms "${rec_tsu[@]}")
    bm=$(median_ms "${rec_ref[@]}")
    ratio=$(awk -v a="$tm" -v b="$bm" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    if [[ -n $abs_target ]]; then
        target="< $abs_target ms"
        ok=$(awk -v a="$tm" -v t="$abs_target" 'BEGIN { print ((a + 0 < t + 0) ? "PASS" : "MISS") }')
    elif [[ $ratio_target == - ]]; then
        target=- ok=-
    else
        target="<= $ratio_target"
        ok=$(awk -v r="$ratio" -v t="$ratio_target" 'BEGIN { print ((r + 0 <= t + 0) ? "PASS" : "MISS") }')
    fi
    note "  $name: tsumugiya $tm ms, baseline $bm ms, n=${#rec_tsu[@]}"
    add_row "$name" "$(summary_ms "${rec_tsu[@]}")" "$(summary_ms "${rec_ref[@]}")" "$ratio" \
        "$target" "$ok"
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
# needs_space BYTES: whether the scratch disk has that much free.
needs_space() {
    local avail
    avail=$(df -Pk "$WORK" | awk 'NR == 2 { print $4 }')
    ((avail * 1024 > $1))
}

# bench_copy LABEL BYTES REPS TARGET: adds the medians to $PLOT_DATA too.
bench_copy() {
    local label=$1 bytes=$2 reps=$3 target=$4 i t n a='' b=''
    if ! needs_space $((bytes * 8)); then
        note "backup/restore $label skipped: less than $((bytes * 8 >> 20)) MiB free"
        return
    fi
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
    record "backup $label" tsu_b ref_b "$target"

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
    record "restore $label" tsu_r ref_r "$target"
    printf '%s %s %s %s %s %s\n' "$bytes" "$label" "$(median_ms "${tsu_b[@]}")" \
        "$(median_ms "${ref_b[@]}")" "$(median_ms "${tsu_r[@]}")" "$(median_ms "${ref_r[@]}")" \
        >>"$PLOT_DATA"
    rm -rf "$dir" "$ref"
}

# The series from COPY_SIZES; below 1 MiB a process start is most of the
# time, so those sizes are shown for the plot and have no target.
bench_copy_series() {
    local entry label bytes reps
    PLOT_DATA="$WORK/copy.dat"
    : >"$PLOT_DATA"
    for entry in $COPY_SIZES; do
        IFS=: read -r label bytes reps <<<"$entry"
        bench_copy "$label" "$bytes" "$reps" "$( ((bytes >= 1 << 20)) && echo 1.1 || echo -)"
    done
    plot_copy
}

# Time against size, log-log, tsumugiya beside cp -p && sync.
plot_copy() {
    if ! command -v gnuplot >/dev/null; then
        install_tools gnuplot-nox || {
            note "no plot: gnuplot is missing (apt-get install gnuplot-nox)"
            return
        }
    fi
    [[ -s $PLOT_DATA ]] || return 0
    mkdir -p "$(dirname "$PLOT_PNG")"
    gnuplot <<EOF || note "gnuplot failed; no plot"
set terminal pngcairo size 900,600 font "sans,11"
set output "$PLOT_PNG"
set title "Backup and restore against cp -p + sync (medians, $(nproc) cores, $fs_type)"
set logscale xy
set xlabel "save size"
set ylabel "time (ms)"
set grid
set key top left
set xtics ("4 KiB" 4096, "64 KiB" 65536, "1 MiB" 1048576, "16 MiB" 16777216, \
    "128 MiB" 134217728, "1 GiB" 1073741824)
plot "$PLOT_DATA" using 1:3 with linespoints lw 2 pt 7 title "tsumugiya-cli backup", \
     "$PLOT_DATA" using 1:5 with linespoints lw 2 pt 5 title "tsumugiya-cli restore", \
     "$PLOT_DATA" using 1:4 with linespoints lw 2 pt 6 dt 2 title "cp -p + sync (as backup)", \
     "$PLOT_DATA" using 1:6 with linespoints lw 2 pt 4 dt 2 title "cp -p + sync (as restore)"
EOF
    [[ -s $PLOT_PNG ]] && note "plot: $PLOT_PNG"
}

# --- chunks with progress against one kernel call ------------------------------
# The same 1 GiB copy as a backup makes it, in the chunks that progress is
# told between, and with one chunk of 1 GiB: one kernel call.
bench_chunks() {
    local dir="$WORK/chunks" i t told chunked=() whole=()
    [[ -x $CHUNKS_PROBE ]] || { note "chunks skipped: no $CHUNKS_PROBE"; return; }
    needs_space $((3 << 30)) || { note "chunks skipped: less than 3 GiB free"; return; }
    note "1 GiB copy, chunks against one call ..."
    mkdir -p "$dir"
    make_save "$dir/save" $((1 << 30))
    told=$("$CHUNKS_PROBE" $((32 << 20)) "$dir/save" "$dir/copy")
    ((told == 32)) || die "a 1 GiB copy in 32 MiB chunks told progress $told times, not 32"
    cmp -s "$dir/save" "$dir/copy" || die "the chunked copy differs"
    run_timed t "$CHUNKS_PROBE" $((1 << 30)) "$dir/save" "$dir/copy"
    for ((i = 1; i <= REPS_1G; i++)); do
        TSU_CMD=("$CHUNKS_PROBE" $((32 << 20)) "$dir/save" "$dir/copy")
        REF_CMD=("$CHUNKS_PROBE" $((1 << 30)) "$dir/save" "$dir/copy")
        pair "$i" chunked whole
    done
    record "1 GiB: 32 MiB chunks / one call" chunked whole 1.05
    rm -rf "$dir"
}

# --- peak memory ---------------------------------------------------------------
# Peak RSS of a 1 GiB backup and restore: the data must not pass through a
# buffer of ours.
bench_rss() {
    local dir="$WORK/rss" kib_b kib_r kib_c n
    if [[ ! -x /usr/bin/time ]] && ! install_tools time; then
        note "rss skipped: /usr/bin/time is missing (apt-get install time)"
        return
    fi
    needs_space $((4 << 30)) || { note "rss skipped: less than 4 GiB free"; return; }
    note "peak memory, 1 GiB ..."
    setup_cli "$dir"
    local bin="$dir/tsumugiya-cli"
    make_save "$dir/slot1.dat" $((1 << 30))
    "$bin" use "$dir/slot1.dat" >/dev/null || die "use failed"
    /usr/bin/time -f %M -o "$dir/b.kib" "$bin" backup --memo m >/dev/null || die "backup failed"
    n=$(cd "$dir/backup" && compgen -G '*_m')
    printf 'x' | dd of="$dir/slot1.dat" conv=notrunc status=none
    /usr/bin/time -f %M -o "$dir/r.kib" "$bin" restore "$n" --yes >/dev/null || die "restore failed"
    cmp -s "$dir/slot1.dat" "$dir/backup/$n" || die "the measured restore did not restore"
    /usr/bin/time -f %M -o "$dir/c.kib" cp -p "$dir/slot1.dat" "$dir/c" || die "cp failed"
    kib_b=$(tail -n1 "$dir/b.kib") kib_r=$(tail -n1 "$dir/r.kib") kib_c=$(tail -n1 "$dir/c.kib")
    local what kib
    for what in backup restore; do
        kib=$([[ $what == backup ]] && echo "$kib_b" || echo "$kib_r")
        add_row "peak RSS, $what 1 GiB" "$(awk -v k="$kib" 'BEGIN { printf "%.1f MiB", k / 1024 }')" \
            "$(awk -v k="$kib_c" 'BEGIN { printf "%.1f MiB (cp -p)", k / 1024 }')" - "< 16 MiB" \
            "$( ((kib < 16 * 1024)) && echo PASS || echo MISS)"
    done
    rm -rf "$dir"
}

# --- reflinks -------------------------------------------------------------------
# install_tools PACKAGE...: apt-get as root, else false.
install_tools() {
    (($(id -u) == 0)) || return 1
    note "installing $* ..."
    local apt=(env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@")
    "${apt[@]}" >/dev/null 2>&1 || { apt-get update -qq >/dev/null 2>&1 && "${apt[@]}" >/dev/null 2>&1; }
}

used_kib() { df -Pk "$1" | awk 'NR == 2 { print $3 }'; }

# A file system that shares extents, in an image on a loop device: a backup
# there must be a clone (fast, no space) and still a copy of its own.
REFLINK_MOUNT=''
bench_reflink() {
    local fs
    if (($(id -u) != 0)); then
        note "reflink skipped: mounting an image takes root"
        return
    fi
    for fs in xfs btrfs; do
        bench_reflink_on "$fs"
    done
}

reflink_cleanup() {
    if [[ -n $REFLINK_MOUNT ]]; then
        cd "$WORK"
        umount "$REFLINK_MOUNT" 2>/dev/null || umount -l "$REFLINK_MOUNT" 2>/dev/null || true
        REFLINK_MOUNT=''
    fi
}

bench_reflink_on() {
    local fs=$1 img="$WORK/$1.img" mnt="$WORK/$1.mnt" i t tsu=() ref_t=() mkfs
    case $fs in
        xfs) mkfs=(mkfs.xfs -q -m reflink=1) ;;
        btrfs) mkfs=(mkfs.btrfs -q) ;;
    esac
    if ! command -v "${mkfs[0]}" >/dev/null; then
        install_tools "$([[ $fs == xfs ]] && echo xfsprogs || echo btrfs-progs)" ||
            { note "reflink on $fs skipped: ${mkfs[0]} is missing"; return; }
    fi
    needs_space $((4 << 30)) || { note "reflink skipped: less than 4 GiB free"; return; }
    truncate -s 3G "$img"
    if ! "${mkfs[@]}" "$img" >/dev/null 2>&1; then
        note "reflink on $fs skipped: ${mkfs[*]} failed"
        rm -f "$img"
        return
    fi
    mkdir -p "$mnt"
    if ! mount -o loop "$img" "$mnt" 2>/dev/null; then
        note "reflink on $fs skipped: loop devices or mounting refused here"
        rm -rf "$img" "$mnt"
        return
    fi
    REFLINK_MOUNT=$mnt
    note "reflink backup on $fs ..."
    local dir="$mnt/app" before after first
    setup_cli "$dir"
    local bin="$dir/tsumugiya-cli"
    make_save "$dir/slot1.dat" $((1 << 30))
    "$bin" use "$dir/slot1.dat" >/dev/null || die "use failed"
    run_timed t "$bin" backup --memo warm
    sync
    before=$(used_kib "$mnt")
    for ((i = 1; i <= REPS_1G; i++)); do
        TSU_CMD=("$bin" backup --memo "r$i")
        REF_CMD=(cp_sync "$dir/slot1.dat" "$mnt/cp$i")
        pair "$i" tsu ref_t
    done
    sync
    after=$(used_kib "$mnt")
    record "reflink backup 1 GiB ($fs)" tsu ref_t 0 50
    # All the copies above together: metadata at most.
    add_row "  space, $((2 * REPS_1G)) copies ($fs)" "$((after - before)) KiB" - - "< 1 MiB" \
        "$( ((after - before < 1024)) && echo PASS || echo MISS)"
    # A write to the save leaves the backup as it was.
    local first kept changed
    first=$(head -c 1048576 "$dir/slot1.dat" | cksum)
    head -c 1048576 /dev/urandom | dd of="$dir/slot1.dat" conv=notrunc status=none
    sync
    kept=$(head -c 1048576 "$dir/backup/$(cd "$dir/backup" && compgen -G '*_r1')" | cksum)
    changed=$(head -c 1048576 "$dir/slot1.dat" | cksum)
    add_row "  backup after a save write ($fs)" "$([[ $kept == "$first" ]] && echo kept || echo changed)" \
        - - kept "$([[ $kept == "$first" && $changed != "$first" ]] && echo PASS || echo MISS)"
    # Whether the kernel's copy_file_range alone already shares extents here.
    if [[ -x /usr/bin/python3 ]]; then
        before=$(used_kib "$mnt")
        /usr/bin/python3 - "$dir/slot1.dat" "$mnt/cfr" <<'EOF'
import os, sys
with open(sys.argv[1], "rb") as i, open(sys.argv[2], "wb") as o:
    while os.copy_file_range(i.fileno(), o.fileno(), 32 << 20) > 0:
        pass
    os.fsync(o.fileno())
EOF
        sync
        after=$(used_kib "$mnt")
        add_row "  copy_file_range alone ($fs)" "$((after - before)) KiB" - - info \
            "$( ((after - before < 1024)) && echo shares || echo copies)"
    fi
    reflink_cleanup
    rm -rf "$img" "$mnt"
}

# --- list against ls -t -------------------------------------------------------
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
cases=("${@:-copy chunks reflink rss list crowded small}")
for c in ${cases[*]}; do
    case $c in
        copy) bench_copy_series ;;
        chunks) bench_chunks ;;
        reflink) bench_reflink ;;
        rss) bench_rss ;;
        list) bench_list ;;
        crowded) bench_crowded_restore ;;
        small) bench_small ;;
        *) die "unknown case $c (copy, chunks, reflink, rss, list, crowded, small)" ;;
    esac
done

echo
echo "Times in ms: median (min-max). Baseline: 'cp -p SRC DST && sync' for copies,"
echo "'ls -t' for list, one 1 GiB kernel call for chunks. Ratio: median over median."
printf "$TABLE_FORMAT\n" case tsumugiya baseline ratio target result
printf "$TABLE_FORMAT\n" ---------------------------------- ------------------------ \
    ------------------------ ------ --------- ------
printf '%s\n' "${ROWS[@]}"
echo "($((SECONDS - started)) s)"
exit "$MISSED"
