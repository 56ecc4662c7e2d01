# shellcheck shell=bash
# shellcheck disable=SC2154 # work: made by xvfb-session.sh's make_work
# Sourced after xvfb-session.sh. start_wine, once start_xvfb has run, makes a
# throwaway Wine prefix in $work/prefix with one persistent wineserver,
# drawing on $DISPLAY; stop_wine ends it. wine_path PATH prints the Windows
# name of a Linux path (Wine shows / as drive Z:).

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

