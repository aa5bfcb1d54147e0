# Sourced by the scripts: where things live and the environment Wine runs in.
TONARIUM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TONARIUM_WINE_DIR=${TONARIUM_WINE_DIR:-$TONARIUM_ROOT/build/wine}

# The prefix with the MIDI recorder, unless the caller names another (scripts/run:
# the one with Wine's own audio driver; a parallel run: a copy of its own).
export WINEPREFIX=${TONARIUM_WINEPREFIX:-$TONARIUM_WINE_DIR/recorder}
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers, no menu entries on the desktop (a caller may add more).
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
# The ANSI code page of a Japanese Windows (932).
export LOCPATH=$TONARIUM_WINE_DIR/locale
# bash itself cannot see LOCPATH and would warn; the programs it starts can.
{ export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; } 2>/dev/null
