#!/usr/bin/env bash
# Checks what the .deb that build-deb.sh made holds: its name and
# dependencies, the version in each file that names one, its exact file
# list, a valid desktop entry and AppStream file that point at what is
# installed, a manual page entry for every command and option, the user
# unit, and neither error nor warning from lintian, which checks owners,
# modes, icon sizes, stripped binaries, the desktop entry's command and how
# the manual pages render.
#
# Usage: check-contents.sh OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

[[ $# -eq 1 ]] || fail "usage: $0 OUT"
out=$1
deb=$(package_file "$out")
root=$out/root
problems=()
problem() { problems+=("$*"); }

# --- name, dependencies, and the version everywhere -----------------------------
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg --print-architecture)
[[ ${deb##*/} == "tsumugiya_${version}_${arch}.deb" ]] ||
    problem "package file is ${deb##*/}, expected tsumugiya_${version}_${arch}.deb"
depends=$(dpkg-deb -f "$deb" Depends)
# The fonts, libnotify4 and libcanberra0 are named by hand; libc6, the Qt
# library and xcb's key symbols only appear when dpkg-shlibdeps read the binaries.
for package in fonts-ipafont-gothic fonts-ipafont-mincho libnotify4 libcanberra0 libc6 \
    libqt6widgets6 libxcb-keysyms1 libstdc++6; do
    [[ ", $depends," == *", $package"[\ ,]* ]] || problem "Depends lacks $package: $depends"
done
# The changelog's newest entry, the manual pages' headers and the metainfo's
# newest release: res/ has to follow project(VERSION).
while read -r file first; do
    [[ $(zcat -f "$root/usr/share/$file" | grep -m1 -e "$first") == *[\ \(\"]"$version"[\ \)\"]* ]] ||
        problem "the first '$first' line of /usr/share/$file does not name the package's version $version"
done <<'EOF'
doc/tsumugiya/changelog.gz ^tsumugiya (
man/man1/tsumugiya.1.gz ^\.TH
man/man1/tsumugiya-cli.1.gz ^\.TH
metainfo/io.github.tsumugiya.metainfo.xml <release version
EOF

# --- the file list: exactly these, with these modes ------------------------------
expected="-rwxr-xr-x ./usr/bin/tsumugiya
-rwxr-xr-x ./usr/bin/tsumugiya-cli
-rw-r--r-- ./usr/lib/systemd/user/tsumugiya-watch.service
-rw-r--r-- ./usr/share/applications/io.github.tsumugiya.desktop
-rw-r--r-- ./usr/share/doc/tsumugiya/changelog.gz
-rw-r--r-- ./usr/share/doc/tsumugiya/copyright
-rw-r--r-- ./usr/share/icons/hicolor/16x16/apps/tsumugiya.png
-rw-r--r-- ./usr/share/icons/hicolor/256x256/apps/tsumugiya.png
-rw-r--r-- ./usr/share/icons/hicolor/32x32/apps/tsumugiya.png
-rw-r--r-- ./usr/share/icons/hicolor/48x48/apps/tsumugiya.png
-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/tsumugiya.svg
-rw-r--r-- ./usr/share/man/man1/tsumugiya-cli.1.gz
-rw-r--r-- ./usr/share/man/man1/tsumugiya.1.gz
-rw-r--r-- ./usr/share/metainfo/io.github.tsumugiya.metainfo.xml"
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $6}' | LC_ALL=C sort -k2)
[[ $actual == "$expected" ]] ||
    problem "file list differs (- expected, + in the package):
$(diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | grep '^[<>]' | sed 's/^</-/; s/^>/+/')"

# --- desktop entry and AppStream metadata ------------------------------------
desktop=$root/usr/share/applications/io.github.tsumugiya.desktop
report=$(desktop-file-validate "$desktop" 2>&1 || echo "(exit status $?)")
[[ -z $report ]] || problem "desktop-file-validate: $report"
icon=$(sed -n 's/^Icon=//p' "$desktop" 2>/dev/null) || true
[[ -n $icon && -f $root/usr/share/icons/hicolor/scalable/apps/$icon.svg ]] ||
    problem "the desktop entry's icon '$icon' is not in the hicolor theme"
# The whole tree: the metainfo, and the desktop entry it launches.
report=$(appstreamcli validate-tree --no-net --pedantic "$root" 2>&1) ||
    problem "appstreamcli validate-tree: $report"

# --- the manual page -------------------------------------------------------------
# Each command the program's own usage lists, and each long option it
# mentions, needs an entry of its own (a tag line), not just a mention.
help=$("$root/usr/bin/tsumugiya-cli" --help) || problem "tsumugiya-cli --help failed"
commands=$(sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$help")
[[ -n $commands ]] || problem "found no commands in tsumugiya-cli --help:
$help"
options=$( (grep -o -- '--[a-z][a-z-]*' <<<"$help"; printf '%s\n' --help --version --notify) | sort -u)
# Rendered wide, with words hyphenated across lines joined again.
text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$root/usr/share/man/man1/tsumugiya-cli.1.gz" |
    sed -e ':a' -e '/‐$/{N;s/‐\n *//;ba}') || problem "man cannot show tsumugiya-cli(1)"
for word in $commands $options; do
    grep -Eq -- "^ {7}(-[a-z], )?$word([ =,]|\$)" <<<"$text" || problem "tsumugiya-cli(1) has no entry for $word"
done

# --- the user unit runs the installed program's watch (the file list has no link enabling it)
start=$(sed -n 's/^ExecStart=//p' "$root/usr/lib/systemd/user/tsumugiya-watch.service" 2>/dev/null) || true
[[ $start == *" watch" && -x $root${start% watch} ]] ||
    problem "tsumugiya-watch.service starts '$start', not the installed tsumugiya-cli watch"

# --- lintian --------------------------------------------------------------------
command -v lintian >/dev/null || fail "lintian is not on PATH (Debian package lintian)"
# --allow-root: the suite runs as root on the build machines.
report=$(lintian --allow-root --fail-on error,warning --display-info "$deb" 2>&1) ||
    problem "lintian reports errors or warnings:
$report"

((${#problems[@]} == 0)) || fail "the package is not as expected:$(printf '\n- %s' "${problems[@]}")"
echo "package contents as expected"
