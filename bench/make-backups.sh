# shellcheck shell=bash
# make_backups FOLDER COUNT [MEMO]: empty backups of slot1.dat named as the
# tool names them (memo MEMO0, MEMO1, ...), each with its own modification
# time, a minute apart from 2023-03-06 on.
make_backups() {
    mkdir -p "$1"
    if command -v python3 >/dev/null; then
        # One process rather than one touch per backup.
        python3 - "$1" "$2" "${3:-}" <<'EOF'
import os, sys, time
folder, count, memo = sys.argv[1], int(sys.argv[2]), sys.argv[3]
for n in range(count):
    t = 1678042868 + 61 * n
    name = time.strftime("slot1.dat.save.%Y年%m月%d日%H時%M分%S秒", time.localtime(t))
    path = os.path.join(folder, f"{name}_{memo}{n}")
    open(path, "wb").close()
    os.utime(path, (t, t))
EOF
    else
        local i t name
        for ((i = 0; i < $2; i++)); do
            t=$((1678042868 + 61 * i))
            printf -v name 'slot1.dat.save.%(%Y年%m月%d日%H時%M分%S秒)T_%s%d' "$t" "${3:-}" "$i"
            touch -d "@$t" "$1/$name"
        done
    fi
}
