# shellcheck shell=bash
# How the shell-driven tests end: FAIL is a fault (1), SKIP means the
# machine lacks what the test needs (77, CTest's skip code here).
fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
skip() {
    printf 'SKIP: %s\n' "$*" >&2
    exit 77
}
