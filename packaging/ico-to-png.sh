#!/bin/sh
# Writes each picture of a Windows icon as OUT/<w>x<h>/apps/NAME.png, the
# layout of the hicolor icon theme.
# Usage: ico-to-png.sh ICON OUT NAME
set -eu
ico=$1 out=$2 name=$3
rm -rf "$out"
identify -format '%p %w %h\n' "$ico" |
while read -r index w h; do
    mkdir -p "$out/${w}x$h/apps"
    # No time stamps inside: the same icon makes the same package.
    convert "${ico}[$index]" -strip "PNG32:$out/${w}x$h/apps/$name.png"
done
[ -n "$(ls "$out")" ]
