# shellcheck shell=bash
# shellcheck disable=SC2154 # work: made by xvfb-session.sh's make_work
# shellcheck disable=SC2034 # app_label, app_pid, save and the rest: the sourcing script's
# Sourced after xvfb-session.sh. start_wine, once start_xvfb has run, makes a
# throwaway Wine prefix in $work/prefix with one persistent wineserver,
# drawing on $DISPLAY; stop_wine ends it. wine_path PATH prints the Windows
# name of a Linux path (Wine shows / as drive Z:). prepare_program and
# start_program set up and start Tsumugiya.exe, as each Wine smoke test does.

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export WINEDEBUG=-all

stop_wine() {
    [[ -n ${WINEPREFIX:-} && -d $WINEPREFIX ]] || return 0
    "$wineserver" -k </dev/null >/dev/null 2>&1 || true
    "$wineserver" -w </dev/null >/dev/null 2>&1 || true
}

wine_path() { printf 'Z:%s' "${1//\//\\}"; }

# start_wine ON_FAILURE
start_wine() {
    local on_failure=$1
    [[ -x $wine ]] || "$on_failure" "Wine is not installed (Debian package wine64)"
    export WINEPREFIX=$work/prefix
    mkdir -p "$WINEPREFIX"
    # Every stream redirected: whoever waits on ours would wait for the server.
    "$wineserver" -p </dev/null >/dev/null 2>&1 || "$on_failure" "wineserver did not start"
    # Nothing here needs .NET or the HTML engine: no time spent looking for them.
    WINEDLLOVERRIDES='mscoree,mshtml=' "$wine" wineboot -i </dev/null >"$work/wineboot.log" 2>&1 ||
        "$on_failure" "wineboot failed: $(cat "$work/wineboot.log")"
    local fonts=$WINEPREFIX/drive_c/windows/Fonts key
    # Wine: without a window manager (Xvfb has none) Wine draws the caption
    # bar itself, and its buttons need Marlett in the prefix, or they show as
    # letters.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null ||
        "$on_failure" "no Marlett font (Debian package fonts-wine)"
    # The templates' Japanese faces, drawn with the IPA fonts.
    key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
    "$wine" reg add "$key" /v 'MS UI Gothic' /d IPAPGothic /f >/dev/null 2>&1
    "$wine" reg add "$key" /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >/dev/null 2>&1
    "$wine" reg add "$key" /v 'ＭＳ Ｐ明朝' /d IPAPMincho /f >/dev/null 2>&1
}

# prepare_program NAME PROGRAM TEXT TIME: a throwaway $work named NAME, the
# program copied to $app_dir, the save $save in $game_dir holding the line
# TEXT from TIME (seconds) and the settings file $settings choosing it.
prepare_program() {
    command -v xdotool >/dev/null || fail "xdotool is not on PATH (Debian package xdotool)"
    [[ -f $2 ]] || fail "no such file: $2"
    # Wine maps Linux names and arguments through the locale's charset, so
    # Japanese needs a UTF-8 locale.
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    make_work "$1"
    trap 'stop_wine; cleanup' EXIT
    app_label=Tsumugiya.exe
    app_dir=$work/app game_dir=$work/game
    save=$game_dir/slot1.dat settings=$app_dir/Tsumugiya.ini
    mkdir -p "$app_dir" "$game_dir" "$work/cwd"
    cp "$2" "$app_dir/Tsumugiya.exe"
    printf '%s\n' "$3" >"$save"
    touch -d "@$4" "$save"
    printf '[SaveFile]\r\nfolder=%s\r\nfilename=slot1.dat\r\n' "$(wine_path "$game_dir")" >"$settings"
}

# windows_named TITLE: the visible windows of exactly that title.
windows_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }

window=
find_window() {
    app_must_run "its window"
    window=$(windows_named Tsumugiya)
    [[ -n $window ]]
}

# start_program: Xvfb, Wine (both skip when they cannot start) and the
# prepared program, until its one window $window is up.
start_program() {
    start_xvfb skip
    start_wine skip
    (
        cd "$work/cwd" || exit
        exec "$wine" "$app_dir/Tsumugiya.exe"
    ) >"$work/app.log" 2>&1 &
    app_pid=$!
    wait_for 30 'visible window titled "Tsumugiya"' find_window
    [[ $(wc -l <<<"$window") -eq 1 ]] || fail "more than one window titled Tsumugiya: $window"
}
