#!/usr/bin/env bash
# Times tsumugiya-cli watch: how soon a settled save is backed up, what it
# costs while nothing happens, a huge save written slowly, and the pool's
# prune among many other backups. Prints one row per case with its target.
#
#   bench/auto-backup.sh [CASE...]   latency, idle, big, prune (default: all)
#
# Environment (all optional):
#   TSUMUGIYA_CLI   binary to measure (default: <repo>/build/cli/tsumugiya-cli)
#   BENCH_TMPDIR    where the scratch folder goes (default: $TMPDIR or /tmp)
#   SETTLE          [AutoBackup] settle= for latency and big (default 2)
#   IDLE_SECONDS    length of the idle case (default 60; 600 for the figure)
#   REPS            latency and prune repetitions (default 7)
#   OTHERS          other backups beside the pool in the prune case (default 100000)
#
# Exit status: 0 every target met, 1 a target missed, 2 the run itself failed.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/make-backups.sh
source "$REPO/bench/make-backups.sh"
CLI=${TSUMUGIYA_CLI:-$REPO/build/cli/tsumugiya-cli}
[[ -x $CLI ]] || { echo "auto-backup: build $CLI first" >&2; exit 2; }
scratch=$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/tsumugiya-auto-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cases=("$@")
((${#cases[@]})) || cases=(latency idle big prune)

# One python driver: it needs sub-millisecond clocks, /proc and polling.
MAKE_BACKUPS="$REPO/bench/make-backups.sh" python3 - "$CLI" "$scratch" "${SETTLE:-2}" "${IDLE_SECONDS:-60}" "${REPS:-7}" \
    "${OTHERS:-100000}" "${cases[@]}" <<'EOF'
import os, shutil, signal, statistics, subprocess, sys, time

cli, scratch, settle, idle, reps, others = sys.argv[1], sys.argv[2], float(sys.argv[3]), \
    float(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6])
cases = sys.argv[7:]
missed = False

def rig(name, settle, keep=30):
    root = os.path.join(scratch, name)
    os.makedirs(os.path.join(root, "saves"))
    shutil.copy(cli, os.path.join(root, "tsumugiya-cli"))
    with open(os.path.join(root, "tsumugiya.ini"), "w") as f:
        f.write(f"[SaveFile]\nfolder={root}/saves\nfilename=slot1.dat\n"
                f"[AutoBackup]\nsettle={settle}\nkeep={keep}\n")
    save = os.path.join(root, "saves", "slot1.dat")
    with open(save, "wb") as f:
        f.write(os.urandom(4096))
    return root, save

def automatic(root):
    folder = os.path.join(root, "backup")
    return {n for n in os.listdir(folder) if n.endswith("_自動")} if os.path.isdir(folder) else set()

def start(root):
    watch = subprocess.Popen([os.path.join(root, "tsumugiya-cli"), "watch"], cwd=root,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env={"TZ": "UTC0"})
    watch.stdout.readline()  # watching
    watch.stdout.readline()  # the state found at start
    return watch

def stop(watch):
    watch.send_signal(signal.SIGTERM)
    assert watch.wait(60) == 0, "watch did not end with 0 on SIGTERM"

def wait_new(root, before, limit):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        made = automatic(root) - before
        if made:
            return time.monotonic(), made
        time.sleep(0.002)
    return None, set()

def row(case, figure, target, ok):
    global missed
    missed |= not ok
    print(f"{case:<9} {figure:<52} {target:<24} {'PASS' if ok else 'MISS'}", flush=True)

def latency():
    root, save = rig("latency", settle)
    watch = start(root)
    delays = []
    for n in range(reps):
        before = automatic(root)
        with open(save, "wb") as f:
            f.write(os.urandom(1 << 20))
        written = time.monotonic()
        seen, made = wait_new(root, before, settle + 10)
        delays.append(seen - written if seen else float("inf"))
    stop(watch)
    median = statistics.median(delays)
    row("latency", f"last write -> committed backup, 1 MiB: median {median:.3f} s "
        f"({min(delays):.3f}-{max(delays):.3f})", f"<= settle+0.3 = {settle + 0.3:.1f} s",
        median <= settle + 0.3)

def ticks(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime

def idle_case():
    root, save = rig("idle", settle)
    watch = start(root)
    time.sleep(settle + 0.5)
    before = ticks(watch.pid)
    time.sleep(idle)
    spent = ticks(watch.pid) - before
    stop(watch)
    row("idle", f"CPU ticks of watch over {idle:.0f} s idle: {spent}", "0", spent == 0)

def big():
    root, save = rig("big", settle)
    watch = start(root)
    before = automatic(root)
    piece = os.urandom(1 << 20)
    with open(save, "wb") as f:  # 1 GiB over 5 s through one open, as a game writes
        started = time.monotonic()
        for n in range(1024):
            f.write(piece[:-8] + n.to_bytes(8, "little"))
            time.sleep(max(0, started + 5 * (n + 1) / 1024 - time.monotonic()))
    time.sleep(settle + 1)
    _, made = wait_new(root, before, 60)
    time.sleep(settle + 1)
    made = automatic(root) - before
    stop(watch)
    same = len(made) == 1 and subprocess.run(
        ["cmp", "-s", save, os.path.join(root, "backup", made.pop())]).returncode == 0
    row("big", f"1 GiB written over 5 s: {len(automatic(root) - before)} backup(s), "
        f"{'the final state' if same else 'NOT the final state'}", "exactly 1, the final", same)

def prune():
    root, save = rig("prune", 0.1)
    cmd = [os.path.join(root, "tsumugiya-cli"), "watch", "--once"]
    for n in range(31):  # a full pool
        with open(save, "wb") as f:
            f.write(n.to_bytes(4, "little") * 1024)
        os.utime(save, (1700000000 + n, 1700000000 + n))
        subprocess.run(cmd, cwd=root, check=True, stdout=subprocess.DEVNULL, env={"TZ": "UTC0"})
    subprocess.run(["bash", "-c", f"source {os.environ.get('MAKE_BACKUPS')}; "
                    f"make_backups {root}/backup {others} other"], check=True)
    times = []
    for n in range(reps):
        with open(save, "wb") as f:
            f.write((1000 + n).to_bytes(4, "little") * 1024)
        os.utime(save, (1800000000 + n, 1800000000 + n))
        started = time.monotonic()
        out = subprocess.run(cmd, cwd=root, check=True, capture_output=True, env={"TZ": "UTC0"})
        times.append(time.monotonic() - started)
        assert "削除" in out.stdout.decode(), out.stdout.decode()
    kept = len(automatic(root))
    median = statistics.median(times)
    row("prune", f"watch --once + prune, {others} others: median {median:.3f} s, "
        f"{kept} kept", "< 0.5 s, 30 kept", median < 0.5 and kept == 30)

for case in cases:
    {"latency": latency, "idle": idle_case, "big": big, "prune": prune}[case]()
sys.exit(1 if missed else 0)
EOF
