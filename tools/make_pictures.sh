#!/usr/bin/env bash
# Draws the window's pictures with ImageMagick. The results are committed;
# the build uses them as they are. Run from the repository root.
set -euo pipefail
out=resources
serif_bold=DejaVu-Serif-Bold
sans_bold=DejaVu-Sans-Bold
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Emblem: a shield with a check mark, used on the title band and as the icon.
emblem() {  # size file
  local s=$1
  convert -size 64x64 xc:none \
    -fill '#f2c230' -stroke '#8a6a00' -strokewidth 2 \
    -draw "path 'M 32,3 L 58,12 L 56,34 C 53,48 43,56 32,61 C 21,56 11,48 8,34 L 6,12 Z'" \
    -fill '#1f4e9c' -stroke none \
    -draw "path 'M 32,9 L 52,16 L 50,34 C 48,45 40,51 32,55 C 24,51 16,45 14,34 L 12,16 Z'" \
    -stroke white -strokewidth 6 -fill none -draw "polyline 20,32 29,41 45,22" \
    -resize "${s}x${s}" "$2"
}

emblem 48 "$tmp/emblem48.png"
emblem 64 "$tmp/emblem64.png"

band=61  # rows of the title band and its yellow rule

# Background, 385 x 335: title band, light field, the maker's name bottom right.
convert -size 385x335 xc:'#e4e6ea' \
  \( -size 385x58 gradient:'#0f2447-#24508f' \) -geometry +0+0 -composite \
  -fill '#f2c230' -draw "rectangle 0,58 385,60" \
  "$tmp/emblem48.png" -geometry +10+5 -composite \
  -font "$serif_bold" -pointsize 24 -fill white -annotate +66+31 'Veltrik' \
  -font DejaVu-Sans -pointsize 11 -fill '#d6e2f5' -annotate +68+49 'Windows Safe Mode repair tool' \
  -fill '#f5f6f8' -stroke '#c3c8d0' -draw "roundrectangle 8,252 364,298 6,6" -stroke none \
  -fill '#c3c8d0' -draw "line 216,300 364,300" \
  -font "$serif_bold" -pointsize 12 -fill '#1f4e9c' -annotate +232+321 'Morvane Software' \
  -type TrueColor BMP3:"$tmp/background.bmp"

# Stored small, in forms GDI has decoded since XP: the title band (over a
# thousand colours) as it is, the field below it (under 256) palettised and
# run-length encoded. Both are exact; the window puts them together.
convert "$tmp/background.bmp[385x${band}+0+0]" +repage -type TrueColor BMP3:"$out/background_band.bmp"
convert "$tmp/background.bmp[385x$((335 - band))+0+$band]" +repage +dither -type Palette -compress RLE \
  BMP3:"$out/background_field.bmp"

# Buttons, 90 x 25: blue rounded bar, yellow arrow, white capitals.
for word in FIX ABOUT EXIT; do
  lower=$(echo "$word" | tr 'A-Z' 'a-z')
  convert -size 90x25 xc:'#e4e6ea' \
    -fill '#0f2f66' -draw "roundrectangle 0,0 89,24 7,7" \
    \( -size 86x21 gradient:'#4f86d9-#1d4f9e' \) -geometry +2+2 -composite \
    -fill none -stroke '#0f2f66' -strokewidth 1 -draw "roundrectangle 0,0 89,24 7,7" -stroke none \
    -fill '#ffd23a' -stroke '#8a6a00' -strokewidth 1 -draw "polygon 9,7 17,12 9,18" -stroke none \
    -font "$sans_bold" -pointsize 11 -fill white -gravity center -annotate +6+0 "$word" \
    +dither -type Palette -compress RLE BMP3:"$out/button_$lower.bmp"
done

# Icon: 64 x 64, 256 colours.
convert "$tmp/emblem64.png" -background none -colors 255 "$out/veltrik.ico"
