# shellcheck shell=bash
# Shared by the package checks: how they report.
fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
skip() {
    printf 'SKIP: %s\n' "$*" >&2
    exit 77
}
# The one .deb that build-deb.sh made in OUT.
package_file() {
    local found=("$1"/cpack/*.deb)
    [[ ${#found[@]} -eq 1 && -f ${found[0]} ]] ||
        fail "expected one .deb in $1/cpack (run the package.deb test first), found: ${found[*]}"
    printf '%s\n' "${found[0]}"
}
