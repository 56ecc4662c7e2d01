#!/bin/sh
# Starts (start PREFIX) or ends (stop PREFIX) the one Wine session that all
# Windows tests of a ctest run share. A persistent wineserver saves each test
# the seconds Debian's wrapper (-p0) spends restarting Wine. Every stream is
# redirected: ctest would otherwise wait on the pipe the server inherits.
set -eu
action=$1
export WINEPREFIX=$2 WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=UTC0
server=/usr/lib/wine/wineserver64
quietly() { "$@" </dev/null >/dev/null 2>&1; }
# Ends the prefix's server, and waits until it has.
end_server() {
    quietly "$server" -k || true
    quietly "$server" -w || true
}
case $action in
start)
    # A run that was interrupted may have left its session behind.
    [ ! -d "$WINEPREFIX" ] || end_server
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # A server is found by the folder's device and inode: one left running
    # for a removed prefix whose inode the new folder reuses would refuse
    # this session.
    end_server
    quietly "$server" -p
    quietly /usr/lib/wine/wine64 wineboot -i
    # The dialog tests draw nothing: Wine's null display needs no X server.
    # The session started with the display there was: it starts again
    # (the registry kept), here, so that no test program starts its services.
    quietly /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    end_server
    quietly "$server" -p
    quietly /usr/lib/wine/wine64 wineboot
    ;;
stop)
    end_server
    rm -rf "$WINEPREFIX"
    ;;
esac
