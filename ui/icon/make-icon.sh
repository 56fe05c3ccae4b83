#!/bin/sh
# Rebuilds updater.ico: a unit with an arrow pointing into it, in eight uncompressed
# images (no PNG), in this order: 32x32 4bpp, 16x16 4bpp, 48x48 8bpp, 32x32 8bpp,
# 16x16 8bpp, 48x48 32bpp, 32x32 32bpp, 16x16 32bpp.
# Needs ImageMagick (convert) and icoutils (icotool). Run from anywhere; writes next to
# this script.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The artwork on a 48-unit grid, scaled to each size.
draw() {
    size=$1
    scale=$(awk "BEGIN { print $size / 48 }")
    convert -size "${size}x${size}" xc:none \
        -draw "scale $scale,$scale
               fill #2b3a4a stroke #101820 stroke-width 2 roundrectangle 5,24 43,44 4,4
               fill #4f6f8f stroke none rectangle 9,28 39,31
               fill #3ad15a circle 36,38 38.5,38
               fill #d0d8e0 rectangle 10,37 28,40
               fill #1e78d7 stroke #0b3c70 stroke-width 1.5
               polygon 19,2 29,2 29,14 37,14 24,27 11,14 19,14" \
        "PNG32:$work/art-$size.png"
}

# Fewer colours and a one-bit mask for the palette images.
palette() {
    size=$1 colours=$2 depth=$3
    convert "$work/art-$size.png" -channel A -threshold 50% +channel \
        -dither None -colors "$colours" "PNG32:$work/art-$size-$depth.png"
}

for size in 16 32 48; do draw "$size"; done
palette 32 15 4
palette 16 15 4
palette 48 255 8
palette 32 255 8
palette 16 255 8

icotool -c -o "$here/updater.ico" \
    -b 4 "$work/art-32-4.png" -b 4 "$work/art-16-4.png" \
    -b 8 "$work/art-48-8.png" -b 8 "$work/art-32-8.png" -b 8 "$work/art-16-8.png" \
    -b 32 "$work/art-48.png" -b 32 "$work/art-32.png" -b 32 "$work/art-16.png"
icotool -l "$here/updater.ico"
