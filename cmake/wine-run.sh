#!/bin/sh
# Runs one Windows test executable under Wine, in a prefix kept inside the build tree.
# Usage: wine-run.sh [--win64|--win32] [--dpi N] PREFIX_DIR PROGRAM [ARGS...]
# --win64 (the default) runs x86_64 programs through the 64-bit loader; --win32 runs i686
# programs through the 32-bit loader in a 32-bit prefix (on a machine without 32-bit support
# in its kernel, qemu's user-mode emulator runs that loader; scripts/setup arranges it).
# --dpi sets the screen's DPI of the prefix (Wine's LogPixels; 96, the default, is 100 %, 144 is
# 150 %); a prefix keeps one DPI, so give each DPI a prefix of its own.
set -e
arch=win64
dpi=96
while :; do
    case "$1" in
        --win64 | --win32) arch=${1#--}; shift ;;
        --dpi) dpi=$2; shift 2 ;;
        *) break ;;
    esac
done
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
# A Unix path as the prefix's programs see it (drive Z: is the Unix root).
winepath_of() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
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
        wineserver -w
        touch "$prefix/.vetrin-ready"
    fi
    # Japanese texts: the IPA Gothic fonts in the prefix's font folder, the Windows Japanese
    # font names mapped to them, and the system fonts (message boxes, menus) falling back to
    # them for characters they lack; the Windows version and the screen's DPI. Once per prefix,
    # version of the settings file and DPI, also for prefixes made before this step.
    settings_mark="$prefix/.vetrin-settings-$( { cat "$(dirname "$0")/wine-prefix.reg"; echo "$dpi"; } |
        md5sum | cut -c1-12)"
    if [ ! -f "$settings_mark" ]; then
        fonts="$prefix/drive_c/windows/Fonts"
        mkdir -p "$fonts"
        for f in /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf /usr/share/wine/fonts/marlett.ttf \
                 /usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf; do
            [ -f "$f" ] && cp -f "$f" "$fonts/"
        done
        reg="$prefix/vetrin-prefix.reg"
        { printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$(dirname "$0")/wine-prefix.reg"; } >"$reg"
        "$loader" regedit.exe /S "$(winepath_of "$reg")" >/dev/null 2>&1 || true
        # The DPI where Wine reads it (the hardware profile) and where Windows keeps it.
        for key in 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
                   'HKCU\Control Panel\Desktop'; do
            "$loader" reg.exe add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
        done
        for face in "Tahoma" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" \
                    "Segoe UI" "Lucida Sans Unicode"; do
            "$loader" reg.exe add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
                /v "$face" /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic\0ipag.ttf,IPAGothic' /f \
                >/dev/null 2>&1 || true
        done
        wineserver -w
        touch "$settings_mark"
    fi
) 9>"$prefix.lock"
# Keep one warm server with Wine's helper processes for the whole run. They are started with
# their output on /dev/null: otherwise they would hold the test runner's pipes open for
# seconds after every test program ends.
wineserver -p30 </dev/null >/dev/null 2>&1 || true
"$loader" cmd /c exit </dev/null >/dev/null 2>&1 || true
exec "$loader" "$@"
