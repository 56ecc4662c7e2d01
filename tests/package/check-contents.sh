#!/usr/bin/env bash
# Checks what the .deb that build-deb.sh made holds: its control fields, its
# exact file list with owners and modes, icons of the sizes their folders
# claim, a valid desktop entry and AppStream file that point at what is
# installed, manual pages that render cleanly and cover every command and
# option, and no error from lintian.
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

# --- control fields and the version everywhere ------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)
arch=$(dpkg --print-architecture)
[[ ${deb##*/} == "tsumugiya_${version}_${arch}.deb" ]] ||
    problem "package file is ${deb##*/}, expected tsumugiya_${version}_${arch}.deb"
[[ $(field Package) == tsumugiya ]] || problem "Package: $(field Package), expected tsumugiya"
[[ $(field Section) == utils ]] || problem "Section: $(field Section), expected utils"
changelog=$root/usr/share/doc/tsumugiya/changelog.gz
[[ -f $changelog && $(zcat "$changelog" | head -n 1) == "tsumugiya ($version) "* ]] ||
    problem "the changelog's newest entry is not for the package's version $version (res/changelog and project(VERSION) must agree)"
for page in tsumugiya tsumugiya-cli; do
    manual=$root/usr/share/man/man1/$page.1.gz
    [[ -f $manual && $(zcat "$manual" | grep -m1 '^\.TH') == *"\"Tsumugiya $version\""* ]] ||
        problem "the header of $page(1) does not name the package's version $version (res/man/$page.1)"
done
depends=$(field Depends)
# The fonts, libnotify4 and libcanberra0 are named by hand; libc6, the Qt
# library and xcb's key symbols only appear when dpkg-shlibdeps read the binaries.
for package in fonts-ipafont-gothic fonts-ipafont-mincho libnotify4 libcanberra0 libc6 \
    libqt6widgets6 libxcb-keysyms1 libstdc++6; do
    [[ ", $depends," == *", $package"[\ ,]* ]] || problem "Depends lacks $package: $depends"
done

# --- the file list: exactly these, root-owned, with these modes -------------
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
expected=$(LC_ALL=C sort -k2 <<<"$expected")
listing=$(dpkg-deb -c "$deb")
actual=$(awk '$1 !~ /^d/ {print $1, $6}' <<<"$listing" | LC_ALL=C sort -k2)
[[ $actual == "$expected" ]] ||
    problem "file list differs (- expected, + in the package):
$(diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | grep '^[<>]' | sed 's/^</-/; s/^>/+/')"
strangers=$(awk '$2 != "root/root" || ($1 ~ /^d/ && $1 != "drwxr-xr-x") {print}' <<<"$listing")
[[ -z $strangers ]] || problem "entries not root/root or directories not 0755:
$strangers"

for size in 16 32 48 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/tsumugiya.png
    [[ -f $icon ]] || continue
    file -b "$icon" | grep -q "PNG image data, $size x $size," ||
        problem "${icon#"$root"} is not a ${size}x${size} PNG: $(file -b "$icon")"
done
for program in tsumugiya tsumugiya-cli; do
    [[ -f $root/usr/bin/$program ]] || continue
    file -b "$root/usr/bin/$program" | grep -q 'ELF.*, stripped' ||
        problem "/usr/bin/$program is not a stripped ELF executable: $(file -b "$root/usr/bin/$program")"
done

# --- desktop entry and AppStream metadata ------------------------------------
desktop=$root/usr/share/applications/io.github.tsumugiya.desktop
metainfo=$root/usr/share/metainfo/io.github.tsumugiya.metainfo.xml
if [[ -f $desktop ]]; then
    report=$(desktop-file-validate "$desktop" 2>&1) || problem "desktop-file-validate: $report"
    [[ -z $report ]] || problem "desktop-file-validate has remarks: $report"
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [[ -n $exec_name && -x $root/usr/bin/$exec_name ]] ||
        problem "the desktop entry starts '$exec_name', which the package does not put in /usr/bin"
    icon_name=$(sed -n 's/^Icon=//p' "$desktop")
    [[ -f $root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg ]] ||
        problem "the desktop entry's icon '$icon_name' is not in the hicolor theme"
fi
if [[ -f $metainfo ]]; then
    # The whole tree: the metainfo, and the desktop entry it launches.
    report=$(appstreamcli validate-tree --no-net --pedantic "$root" 2>&1) ||
        problem "appstreamcli validate-tree: $report"
    grep -q "<release version=\"$version\"" "$metainfo" ||
        problem "the metainfo names no release $version, the package's version"
fi

# --- manual pages -------------------------------------------------------------
for page in tsumugiya tsumugiya-cli; do
    manual=$root/usr/share/man/man1/$page.1.gz
    [[ -f $manual ]] || continue
    # man-db's own checks, as lintian runs them: any groff warning is a fault.
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$manual" 2>&1 >/dev/null) ||
        problem "man cannot show $page(1): $warnings"
    [[ -z $warnings ]] || problem "$page(1) renders with warnings: $warnings"
done
cli=$root/usr/bin/tsumugiya-cli
manual=$root/usr/share/man/man1/tsumugiya-cli.1.gz
if [[ -x $cli && -f $manual ]]; then
    # Rendered wide, with words hyphenated across lines joined again.
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$manual" 2>/dev/null |
        sed -e ':a' -e '/‐$/{N;s/‐\n *//;ba}')
    help=$("$cli" --help) || problem "tsumugiya-cli --help failed"
    # Each command the program's own usage lists, and each long option it
    # mentions, needs an entry of its own (a tag line), not just a mention.
    commands=$(sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$help")
    [[ -n $commands ]] || problem "found no commands in tsumugiya-cli --help:
$help"
    for command in $commands; do
        grep -Eq "^ {7}$command( |\$)" <<<"$text" || problem "tsumugiya-cli(1) has no entry for the command $command"
    done
    options=$( (grep -o -- '--[a-z][a-z-]*' <<<"$help"; printf '%s\n' --help --version --notify) | sort -u)
    for option in $options; do
        grep -Eq -- "^ {7}(-[a-z], )?$option([ =,]|\$)" <<<"$text" ||
            problem "tsumugiya-cli(1) has no entry for the option $option"
    done
    for status in 0 1 2; do
        grep -Eq "^ {7}$status +[A-Z]" <<<"$text" || problem "tsumugiya-cli(1) does not explain exit status $status"
    done
    # shellcheck disable=SC2016,SC2088 # the page's own text, not to expand
    for file in '$XDG_CONFIG_HOME/tsumugiya/tsumugiya.ini' '$XDG_DATA_HOME/tsumugiya/backup/' \
        '~/.config/tsumugiya/tsumugiya.ini' '~/.local/share/tsumugiya/backup/'; do
        grep -qF -- "$file" <<<"$text" || problem "tsumugiya-cli(1) does not give the path $file"
    done
    for file in 'NAME\.s' 'NAME\.save\.temp' 'NAME\.save\.TIME_MEMO' 'NAME\.save\.TIME_戻す前'; do
        grep -Eq "^ {7}$file( |\$)" <<<"$text" || problem "tsumugiya-cli(1) has no entry for the file ${file//\\/}"
    done
fi

# --- the user unit: runs the installed program's watch, enabled by no one --------
unit=$root/usr/lib/systemd/user/tsumugiya-watch.service
grep -qx 'ExecStart=/usr/bin/tsumugiya-cli watch' "$unit" ||
    problem "tsumugiya-watch.service does not run /usr/bin/tsumugiya-cli watch"
[[ -z $(find "$root" -path '*wants*' -name 'tsumugiya-watch.service') ]] ||
    problem "the package enables tsumugiya-watch.service"

# --- lintian --------------------------------------------------------------------
if command -v lintian >/dev/null; then
    # --allow-root: the suite runs as root on the build machines.
    lintian_report=$(lintian --allow-root --fail-on error --display-info "$deb" 2>&1) ||
        problem "lintian reports errors:
$lintian_report"
    printf 'lintian:\n%s\n' "${lintian_report:-(nothing)}"
else
    problem "lintian is not on PATH (Debian package lintian)"
fi

if ((${#problems[@]})); then
    printf 'FAIL: %s\n' "${problems[@]}" >&2
    exit 1
fi
echo "package contents as expected"
