#!/bin/sh
# Starts MP3 Sorvane, a Windows program, under the Wine of its architecture
# (the amd64 package holds the 64-bit build, the i386 one the 32-bit build) in
# a Wine prefix of the user's own. The first start prepares that prefix; until
# that has worked once, every start tries again.
#
# MP3_SORVANE_EXE names another build of the program to start instead of the
# installed one (a testing aid). Each architecture has a prefix of its own.
set -u

title="MP3 Sorvane"
exe=${MP3_SORVANE_EXE:-/usr/lib/mp3-sorvane/MP3_Sorvane.exe}
data=${XDG_DATA_HOME:-$HOME/.local/share}/mp3-sorvane
# Bump when the prefix settings below change: prefixes made before get them
# at their next start.
settings=2
note_pid=

# A window with the text when there is a display (and Tk to draw Hangul),
# always a line on stderr. With "wait" the window has a button and the call
# returns once it is closed; otherwise the window stays until note_close.
note() {
    printf 'mp3-sorvane: %s\n' "$2" >&2
    [ -n "${DISPLAY:-}" ] && command -v wish >/dev/null 2>&1 || return 0
    MP3_SORVANE_NOTE=$2 MP3_SORVANE_TITLE=$title MP3_SORVANE_WAIT=$1 \
        wish -name mp3-sorvane >/dev/null 2>&1 9>&- <<'TCL' &
wm title . $env(MP3_SORVANE_TITLE)
label .text -text $env(MP3_SORVANE_NOTE) -justify left -padx 24 -pady 18
pack .text
if {$env(MP3_SORVANE_WAIT) eq "wait"} {
    button .ok -text "확인 / OK" -width 12 -command exit
    pack .ok -pady {0 14}
    wm protocol . WM_DELETE_WINDOW exit
}
update idletasks
wm geometry . +[expr {([winfo screenwidth .] - [winfo reqwidth .]) / 2}]+[expr {([winfo screenheight .] - [winfo reqheight .]) / 2}]
TCL
    note_pid=$!
    if [ "$1" = wait ]; then
        wait "$note_pid"
        note_pid=
    fi
}

note_close() {
    if [ -n "$note_pid" ]; then
        kill "$note_pid" 2>/dev/null
        wait "$note_pid" 2>/dev/null
        note_pid=
    fi
}

fail() {
    note_close
    note wait "$1"
    exit 1
}

# The machine a Windows executable is built for, from its PE header.
pe_machine() {
    pe=$(od -An -tu1 -j60 -N4 "$1" 2>/dev/null) || return 0
    # Split on purpose: four bytes, least significant first.
    # shellcheck disable=SC2086
    set -- "$1" $pe
    [ $# -eq 5 ] || return 0
    at=$(($2 + $3 * 256 + $4 * 65536 + $5 * 16777216))
    case $(od -An -tx1 -j"$at" -N6 "$1" 2>/dev/null | tr -d ' \n') in
        504500004c01) echo i386 ;;
        504500006486) echo x86_64 ;;
    esac
}

[ -r "$exe" ] || fail "프로그램 파일이 없습니다: $exe
The program file is missing: $exe"

case $(pe_machine "$exe") in
    i386)
        loader=/usr/lib/wine/wine
        export WINEARCH=win32
        prefix=$data/prefix
        wine_package=wine32
        ;;
    x86_64)
        loader=/usr/lib/wine/wine64
        export WINEARCH=win64
        prefix=$data/prefix64
        wine_package=wine64
        ;;
    *)
        fail "Windows 프로그램 파일이 아닙니다: $exe
Not a Windows program: $exe" ;;
esac

[ -x "$loader" ] || fail "Wine이 설치되어 있지 않습니다. 패키지 관리자로 wine과 $wine_package 패키지를 설치하세요.
Wine is not installed. Install the packages wine and $wine_package."

"$loader" --version >/dev/null 2>&1
case $? in
    0) ;;
    126)
        [ "$WINEARCH" = win32 ] || fail "Wine이 시작되지 않습니다: $loader
Wine does not start: $loader"
        fail "이 컴퓨터는 32비트 프로그램을 실행할 수 없어 MP3 Sorvane을 시작할 수 없습니다.
(가상 머신이라면 32비트 실행을 지원하는 설정이 필요합니다.)
This computer cannot execute 32-bit programs, so MP3 Sorvane cannot start.
(On a virtual machine, its host must allow 32-bit code.)" ;;
    *)
        fail "Wine이 시작되지 않습니다. 터미널에서 \"$loader --version\"으로 원인을 확인하세요.
Wine does not start; run \"$loader --version\" in a terminal to see why." ;;
esac

# Korean, so that Windows' ANSI code page is 949: the program's texts and the
# Korean file names it is handed are CP949.
[ "$(LC_ALL=ko_KR.UTF-8 locale charmap 2>/dev/null)" = UTF-8 ] ||
    fail "한국어 로캘(ko_KR.UTF-8)이 없습니다. locales-all 패키지를 설치하거나 \"dpkg-reconfigure locales\"로 ko_KR.UTF-8을 추가하세요.
The Korean locale ko_KR.UTF-8 is missing. Install the package locales-all, or add ko_KR.UTF-8 with \"dpkg-reconfigure locales\"."

export LC_ALL=ko_KR.UTF-8
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No offers to download Mono or Gecko (the program needs neither), and no menu
# entries or file type links for Wine's own programs on the user's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
ready=$prefix/.mp3-sorvane-ready-$settings

prepare() {
    mkdir -p "$data" || return 1
    if [ ! -f "$prefix/system.reg" ]; then
        "$loader" wineboot --init || return 1
        # wineboot returns while the prefix's first services still run.
        wineserver -w
    fi
    [ -f "$prefix/system.reg" ] || return 1
    # The dialogs name Windows' Korean and dialog fonts; none of them is here,
    # and Wine's stand-ins have no Hangul.
    printf '%s\r\n' REGEDIT4 '' \
        '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
        '"MS Shell Dlg"="NanumGothic"' '"MS Shell Dlg 2"="NanumGothic"' \
        '"Gulim"="NanumGothic"' '"Tahoma"="NanumGothic"' > "$prefix/drive_c/mp3-sorvane.reg" || return 1
    "$loader" regedit 'C:\mp3-sorvane.reg' || return 1
    # Names outside Hangul (accents, kanji, symbols) are drawn from faces
    # linked behind the Korean one, as Windows links its own. Without them
    # such names show as boxes: worth a word, not a failed start.
    local face
    for face in "Microsoft Sans Serif" "Gulim" "MS Shell Dlg" "NanumGothic"; do
        "$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v "$face" /t REG_MULTI_SZ /f \
            /d 'DejaVuSans.ttf,DejaVu Sans\0wqy-microhei.ttc,WenQuanYi Micro Hei\0Symbola_hint.ttf,Symbola' \
            >/dev/null 2>&1 || echo "mp3-sorvane: could not link the faces for names outside Hangul" >&2
    done
    wineserver -w
    rm -f "$prefix/drive_c/mp3-sorvane.reg"
    touch "$ready"
}

if [ ! -f "$ready" ]; then
    mkdir -p "$data" || fail "폴더를 만들 수 없습니다: $data
Cannot create the folder $data"
    # One start prepares; another one started meanwhile waits for it.
    exec 9>"$data/.lock"
    flock 9
    if [ ! -f "$ready" ]; then
        trap note_close EXIT
        note show "MP3 Sorvane을 처음 시작할 준비를 하고 있습니다. 잠시 기다려 주세요.
Preparing MP3 Sorvane for its first start; this takes a moment."
        # Nothing started from here holds the lock: Wine's server may outlive
        # this script, and a note outlives it when the script is killed.
        if ! prepare >"$data/prepare.log" 2>&1 9>&-; then
            fail "MP3 Sorvane을 시작할 준비를 하지 못했습니다. 다음에 시작할 때 다시 시도합니다.
기록: $data/prepare.log
Preparing MP3 Sorvane failed; the next start tries again.
Log: $data/prepare.log"
        fi
        note_close
        trap - EXIT
    fi
    exec 9>&-
fi

exec "$loader" "$exe"
