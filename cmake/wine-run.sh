#!/bin/sh
# Runs one Windows test executable under Wine, in a prefix kept inside the build tree.
# Usage: wine-run.sh [--win64|--win32] PREFIX_DIR PROGRAM [ARGS...]
# --win64 (the default) runs x86_64 programs through the 64-bit loader; --win32 runs i686
# programs through the 32-bit loader in a 32-bit prefix (on a machine without 32-bit support
# in its kernel, qemu's user-mode emulator runs that loader; scripts/setup arranges it).
set -e
arch=win64
case "$1" in
    --win64 | --win32) arch=${1#--}; shift ;;
esac
loader=wine
if [ "$arch" = win32 ]; then
    export WINEARCH=win32
    loader=/usr/lib/wine/wine
elif [ -x /usr/lib/wine/wine64 ]; then
    # The 64-bit loader directly: with 32-bit Wine installed, the plain "wine" launcher would
    # start every program through the 32-bit loader first.
    loader=/usr/lib/wine/wine64
fi
[ "$loader" = wine ] || export WINELOADER="$loader"
prefix=$(realpath -m "$1")  # Wine takes only an absolute prefix
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Gecko/Mono install prompts, and no debugger on a crash: a crashing test program must fail
# at once instead of waiting for the test time-out.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.vetrin-ready" ]; then
        "$loader" wineboot.exe -i >/dev/null 2>&1 || true
        "$loader" winecfg.exe -v win10 >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.vetrin-ready"
    fi
) 9>"$prefix.lock"
# Keep one warm server with Wine's helper processes for the whole run. They are started with
# their output on /dev/null: otherwise they would hold the test runner's pipes open for
# seconds after every test program ends.
wineserver -p30 </dev/null >/dev/null 2>&1 || true
"$loader" cmd /c exit </dev/null >/dev/null 2>&1 || true
exec "$loader" "$@"
