#!/usr/bin/env bash
# Builds the Debian package from this build tree with cpack and unpacks it
# into OUT/root for the checks that follow.
#
# Usage: build-deb.sh CPACK CPACK_CONFIG OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

[[ $# -eq 3 ]] || fail "usage: $0 CPACK CPACK_CONFIG OUT"
cpack=$1 config=$2 out=$3
for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || fail "$tool is not on PATH (Debian packages dpkg, dpkg-dev)"
done

rm -rf "$out"
mkdir -p "$out"
if ! "$cpack" -G DEB --config "$config" -B "$out/cpack" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log" >&2
    fail "cpack could not build the .deb"
fi
deb=$(package_file "$out")
dpkg-deb -x "$deb" "$out/root"
printf 'built %s, %s bytes\n' "${deb##*/}" "$(stat -c %s "$deb")"
