#!/usr/bin/env bash
# The packages users get, made from a 32-bit release build and checked as
# users meet them: what the zip and the .deb hold, the .deb's fields, lintian,
# the desktop entry, the launcher's messages when something it needs is
# missing and, as root with apt, a real install started with a fresh home
# under Xvfb.
#
# Usage: package_test.sh [BUILD_DIR [EXE [DRIVER [SHOTS_DIR]]]]
#   BUILD_DIR  the 32-bit release build the packages are made in
#              (default build/pkg32)
#   EXE        a build of the program this machine can run, for the installed
#              start; by default the packaged one where 32-bit code runs, else
#              a 64-bit build made in build/pkg64
#   DRIVER     a Windows program (package_drive.exe) of EXE's architecture
#              that works the started program's windows; without it the
#              installed start only looks at the launcher
#   SHOTS_DIR  where the screenshots go (default BUILD_DIR/shots)
set -uo pipefail
# Stable sorting and messages whatever the caller's locale.
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/pkg32}
exe_here=${2:-}
driver=${3:-}
shots=${4:-$build/shots}

failed=0
pass() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; failed=1; }
skip() { echo "skip  $*"; }
# expect WHAT COMMAND...: the command's success is the check's.
expect() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
# verdict WHAT STATUS: the status of the check just made.
verdict() { if [ "$2" = 0 ]; then pass "$1"; else fail "$1"; fi; }
# Equal texts, or the difference on stdout.
same() {
    [ "$1" = "$2" ] && return 0
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$1") | sed 's/^/      /'
    return 1
}
contains() { grep -qF -- "$2" "$1" || { sed 's/^/      | /' "$1"; return 1; }; }

work=$(mktemp -d /tmp/sorvane-package.XXXXXX)
chmod 755 "$work"
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

version=$(sed -n 's/^project(MP3Sorvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package test: no project version in CMakeLists.txt"; exit 1; }
# Whether this machine executes 32-bit code, as the build scripts see it.
# shellcheck disable=SC1091
here_arch=$(unset SORVANE_ARCH; source "$root/scripts/arch.sh"; echo "$SORVANE_ARCH")

# ---- the packages ------------------------------------------------------------
echo "package test: building the 32-bit program and its packages in $build"
rm -f "$build"/*.zip "$build"/*.deb
if ! SORVANE_ARCH=i686 bash "$root/scripts/build.sh" "$build" -DSORVANE_TESTS=OFF >"$work/build.log" 2>&1 ||
    ! cmake --build "$build" --target package >>"$work/build.log" 2>&1; then
    tail -40 "$work/build.log"
    echo "FAIL  the packages do not build"
    exit 1
fi
zip=$build/MP3_Sorvane-$version-win32.zip
deb=$build/mp3-sorvane_${version}_i386.deb
for f in "$zip" "$deb"; do
    [ -f "$f" ] || { echo "FAIL  $f was not made"; exit 1; }
done

# The machine field and optional header magic of a Windows executable.
pe_kind() {
    local at
    at=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ -n "$at" ] || return 0
    printf '%s %s\n' "$(od -An -tx1 -j"$at" -N6 "$1" | tr -d ' \n')" \
        "$(od -An -tx1 -j$((at + 24)) -N2 "$1" | tr -d ' \n')"
}
pe32_i386="504500004c01 0b01"

# ---- the Windows zip ---------------------------------------------------------
mkdir -p "$work/zip" && unzip -q "$zip" -d "$work/zip"
expect "zip: the program and a read-me at its root, nothing else" \
    same "$(unzip -Z1 "$zip" | sort)" "$(printf '%s\n' MP3_Sorvane.exe README.txt)"
expect "zip: the program is a 32-bit x86 Windows executable" \
    same "$(pe_kind "$work/zip/MP3_Sorvane.exe")" "$pe32_i386"
readme=$work/zip/README.txt
[ "$(head -c3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] && iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null
verdict "zip: read-me is UTF-8 with a byte order mark, for Notepad" $?
! grep -qv $'\r$' "$readme"
verdict "zip: read-me has Windows line ends throughout" $?
for text in "MP3 Sorvane $version" "MP3_Sorvane.exe 하나만 있으면" "시스템 로캘" \
    "MP3_Sorvane.exe is all it needs" "system locale"; do
    expect "zip: read-me says \"$text\"" contains "$readme" "$text"
done

# ---- the .deb ------------------------------------------------------------------
dpkg-deb -x "$deb" "$work/deb" && dpkg-deb -e "$deb" "$work/control"
while IFS='=' read -r field want; do
    expect "deb: $field is $want" same "$(dpkg-deb -f "$deb" "$field")" "$want"
done <<EOF
Package=mp3-sorvane
Version=$version
Architecture=i386
EOF
depends=$(dpkg-deb -f "$deb" Depends | tr -d ' ' | tr ',' '\n')
for dep in wine wine32 fonts-nanum locales-all tk; do
    printf '%s\n' "$depends" | grep -qx "$dep"
    verdict "deb: depends on $dep" $?
done
# Icons are checked against the program's icon below; everything else is
# listed, with owner and mode, so that nothing leaks in.
expect "deb: exactly the program, its launcher and its desktop files, owned by root" same \
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ && $6 !~ /\/icons\// {print $1, $2, $6}')" \
    "-rwxr-xr-x root/root ./usr/bin/mp3-sorvane
-rw-r--r-- root/root ./usr/lib/mp3-sorvane/MP3_Sorvane.exe
-rw-r--r-- root/root ./usr/share/applications/mp3-sorvane.desktop
-rw-r--r-- root/root ./usr/share/doc/mp3-sorvane/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/mp3-sorvane/copyright
-rw-r--r-- root/root ./usr/share/man/man1/mp3-sorvane.1.gz"
expect "deb: directories are root's, 0755" \
    same "$(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root")')" ""
expect "deb: the same program as the zip's" cmp -s "$work/deb/usr/lib/mp3-sorvane/MP3_Sorvane.exe" "$work/zip/MP3_Sorvane.exe"
# One PNG per picture of the program's icon, each in the folder of its size.
icon_sizes=$(identify -format '%wx%h\n' "$root/res/MP3Sorvane.ico" | sort -u)
expect "deb: icons in the sizes of the program's icon ($(echo "$icon_sizes" | tr '\n' ' '))" same \
    "$(cd "$work/deb/usr/share/icons/hicolor" && for f in */apps/*; do
        echo "$f $(identify -format '%m %wx%h' "$f")"; done)" \
    "$(for s in $icon_sizes; do echo "$s/apps/mp3-sorvane.png PNG $s"; done)"
expect "deb: the changelog's latest entry is this version" \
    same "$(zcat "$work/deb/usr/share/doc/mp3-sorvane/changelog.gz" | head -1 | cut -d' ' -f1-2)" "mp3-sorvane ($version)"
desktop=$work/deb/usr/share/applications/mp3-sorvane.desktop
expect "deb: desktop-file-validate passes the desktop entry" desktop-file-validate "$desktop"
expect "deb: the desktop entry starts the launcher and names the icon" same \
    "$(grep -E '^(Exec|Icon)=' "$desktop")" "Exec=mp3-sorvane
Icon=mp3-sorvane"
if lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
    pass "deb: lintian finds no error"
else
    fail "deb: lintian finds errors"
fi
grep -v 'root privileges' "$work/lintian.log" | sed 's/^/      lintian: /'

# ---- a display -----------------------------------------------------------------
n=120
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
display=":$n"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
mkdir -p "$shots"

# The windows on the display with this name and class, one line each.
windows() { DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -F "\"$1\": (\"$2\""; }
note_windows() { windows "MP3 Sorvane" mp3-sorvane; }
program_windows() { windows "MP3 Sorvane" mp3_sorvane.exe; }
# Polls COMMAND for up to SECONDS.
wait_for() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 5))); do
        "$@" >/dev/null && return 0
        sleep 0.2
    done
    return 1
}
# Closes the launcher's message window as a click on its button would: the
# window is the launcher's child process.
close_note() {
    local kid
    for kid in $(ps -o pid= --ppid "$1"); do kill "$kid" 2>/dev/null; done
}
# A launcher of a user session: nothing of this test's environment but what
# a desktop hands over, in a language other than Korean.
user_env() { exec env -i HOME="$1" USER="$(id -un)" PATH=/usr/bin:/bin DISPLAY="$display" LANG=C.UTF-8 "${@:2}"; }

if [ -z "$exe_here" ]; then
    if [ "$here_arch" = i686 ]; then
        exe_here=$work/deb/usr/lib/mp3-sorvane/MP3_Sorvane.exe
    else
        echo "package test: this machine cannot execute 32-bit code; building the program for 64-bit Windows in build/pkg64"
        SORVANE_ARCH=x86_64 bash "$root/scripts/build.sh" "$root/build/pkg64" -DSORVANE_TESTS=OFF >"$work/build64.log" 2>&1 ||
            { tail -40 "$work/build64.log"; echo "FAIL  the 64-bit program does not build"; exit 1; }
        exe_here=$root/build/pkg64/app/MP3_Sorvane.exe
    fi
fi

# ---- the launcher's messages ---------------------------------------------------
launcher=$work/deb/usr/bin/mp3-sorvane
packaged_exe=$work/deb/usr/lib/mp3-sorvane/MP3_Sorvane.exe
can_hide=
if [ "$(id -u)" = 0 ] && unshare -m --propagation private true 2>/dev/null; then can_hide=1; fi
# name | folder hidden from the launcher | program | what stderr must say
cases=(
    "no program|-|$work/none.exe|The program file is missing"
    "not a Windows program|-|$work/deb/usr/share/doc/mp3-sorvane/copyright|Not a Windows program"
    "no Wine|/usr/lib/wine|$exe_here|Wine is not installed"
    "no Korean locale|/usr/lib/locale|$exe_here|The Korean locale ko_KR.UTF-8 is missing"
)
if [ "$here_arch" != i686 ]; then
    cases+=("no 32-bit execution|-|$packaged_exe|This computer cannot execute 32-bit programs")
else
    skip "launcher: the message for machines without 32-bit execution (this one has it)"
fi
for c in "${cases[@]}"; do
    IFS='|' read -r name hide program says <<<"$c"
    if [ "$hide" != - ] && [ -z "$can_hide" ]; then
        skip "launcher, $name: hiding $hide needs root and a mount namespace"
        continue
    fi
    home=$work/home-message
    rm -rf "$home" && mkdir -p "$home"
    wrap=()
    # shellcheck disable=SC2016
    [ "$hide" = - ] || wrap=(unshare -m --propagation private sh -c 'mount -t tmpfs tmpfs "$0" && exec "$@"' "$hide")
    "${wrap[@]}" env -i HOME="$home" PATH=/usr/bin:/bin DISPLAY="$display" LANG=C.UTF-8 \
        MP3_SORVANE_EXE="$program" sh "$launcher" 2>"$work/stderr" &
    pid=$!
    shown=no
    if wait_for 20 note_windows; then
        shown=yes
        [ "$name" = "no 32-bit execution" ] && DISPLAY=$display import -window root "$shots/package-no-32bit.png"
    fi
    close_note "$pid"
    wait "$pid"
    rc=$?
    [ "$shown" = yes ] && [ "$rc" = 1 ]
    verdict "launcher, $name: a window says so and the launcher ends with 1 (window: $shown, status $rc)" $?
    expect "launcher, $name: stderr says \"$says\"" contains "$work/stderr" "$says"
    ! grep -Eqi 'wine:|err:|fixme:|exec format|not found' "$work/stderr" && [ -z "$(find "$home" -name 'prefix*')" ]
    verdict "launcher, $name: no Wine trace, no prefix made" $?
done

# ---- installed, and started by a user ----------------------------------------
installed_start() {
    local apt_log=$work/apt.log
    local local_deb
    local_deb=$work/$(basename "$deb")
    cp "$deb" "$local_deb"
    echo "package test: installing $(basename "$deb") with apt-get (the first time this fetches its dependencies)"
    local t0=$SECONDS
    if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "$local_deb" >"$apt_log" 2>&1; then
        sed 's/^/      apt: /' "$apt_log" | tail -20
        fail "installed: apt-get installs the package with its dependencies"
        return
    fi
    pass "installed: apt-get installs the package with its dependencies ($((SECONDS - t0)) s)"
    expect "installed: mp3-sorvane is on the PATH" same "$(command -v mp3-sorvane)" /usr/bin/mp3-sorvane

    local home=$work/home
    local music="$home/Music/노래 모음"
    mkdir -p "$music"
    # An MP3 with a Korean name and an ID3v1 tag in CP949, as Korean tag
    # editors write it.
    python3 - "$music/가수 - 첫 노래.mp3" <<'PY'
import sys
def field(text, size):
    return text.encode("cp949").ljust(size, b"\0")
tag = b"TAG" + field("첫 노래", 30) + field("가수", 30) + field("첫 앨범", 30) + b"2026" + field("", 28) + b"\0\1" + bytes([13])
open(sys.argv[1], "wb").write(b"\xff\xfb\x90\x00" + bytes(4092) + tag)
PY
    local exe_env=()
    local prefix_name=prefix
    if [ "$here_arch" != i686 ]; then
        exe_env=(MP3_SORVANE_EXE="$exe_here")
        prefix_name=prefix64
    fi
    local data=$home/.local/share/mp3-sorvane
    local prefix=$data/$prefix_name

    # A set-up that fails is not taken for ready: a file where the prefix
    # belongs makes Wine give up.
    mkdir -p "$data" && : >"$prefix"
    user_env "$home" "${exe_env[@]}" mp3-sorvane 2>"$work/stderr" &
    local pid=$!
    wait_for 60 grep -q "Preparing MP3 Sorvane failed" "$work/stderr"
    close_note "$pid"
    wait "$pid"
    local rc=$?
    [ "$rc" = 1 ] && grep -q "the next start tries again" "$work/stderr"
    verdict "installed: a failed first start says so and ends with 1 (status $rc)" $?
    [ -z "$(find "$data" -name '.mp3-sorvane-ready-*')" ] && [ -s "$data/prepare.log" ]
    verdict "installed: ... and leaves nothing marked ready, its log kept" $?
    rm -f "$prefix"

    # The first real start: a note while the prefix is made, then the program.
    t0=$SECONDS
    user_env "$home" "${exe_env[@]}" mp3-sorvane 2>"$work/stderr" &
    pid=$!
    local noted=no
    for _ in $(seq 900); do
        [ -n "$(note_windows)" ] && noted=yes
        [ -n "$(program_windows)" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    local first=$((SECONDS - t0))
    if [ -z "$(program_windows)" ]; then
        sed 's/^/      | /' "$work/stderr" "$data/prepare.log" 2>/dev/null
        fail "installed: the first start shows the launcher window \"MP3 Sorvane\" (gave up after $first s)"
        end_program "$pid" "$home" "$prefix"
        return
    fi
    pass "installed: the first start shows the launcher window \"MP3 Sorvane\" ($first s)"
    expect "installed: a note was on screen while the prefix was made" same "$noted" yes
    [ -f "$prefix/.mp3-sorvane-ready-1" ] && grep -q '^"MS Shell Dlg"="NanumGothic"' "$prefix/system.reg"
    verdict "installed: the prefix is marked ready, with Korean dialog fonts" $?
    sleep 1
    DISPLAY=$display import -window root "$shots/package-launcher.png"
    echo "      screenshot: $shots/package-launcher.png"
    if [ -n "$driver" ]; then
        # The driver shares the program's Wine: same prefix, same locale.
        if env -i HOME="$home" PATH=/usr/bin:/bin DISPLAY="$display" LC_ALL=ko_KR.UTF-8 WINEDEBUG=-all \
            WINEPREFIX="$prefix" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
            "$(wine_loader)" "$driver" "Z:${music//\//\\}" >"$work/driver.log" 2>&1; then
            pass "installed: the start button opens the work window, which lists the Korean-named song"
            DISPLAY=$display import -window root "$shots/package-work.png"
            echo "      screenshot: $shots/package-work.png"
        else
            sed 's/^/      | /' "$work/driver.log"
            fail "installed: the start button opens the work window, which lists the Korean-named song"
        fi
    else
        skip "installed: working the program's windows (no driver given)"
    fi
    end_program "$pid" "$home" "$prefix"

    # Later starts go straight to the program.
    t0=$SECONDS
    user_env "$home" "${exe_env[@]}" mp3-sorvane 2>"$work/stderr" &
    pid=$!
    noted=no
    for _ in $(seq 300); do
        [ -n "$(note_windows)" ] && noted=yes
        [ -n "$(program_windows)" ] && break
        sleep 0.2
    done
    [ -n "$(program_windows)" ] && [ "$noted" = no ]
    verdict "installed: the next start shows the launcher window without preparing again ($((SECONDS - t0)) s)" $?
    end_program "$pid" "$home" "$prefix"
}

# The Wine loader for EXE's architecture.
wine_loader() {
    case $(pe_kind "$exe_here") in
        "$pe32_i386") echo /usr/lib/wine/wine ;;
        *) echo /usr/lib/wine/wine64 ;;
    esac
}

# Ends the started program by its process id, then what Wine started with it.
end_program() {
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    env -i HOME="$2" PATH=/usr/bin:/bin WINEPREFIX="$3" wineserver -k 2>/dev/null
    env -i HOME="$2" PATH=/usr/bin:/bin WINEPREFIX="$3" wineserver -w 2>/dev/null
}

if [ "$(id -u)" != 0 ]; then
    skip "installed start: installing needs root"
elif ! command -v apt-get >/dev/null; then
    skip "installed start: no apt-get here"
else
    installed_start
    if dpkg-query -W mp3-sorvane >/dev/null 2>&1; then
        apt-get purge -y -q -o DPkg::Lock::Timeout=600 mp3-sorvane >>"$work/apt.log" 2>&1
        [ ! -e /usr/bin/mp3-sorvane ] && [ ! -e /usr/lib/mp3-sorvane ]
        verdict "installed: apt-get purge removes it again" $?
    fi
fi

if [ "$failed" != 0 ]; then
    echo "package test: FAILED"
    exit 1
fi
echo "package test: passed"
