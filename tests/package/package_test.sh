#!/usr/bin/env bash
# The packages users get, made from a 64-bit and a 32-bit release build and
# checked as users meet them: what the zip and the two .deb files hold, their
# fields, the manifests of both programs, lintian, the desktop entry, the
# launcher's messages when something it needs is missing and, as root with
# apt, a real install of the package this machine runs, started with a fresh
# home under Xvfb and worked down to a song listed in the work window.
#
# Usage: package_test.sh [BUILD_DIR [DRIVER [SHOTS_DIR]]]
#   BUILD_DIR  where the release builds are made: BUILD_DIR/pkg64 (the amd64
#              .deb) and BUILD_DIR/pkg32 (the i386 .deb and the Windows zip)
#              (default build)
#   DRIVER     a Windows program (package_drive.exe) that works the started
#              program's windows; the package installed is the one of its
#              architecture (it reads the program's controls across
#              processes). Without it, the package of this machine's
#              architecture is installed and only its first window is
#              looked at.
#   SHOTS_DIR  where the screenshots go (default BUILD_DIR/shots)
set -uo pipefail
# Stable sorting and messages whatever the caller's locale.
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
builds=${1:-$root/build}
driver=${2:-}
shots=${3:-$builds/shots}

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
# ARCH BUILD [cmake options]: builds and packs one architecture.
make_packages() {
    echo "package test: building the $1 program and its packages in $2"
    rm -f "$2"/*.zip "$2"/*.deb
    if ! SORVANE_ARCH=$1 bash "$root/scripts/build.sh" "$2" -DSORVANE_TESTS=OFF "${@:3}" >"$work/build.log" 2>&1 ||
        ! cmake --build "$2" --target package >>"$work/build.log" 2>&1; then
        tail -40 "$work/build.log"
        echo "FAIL  the $1 packages do not build"
        exit 1
    fi
}
make_packages x86_64 "$builds/pkg64"
make_packages i686 "$builds/pkg32" -DSORVANE_WIN64_BUILD="$builds/pkg64"
zip=$builds/pkg32/MP3_Sorvane-$version-windows.zip
declare -A debs=([amd64]=$builds/pkg64/mp3-sorvane_${version}_amd64.deb [i386]=$builds/pkg32/mp3-sorvane_${version}_i386.deb)
for f in "$zip" "${debs[@]}"; do
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
pe32plus_amd64="504500006486 0b02"

# ---- the Windows zip ---------------------------------------------------------
mkdir -p "$work/zip" && unzip -q "$zip" -d "$work/zip"
expect "zip: both programs and a read-me at its root, nothing else" \
    same "$(unzip -Z1 "$zip" | sort)" "$(printf '%s\n' MP3_Sorvane_32bit.exe MP3_Sorvane_64bit.exe README.txt)"
# Each program is of the architecture its name says, and its manifest (as
# the loader reads it out of the file) names that architecture and asks for
# the common controls of any, which a 64-bit program on Windows x64 needs.
for c in "32bit|$pe32_i386|i386 MP3Sorvane $version x86" "64bit|$pe32plus_amd64|amd64 MP3Sorvane $version amd64"; do
    IFS='|' read -r bits kind manifest <<<"$c"
    program=$work/zip/MP3_Sorvane_$bits.exe
    expect "zip: MP3_Sorvane_$bits.exe is a ${bits%bit}-bit x86 Windows executable" same "$(pe_kind "$program")" "$kind"
    expect "zip: MP3_Sorvane_$bits.exe's manifest names its architecture" \
        same "$(python3 "$root/tests/package/manifest.py" "$program")" "$manifest Microsoft.Windows.Common-Controls=*"
done
readme=$work/zip/README.txt
[ "$(head -c3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] && iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null
verdict "zip: read-me is UTF-8 with a byte order mark, for Notepad" $?
! grep -qv $'\r$' "$readme"
verdict "zip: read-me has Windows line ends throughout" $?
for text in "MP3 Sorvane $version" "MP3_Sorvane_64bit.exe  64비트 Windows용" "MP3_Sorvane_32bit.exe  모든 Windows" \
    "시스템 로캘" "MP3_Sorvane_64bit.exe  for 64-bit Windows" "MP3_Sorvane_32bit.exe  runs on every Windows" "system locale"; do
    expect "zip: read-me says \"$text\"" contains "$readme" "$text"
done

# ---- the .deb files ------------------------------------------------------------
# ARCH WINE ZIP_PROGRAM: what the package of ARCH holds and says.
check_deb() {
    local arch=$1 wine=$2 deb=${debs[$1]} x=$work/deb-$1
    dpkg-deb -x "$deb" "$x"
    while IFS='=' read -r field want; do
        expect "$arch deb: $field is $want" same "$(dpkg-deb -f "$deb" "$field")" "$want"
    done <<EOF
Package=mp3-sorvane
Version=$version
Architecture=$arch
EOF
    expect "$arch deb: depends on the Wine of its architecture, the Korean fonts and locale, and Tk" same \
        "$(dpkg-deb -f "$deb" Depends | tr -d ' ' | tr ',' '\n' | sort)" \
        "$(printf '%s\n' wine "$wine" fonts-nanum fonts-dejavu-core fonts-wqy-microhei fonts-symbola locales-all tk | sort)"
    # Icons are checked against the program's icon below; everything else is
    # listed, with owner and mode, so that nothing leaks in.
    expect "$arch deb: exactly the program, its launcher and its desktop files, owned by root" same \
        "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ && $6 !~ /\/icons\// {print $1, $2, $6}')" \
        "-rwxr-xr-x root/root ./usr/bin/mp3-sorvane
-rw-r--r-- root/root ./usr/lib/mp3-sorvane/MP3_Sorvane.exe
-rw-r--r-- root/root ./usr/share/applications/mp3-sorvane.desktop
-rw-r--r-- root/root ./usr/share/doc/mp3-sorvane/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/mp3-sorvane/copyright
-rw-r--r-- root/root ./usr/share/man/man1/mp3-sorvane.1.gz"
    expect "$arch deb: directories are root's, 0755" \
        same "$(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root")')" ""
    expect "$arch deb: the same program as the zip's $(basename "$3")" cmp -s "$x/usr/lib/mp3-sorvane/MP3_Sorvane.exe" "$3"
    # One PNG per picture of the program's icon, each in the folder of its size.
    local icon_sizes
    icon_sizes=$(identify -format '%wx%h\n' "$root/res/MP3Sorvane.ico" | sort -u)
    expect "$arch deb: icons in the sizes of the program's icon ($(echo "$icon_sizes" | tr '\n' ' '))" same \
        "$(cd "$x/usr/share/icons/hicolor" && for f in */apps/*; do
            echo "$f $(identify -format '%m %wx%h' "$f")"; done)" \
        "$(for s in $icon_sizes; do echo "$s/apps/mp3-sorvane.png PNG $s"; done)"
    expect "$arch deb: the changelog's latest entry is this version" \
        same "$(zcat "$x/usr/share/doc/mp3-sorvane/changelog.gz" | head -1 | cut -d' ' -f1-2)" "mp3-sorvane ($version)"
    local desktop=$x/usr/share/applications/mp3-sorvane.desktop
    expect "$arch deb: desktop-file-validate passes the desktop entry" desktop-file-validate "$desktop"
    expect "$arch deb: the desktop entry starts the launcher and names the icon" same \
        "$(grep -E '^(Exec|Icon)=' "$desktop")" "Exec=mp3-sorvane
Icon=mp3-sorvane"
    if lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
        pass "$arch deb: lintian finds no error"
    else
        fail "$arch deb: lintian finds errors"
    fi
    grep -v 'root privileges' "$work/lintian.log" | sed 's/^/      lintian: /'
}
check_deb amd64 wine64 "$work/zip/MP3_Sorvane_64bit.exe"
check_deb i386 wine32 "$work/zip/MP3_Sorvane_32bit.exe"
expect "deb: both packages hold the same launcher" \
    cmp -s "$work/deb-amd64/usr/bin/mp3-sorvane" "$work/deb-i386/usr/bin/mp3-sorvane"

# What apt would install for the amd64 package on a Debian amd64 system with
# nothing installed and no second architecture: everything must come from
# amd64 or architecture-independent packages.
: >"$work/empty-status"
if apt-get install -s -q -o Dir::State::status="$work/empty-status" -o APT::Architecture=amd64 \
    -o APT::Architectures::=amd64 "${debs[amd64]}" >"$work/apt-sim.log" 2>&1 &&
    grep -q '^Inst mp3-sorvane ' "$work/apt-sim.log"; then
    expect "amd64 deb: apt finds all it needs in amd64 packages alone ($(grep -c '^Inst ' "$work/apt-sim.log") packages on an empty system)" \
        same "$(grep '^Inst ' "$work/apt-sim.log" | grep -Ev '\[(amd64|all)\]\)( \[\])?$')" ""
else
    sed 's/^/      apt: /' "$work/apt-sim.log" | tail -20
    fail "amd64 deb: apt finds all it needs in amd64 packages alone"
fi

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

# The package this machine installs and starts: the one whose program the
# driver can work, else the one of dpkg's architecture.
if [ -n "$driver" ]; then
    case $(pe_kind "$driver") in
        "$pe32_i386") inst=i386 ;;
        "$pe32plus_amd64") inst=amd64 ;;
        *) echo "FAIL  $driver is no x86 Windows program"; exit 1 ;;
    esac
else
    inst=$(dpkg --print-architecture 2>/dev/null)
fi
[ -n "${debs[$inst]:-}" ] || inst=amd64
exe_here=$work/deb-$inst/usr/lib/mp3-sorvane/MP3_Sorvane.exe

# ---- the launcher's messages ---------------------------------------------------
launcher=$work/deb-$inst/usr/bin/mp3-sorvane
can_hide=
if [ "$(id -u)" = 0 ] && unshare -m --propagation private true 2>/dev/null; then can_hide=1; fi
# name | folder hidden from the launcher | program | what stderr must say
cases=(
    "no program|-|$work/none.exe|The program file is missing"
    "not a Windows program|-|$work/deb-$inst/usr/share/doc/mp3-sorvane/copyright|Not a Windows program"
    "no Wine|/usr/lib/wine|$exe_here|Wine is not installed"
    "no Korean locale|/usr/lib/locale|$exe_here|The Korean locale ko_KR.UTF-8 is missing"
)
if [ "$here_arch" != i686 ]; then
    # The i386 package's program, started through the testing aid: the one
    # case that needs a build other than the installed package's.
    cases+=("no 32-bit execution|-|$work/deb-i386/usr/lib/mp3-sorvane/MP3_Sorvane.exe|This computer cannot execute 32-bit programs")
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
# ARCH: installs the package of ARCH with apt-get, as a user would.
apt_install() {
    local deb=${debs[$1]} local_deb
    # apt reads a local package as its own unprivileged user.
    local_deb=$work/$(basename "$deb")
    cp "$deb" "$local_deb"
    echo "package test: installing $(basename "$deb") with apt-get (the first time this fetches its dependencies)"
    local t0=$SECONDS
    if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "$local_deb" >"$work/apt.log" 2>&1; then
        sed 's/^/      apt: /' "$work/apt.log" | tail -20
        fail "installed $1: apt-get installs the package with its dependencies"
        return 1
    fi
    pass "installed $1: apt-get installs the package with its dependencies ($((SECONDS - t0)) s)"
    expect "installed $1: the package of this architecture is installed" \
        same "$(dpkg-query -W -f='${Architecture}' mp3-sorvane)" "$1"
}

# The i386 package installed where 32-bit code cannot run: all it can show
# here is that its start says so.
installed_i386_here() {
    apt_install i386 || return
    local home=$work/home-i386
    mkdir -p "$home"
    user_env "$home" mp3-sorvane 2>"$work/stderr" &
    local pid=$! shown=no
    wait_for 20 note_windows && shown=yes
    close_note "$pid"
    wait "$pid"
    local rc=$?
    [ "$shown" = yes ] && [ "$rc" = 1 ] && grep -q "This computer cannot execute 32-bit programs" "$work/stderr"
    verdict "installed i386: its start says this computer cannot execute 32-bit programs (window: $shown, status $rc)" $?
}

installed_start() {
    apt_install "$inst" || return
    expect "installed: mp3-sorvane is on the PATH" same "$(command -v mp3-sorvane)" /usr/bin/mp3-sorvane

    local home=$work/home
    local music="$home/Music/노래 모음"
    mkdir -p "$music"
    # A song with a Korean name and a Korean ID3v1 tag.
    python3 "$root/tests/package/song.py" "$music/가수 - 첫 노래.mp3" 가수 "첫 앨범" "첫 노래"
    local data=$home/.local/share/mp3-sorvane
    local prefix=$data/prefix
    [ "$inst" = amd64 ] && prefix=$data/prefix64

    # A set-up that fails is not taken for ready: a file where the prefix
    # belongs makes Wine give up.
    mkdir -p "$data" && : >"$prefix"
    user_env "$home" mp3-sorvane 2>"$work/stderr" &
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
    user_env "$home" mp3-sorvane 2>"$work/stderr" &
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
    [ -f "$prefix/.mp3-sorvane-ready-2" ] && grep -q '^"MS Shell Dlg"="NanumGothic"' "$prefix/system.reg" &&
        grep -q '^"Gulim"=str(7):"DejaVuSans.ttf,DejaVu Sans' "$prefix/system.reg"
    verdict "installed: the prefix is marked ready, with Korean dialog fonts and faces linked for other scripts" $?
    # The launcher hands its process over to Wine, which names the program
    # it runs in the command line.
    local loader
    loader=$(readlink -f "/proc/$pid/exe")
    [ "$(tr '\0' '\n' <"/proc/$pid/cmdline" | head -1)" = /usr/lib/mp3-sorvane/MP3_Sorvane.exe ] &&
        [ "$loader" = "$(readlink -f "$(wine_loader)")" ]
    verdict "installed: what runs is the installed program, under $(wine_loader) (Wine: $loader)" $?
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
    user_env "$home" mp3-sorvane 2>"$work/stderr" &
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

# The Wine loader for the installed program.
wine_loader() {
    case $inst in
        i386) echo /usr/lib/wine/wine ;;
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
    if [ "$inst" = amd64 ] && [ "$here_arch" != i686 ] && dpkg --print-foreign-architectures | grep -qx i386; then
        installed_i386_here
    else
        skip "installed i386: only where i386 packages install but 32-bit code cannot run"
    fi
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
