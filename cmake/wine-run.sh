#!/bin/sh
# Runs one Windows test executable under Wine, in a prefix kept inside the build tree.
# Usage: wine-run.sh PREFIX_DIR PROGRAM [ARGS...]
set -e
# The 64-bit loader directly: with 32-bit Wine installed, the plain "wine" launcher would start
# every program through the 32-bit loader first.
if [ -x /usr/lib/wine/wine64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    wine() { /usr/lib/wine/wine64 "$@"; }
fi
prefix="$1"
shift
# Wine takes only an absolute prefix.
case "$prefix" in
    /*) ;;
    *) prefix="$PWD/$prefix" ;;
esac
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Gecko/Mono install prompts, and no debugger on a crash: a crashing test program must fail
# at once instead of waiting for the test time-out.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.vetrin-ready" ]; then
        wine wineboot.exe -i >/dev/null 2>&1 || true
        wine winecfg.exe -v win10 >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.vetrin-ready"
    fi
) 9>"$prefix.lock"
# Keep one warm server with Wine's helper processes for the whole run. They are started with
# their output on /dev/null: otherwise they would hold the test runner's pipes open for
# seconds after every test program ends.
wineserver -p30 </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
exec "${WINELOADER:-wine}" "$@"
