# Sourced by the scripts: where things live, the environment Wine runs in, and
# how the driver of the real program starts.
TONARIUM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TONARIUM_WINE_DIR=${TONARIUM_WINE_DIR:-$TONARIUM_ROOT/build/wine}

# Exports the environment Wine runs in. Only the scripts that start Wine
# themselves take it: its Japanese locale would also translate the messages of
# the build tools that the other scripts read.
tonarium_wine_environment() {
    # The prefix with the MIDI recorder, unless the caller names another (scripts/run:
    # the one with Wine's own audio driver; a parallel run: a copy of its own).
    export WINEPREFIX=${TONARIUM_WINEPREFIX:-$TONARIUM_WINE_DIR/recorder}
    export WINELOADER=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
    export WINEARCH=win64
    export WINEDEBUG=${WINEDEBUG:--all}
    # No Mono or Gecko installers and no menu entries on the desktop, ahead of
    # whatever overrides the caller adds.
    local quiet="mscoree,mshtml=;winemenubuilder.exe=d"
    case "${WINEDLLOVERRIDES:-}" in
    "$quiet" | "$quiet;"*) ;;
    *) export WINEDLLOVERRIDES=$quiet${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES} ;;
    esac
    # The ANSI code page of a Japanese Windows (932).
    export LOCPATH=$TONARIUM_WINE_DIR/locale
    # bash itself cannot see LOCPATH and would warn; the programs it starts can.
    { export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; } 2>/dev/null
}

# The help page (an absolute path) as a browser shows it 900 pixels wide, or as narrow as given
# with its scroll bars, cut below the page's end (its margins kept), in a PNG of 256 colours at
# most, in one locale and with the fonts of a Japanese Windows XP (as IPA faces,
# scripts/lib/fonts.conf) or those named whoever runs it:
# tonarium_help_picture page out.png [width [fonts.conf]]
tonarium_help_picture() {
    local profile scrollbars=--hide-scrollbars cache fonts=${4:-$TONARIUM_ROOT/scripts/lib/fonts.conf}
    # The same page, faces, width and browser make the same picture: a second build's run takes the first's.
    cache=$TONARIUM_ROOT/build/help-pictures/$(cat "$1" "$TONARIUM_ROOT/scripts/lib/fonts.conf" "$fonts" <(echo "${3:-900}"; dpkg-query -W chromium; declare -f tonarium_help_picture) | sha256sum | cut -c1-16).png
    if [ -f "$cache" ]; then cp "$cache" "$2"; return; fi
    profile=$(mktemp -d)
    [ "${3:-900}" = 900 ] || scrollbars=
    # At a lower priority than the timed tests that run beside it.
    env -u LOCPATH LANG=C.UTF-8 LC_ALL=C.UTF-8 FONTCONFIG_FILE="$fonts" nice -n 10 chromium --headless --no-sandbox --disable-gpu \
        $scrollbars --user-data-dir="$profile" --force-device-scale-factor=1 \
        --window-size="${3:-900}",16000 --screenshot="$profile/page.png" "file://$1" >/dev/null 2>&1
    # The window is taller than the page: the white below it goes, the margins around it stay.
    local width height left top
    IFS='x+' read -r width height left top <<<"$(convert "$profile/page.png" -format %@ info:)"
    convert "$profile/page.png" -crop "${3:-900}x$((top + height))+0+0" +repage -strip "png8:$2"
    local status=$?
    rm -rf "$profile"
    [ $status != 0 ] || { mkdir -p "${cache%/*}" && cp "$2" "$cache"; }
    return $status
}

# The help page's pictures in a folder: help.png, help-narrow.png and help-ie6.png in a Japanese Windows XP's
# faces, help-win10.png in Windows 10's: tonarium_help_pictures page folder
tonarium_help_pictures() {
    # IE 6 lays the page out as a browser does without the declarations it skips.
    local skipped ie6 status
    skipped=$(sed -n '/^# Those IE 6 skips/{n;p}' "$TONARIUM_ROOT/scripts/lib/css-properties.txt" | tr ' ' '|')
    ie6=$(mktemp --suffix=.htm)
    sed -E "s/\b($skipped):[^;}\"]*;? ?//g" "$1" >"$ie6" &&
        tonarium_help_picture "$1" "$2/help.png" && tonarium_help_picture "$1" "$2/help-narrow.png" 480 &&
        tonarium_help_picture "$1" "$2/help-win10.png" 900 "$TONARIUM_ROOT/scripts/lib/fonts-win10.conf" &&
        tonarium_help_picture "$ie6" "$2/help-ie6.png"
    status=$?
    rm -f "$ie6"
    return $status
}

# Runs the 64-bit build's tonarium_drive.exe under Wine, in a private X server.
tonarium_drive() {
    "$TONARIUM_ROOT/scripts/with-wine" "$TONARIUM_ROOT/scripts/wine-run" \
        "$TONARIUM_ROOT/build/win64/bin/tonarium_drive.exe" "$@"
}
