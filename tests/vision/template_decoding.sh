#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Templates read to the same pixels with the OpenCV the program links as with Debian's shared
# OpenCV, which it used before: a corpus of BMP variants (ImageMagick's, hand-made RLE, copies
# with odd header fields), a few PNGs and the fuzz corpus, each read by the product's template
# reader and by the reference program on Debian's OpenCV, compared by size and pixel hash.
#   tests/vision/template_decoding.sh PRODUCT REFERENCE FUZZ_DIR
set -eu
product=$(realpath "$1")
reference=$(realpath "$2")
fuzz=$(realpath "$3")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

# le VALUE BYTES: VALUE as BYTES bytes, least significant first.
le() {
    local i
    for ((i = 0; i < $2; i++)); do printf "\\x$(printf %02x $((($1 >> 8 * i) & 255)))"; done
}
# put FILE OFFSET VALUE BYTES: overwrites a header field.
put() { le "$3" "$4" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
# odd NAME BASE OFFSET VALUE BYTES: a copy of BASE with a header field overwritten.
odd() {
    cp "$2" "$1"
    put "$1" "$3" "$4" "$5"
}
# top_down NAME SOURCE FORMAT: SOURCE stored top row first (negative height).
top_down() {
    convert "$2" -flip -compress none "$3:$1"
    put "$1" 22 "-$(identify -format %h "$2")" 4
}
# rle NAME BITS HEX: a 9x4 BI_RLE8 (BITS 8) or BI_RLE4 (BITS 4) file with pixel data HEX.
rle() {
    local colours=$((1 << $2)) i data
    data=$(tr -d ' \n' <<<"$3" | sed -E 's/(..)/\\x\1/g')
    local size=$(($(printf "$data" | wc -c)))
    {
        printf BM
        le $((54 + 4 * colours + size)) 4 && le 0 4 && le $((54 + 4 * colours)) 4
        le 40 4 && le 9 4 && le 4 4 && le 1 2 && le "$2" 2 && le $(($2 == 8 ? 1 : 2)) 4 && le "$size" 4
        le 2835 4 && le 2835 4 && le "$colours" 4 && le 0 4
        for ((i = 0; i < colours; i++)); do le $((i * 0x0b3711 & 0xffffff)) 4; done
        printf "$data"
    } >"$1"
}

# A piece of ImageMagick's built-in rose, 13x7 so that every row is padded, with a ramp of
# alpha; and in grey.
convert rose: -crop 13x7+24+12 +repage \( -size 13x7 gradient:white-'#303030' \) \
    -alpha off -compose copy_opacity -composite src.png
convert src.png -alpha off -colorspace gray grey.png
convert src.png -alpha off BMP3:rgb24.bmp
convert src.png BMP:v5-argb32.bmp
convert src.png -alpha off BMP:v5-rgb24.bmp
convert src.png -define bmp3:alpha=true BMP3:argb32.bmp
convert src.png -alpha off BMP2:os2-rgb24.bmp
convert src.png -alpha off -type palette BMP2:os2-pal8.bmp
convert src.png -alpha off -type palette -compress none BMP3:pal8.bmp
convert src.png -alpha off -colors 12 -type palette BMP3:pal4.bmp
convert src.png -alpha off -monochrome BMP3:mono1.bmp
convert grey.png -type palette -compress none BMP3:grey-pal8.bmp
convert grey.png -colors 16 -type palette BMP3:grey-pal4.bmp
convert src.png -alpha off -type palette -compress RLE BMP3:rle8-im.bmp
# 16 bits: bit fields after a plain header (OpenCV reads them there even after a v5 header,
# which holds them itself), and without bit fields.
for subtype in RGB555 RGB565; do
    convert src.png -alpha off -define bmp:subtype=$subtype BMP:odd-v5-$subtype.bmp
    odd $subtype.bmp odd-v5-$subtype.bmp 14 40 4
done
odd v5-rgb555-plain.bmp odd-v5-RGB555.bmp 30 0 4
odd v4-rgb24.bmp v5-rgb24.bmp 14 108 4
top_down top-down-rgb24.bmp src.png BMP3
top_down top-down-argb32.bmp src.png BMP
top_down top-down-pal8.bmp grey-pal8.bmp BMP3
# Runs, absolute runs of odd and even length, a delta, line ends and the bitmap end.
rle rle8.bmp 8 '05 01 00 04 02 03 04 05 00 00 03 07 00 02 01 00 02 08 00 00
               00 03 09 0a 0b 00 04 0c 00 00 09 0e 00 01'
rle rle4.bmp 4 '06 12 00 03 34 50 00 00 05 77 00 02 02 00 02 89 00 00
               00 05 ab cd e0 00 04 f1 00 00 03 21 00 01'
# Odd files: RLE runs past the row's end, a delta down, the bitmap's end before the last row
# or none; palettes shorter or longer than the bits allow, pixel data offsets outside the
# file, unknown compressions and bit counts, no rows, a data size that lies, cut files.
rle odd-rle8-overrun.bmp 8 '0c 01 00 00 00 0a 01 02 03 04 05 06 07 08 09 0a 00 01'
rle odd-rle8-delta-down.bmp 8 '00 02 03 01 06 05 00 00 09 06 00 00 09 07 00 00 09 08 00 01'
rle odd-rle8-early-end.bmp 8 '05 01 00 01'
rle odd-rle4-no-end.bmp 4 '03 12'
odd odd-palette-short.bmp pal8.bmp 46 3 4
odd odd-palette-long.bmp pal8.bmp 46 300 4
odd odd-offset-past-end.bmp rgb24.bmp 10 100000 4
odd odd-offset-zero.bmp rgb24.bmp 10 0 4
odd odd-compression.bmp rgb24.bmp 30 7 4
odd odd-bitfields-no-masks.bmp rgb24.bmp 30 3 4
odd odd-bits-2.bmp pal4.bmp 28 2 2
odd odd-no-rows.bmp rgb24.bmp 22 0 4
odd odd-width-negative.bmp rgb24.bmp 18 -13 4
odd odd-planes.bmp rgb24.bmp 26 0 2
odd odd-size-image.bmp rle8.bmp 34 1 4
odd odd-header-size.bmp rgb24.bmp 14 64 4
convert src.png -define bmp:subtype=ARGB1555 BMP:odd-argb1555.bmp
head -c -40 rgb24.bmp >odd-truncated.bmp
head -c -9 rle8-im.bmp >odd-truncated-rle8.bmp
convert src.png PNG32:rgba.png
convert src.png -alpha off PNG24:rgb.png
convert src.png -alpha off PNG8:pal.png
convert grey.png -depth 16 PNG:grey16.png
convert src.png -depth 16 PNG64:rgba16.png
cp "$fuzz"/corpus/template/* .
if [ -d "$fuzz/regressions" ]; then
    find "$fuzz/regressions" -name 'template-*' -exec cp {} . \;
fi

files=(*)
"$product" "${files[@]}" >product.txt
"$reference" "${files[@]}" >reference.txt 2>/dev/null
status=0
if ! diff reference.txt product.txt; then
    echo "the product's template reader differs from Debian's OpenCV (<) above" >&2
    status=1
fi
# The comparison means something only where the reference reads the picture.
if grep -v '^odd-' reference.txt | grep unreadable; then
    echo "Debian's OpenCV could not read a picture of the corpus (above)" >&2
    status=1
fi
echo "$(wc -l <reference.txt) pictures, $(grep -c unreadable reference.txt) unreadable by both"
exit "$status"
