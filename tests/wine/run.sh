#!/bin/sh
# The emulator of the Windows test programs: Wine in the session of
# session.sh, with a UTF-8 locale so that Japanese arguments and file names
# reach the program intact.
prefix=$1
shift
export WINEPREFIX=$prefix WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=UTC0
exec /usr/lib/wine/wine64 "$@"
