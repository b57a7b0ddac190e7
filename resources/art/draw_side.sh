#!/bin/sh
# Draws the wizard's side picture: 164 x 312 pixels, 256 colours, uncompressed
# BMP (BMP3). A deep blue to teal gradient, sound-wave arcs rising from the lower left
# corner, two flowing voice lines and the word KELVARO near the top.
# Needs ImageMagick 6 ("convert") and the DejaVu fonts (Debian: imagemagick fonts-dejavu-core).
# Usage: draw_side.sh [OUTPUT]   (default: side.bmp beside this script's parent folder)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../side.bmp"}
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
book=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
for f in "$bold" "$book"; do
    [ -r "$f" ] || { echo "missing font $f (apt-get install fonts-dejavu-core)" >&2; exit 1; }
done

W=164
H=312
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Background: vertical gradient, navy at the top to teal at the bottom, with a soft
# light spot behind the lower arcs.
convert -size ${W}x${H} gradient:'#0a1a46'-'#0b6f80' \
    \( -size ${W}x${H} radial-gradient:'#2fb3c0'-none -geometry +0+0 \
       -alpha set -channel A -evaluate multiply 0.35 +channel \
       -distort SRT '0,0 1.6 0 -40,250' \) -compose over -composite \
    "$tmp/bg.png"

# Sound-wave arcs centred below the left edge, fading outwards.
set --
i=0
for r in 46 74 102 130 158 186 214 242; do
    op=$(awk -v i=$i 'BEGIN { printf "%.3f", 0.42 - i * 0.045 }')
    sw=$(awk -v i=$i 'BEGIN { printf "%.2f", 3.2 - i * 0.25 }')
    set -- "$@" -stroke "rgba(255,255,255,$op)" -strokewidth "$sw" -draw "circle -18,336 $((r - 18)),336"
    i=$((i + 1))
done
convert "$tmp/bg.png" -fill none "$@" "$tmp/arcs.png"

# Two flowing lines across the middle, like a voice signal.
convert "$tmp/arcs.png" -fill none \
    -stroke 'rgba(120,230,235,0.55)' -strokewidth 1.6 \
    -draw "path 'M -4,168 C 30,140 52,196 84,166 S 138,132 170,160'" \
    -stroke 'rgba(255,255,255,0.30)' -strokewidth 1.0 \
    -draw "path 'M -4,180 C 34,160 58,204 92,178 S 142,150 170,176'" \
    "$tmp/lines.png"

# A thin light rule and the word mark near the top.
convert "$tmp/lines.png" \
    -fill 'rgba(255,255,255,0.85)' -stroke none -draw "rectangle 18,70 60,71" \
    -font "$bold" -pointsize 24 -kerning 1.5 -fill white \
    -annotate +17+56 'KELVARO' \
    -font "$book" -pointsize 10.5 -kerning 0.6 -fill 'rgba(200,240,245,0.95)' \
    -annotate +18+88 'VOV Client' \
    -font "$book" -pointsize 8.5 -kerning 0.4 -fill 'rgba(200,240,245,0.75)' \
    -annotate +18+101 'for Windows' \
    "$tmp/final.png"

# Flatten to opaque pixels and write an uncompressed BMP3 file with a palette of 256 colours (Floyd-Steinberg
# dithering; a third of the size of 24-bit pixels, and the same picture to the eye). LoadImage with
# LR_LOADMAP3DCOLORS would replace the greys 128, 192 and 223 in the palette by the system's 3D colours, so the
# script stops if the palette holds one of them.
convert "$tmp/final.png" -background '#0a1a46' -flatten -alpha off \
    -dither FloydSteinberg -colors 256 -type Palette -compress None BMP3:"$out"
python3 - "$out" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
count = struct.unpack_from('<I', data, 46)[0] or 256
palette = {tuple(data[54 + 4 * i:57 + 4 * i]) for i in range(count)}
grey = [g for g in (128, 192, 223) if (g, g, g) in palette]
if grey:
    sys.exit(f"the palette holds the grey {grey}, which LR_LOADMAP3DCOLORS would replace")
PY
echo "wrote $out"
