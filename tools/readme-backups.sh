# shellcheck shell=bash
# Sourced by the README picture scripts: readme_backups FOLDER fills FOLDER
# with the backups of an evening's play, each carrying its save time both in
# its name and as its mtime, as one the program made would; the quick backup
# sits among them by time. Needs TZ set.
readme_backups() {
    local folder=$1 base t name minutes memo
    base=$(date -d '2026-12-06 19:12:40' +%s)
    while read -r minutes memo; do
        t=$((base + minutes * 60 + minutes % 7))
        if [[ $memo == temp ]]; then
            name=slot1.dat.save.temp
        else
            name=slot1.dat.save.$(date -d "@$t" +%Y年%m月%d日%H時%M分%S秒)_$memo
        fi
        printf 'slot 1 at %s\n' "$t" >"$folder/$name"
        touch -d "@$t" "$folder/$name"
    done <<'LIST'
0 城の前
23 宝箱を開ける前
41 ボス戦の前
58 temp
77 魔王城に突入
96 二周目開始
118 隠しダンジョン入口
LIST
}
