# Sourced by the scripts that run the program or its tests under Wine.
# A project-local prefix, made once and reused; Korean locale so that the ANSI
# code page is 949 and Korean file names reach the program as CP949 bytes.
SORVANE_ROOT=${SORVANE_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
# The program is 32-bit, and so are the builds run here wherever the machine
# can execute 32-bit code. Some virtual machines cannot (their hypervisor has
# no 32-bit user mode: every i386 binary fails with "Exec format error"); there
# the same sources are built for 64-bit Windows and run under 64-bit Wine.
source "$SORVANE_ROOT/scripts/arch.sh"
if [ "$SORVANE_ARCH" = i686 ]; then
    export WINEARCH=win32
    SORVANE_WINE=/usr/lib/wine/wine
    export WINEPREFIX=${WINEPREFIX:-$SORVANE_ROOT/.wine/prefix}
else
    export WINEARCH=win64
    SORVANE_WINE=/usr/lib/wine/wine64
    export WINEPREFIX=${WINEPREFIX:-$SORVANE_ROOT/.wine/prefix64}
fi
export SORVANE_WINE
wine() { "$SORVANE_WINE" "$@"; }
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts: the program needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export LC_ALL=ko_KR.UTF-8
export LANG=ko_KR.UTF-8
# The shell's Desktop and user folders link into $HOME; give Wine a home of its
# own so that the folder chooser shows the same tree on every machine.
export HOME=$SORVANE_ROOT/.wine/home
mkdir -p "$HOME"

# Bump when the prefix's settings below change, so existing prefixes get them.
SORVANE_PREFIX_VERSION=3

sorvane_wine_prefix() {
    [ -f "$WINEPREFIX/.sorvane-ready-$SORVANE_PREFIX_VERSION" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.sorvane-ready-$SORVANE_PREFIX_VERSION" ]; then
            if [ ! -f "$WINEPREFIX/system.reg" ]; then
                wine wineboot -i >/dev/null 2>&1 || true
                # The first boot goes on in the background; regedit before its
                # end may fail.
                wineserver -w || true
            fi
            # Dialog fonts the templates name, mapped to a Korean face so that
            # Hangul renders instead of boxes. Windows are not handed to a
            # window manager: under a bare Xvfb there is none, and Wine then
            # waits two seconds for each window it destroys.
            local reg
            reg=$(dirname "$WINEPREFIX")/fonts.reg
            printf '%s\r\n' 'REGEDIT4' '' \
                '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
                '"MS Shell Dlg"="NanumGothic"' '"MS Shell Dlg 2"="NanumGothic"' \
                '"Gulim"="NanumGothic"' '"Tahoma"="NanumGothic"' '' \
                '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' \
                '"Managed"="N"' > "$reg"
            # Names outside Hangul (accents, kanji, symbols) are drawn from
            # faces linked behind the Korean one, as Windows links its own.
            local face ok=1
            for face in "Microsoft Sans Serif" "Gulim" "MS Shell Dlg" "NanumGothic"; do
                wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
                    /v "$face" /t REG_MULTI_SZ /f \
                    /d 'DejaVuSans.ttf,DejaVu Sans\0wqy-microhei.ttc,WenQuanYi Micro Hei\0Symbola_hint.ttf,Symbola' \
                    >/dev/null 2>&1 || ok=0
            done
            # Marked ready only when it is: a failed set-up is tried again next time.
            if [ -f "$WINEPREFIX/system.reg" ] && [ $ok = 1 ] && wine regedit "$reg" >/dev/null 2>&1; then
                wineserver -w
                touch "$WINEPREFIX/.sorvane-ready-$SORVANE_PREFIX_VERSION"
            else
                wineserver -w || true
                echo "wine-env: setting up the Wine prefix $WINEPREFIX failed" >&2
                exit 1
            fi
        fi
    ) 9>"$(dirname "$WINEPREFIX")/.lock"
}

# Starts Xvfb on a free display when none is set; sets SORVANE_XVFB_PID.
sorvane_display() {
    SORVANE_XVFB_PID=
    if [ -n "${DISPLAY:-}" ]; then return 0; fi
    local n=91
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    SORVANE_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}

sorvane_display_stop() {
    if [ -n "${SORVANE_XVFB_PID:-}" ]; then
        kill "$SORVANE_XVFB_PID" 2>/dev/null || true
        wait "$SORVANE_XVFB_PID" 2>/dev/null || true
    fi
}
