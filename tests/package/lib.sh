# shellcheck shell=bash
# Shared by the package checks.
# shellcheck source=SCRIPTDIR/../support/report.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/report.sh"
# The one .deb that build-deb.sh made in OUT.
package_file() {
    local found=("$1"/cpack/*.deb)
    [[ ${#found[@]} -eq 1 && -f ${found[0]} ]] ||
        fail "expected one .deb in $1/cpack (run the package.deb test first), found: ${found[*]}"
    printf '%s\n' "${found[0]}"
}
