#!/usr/bin/env bash
# Draws the window's pictures with ImageMagick into window/pictures/:
# the 32 x 33 GIF logo and the four 47 x 31 baseline JPEG flags ("_p" muted
# behind a fine dot pattern, "_a" in full colour), and the Windows program's
# icon (the logo's circle at 16 to 256 pixels) into app/windows/. The results
# are committed; run this again only to change a picture.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/window/pictures}
icon_out=${2:-$root/app/windows}
mkdir -p "$out" "$icon_out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Logo: red above, violet below, green letters across, transparent outside
# the circle. GIF keeps one transparent colour, so the edge is hard.
convert -size 32x33 xc:'#6f2a96' \
  -fill '#d12a22' -draw 'rectangle 0,0 31,16' \
  -font Liberation-Sans-Bold -pointsize 11 -fill '#1fb440' -gravity center -annotate +0+0 'QOR' \
  \( -size 32x33 xc:black +antialias -fill white -draw 'circle 15.5,16 15.5,0.5' \) \
  -alpha off -compose CopyOpacity -composite \
  -strip -colors 255 "$out/logo.gif"

# Germany: black, red and gold bands.
convert -size 47x31 xc:'#000000' \
  -fill '#dd0000' -draw 'rectangle 0,10 46,20' \
  -fill '#ffce00' -draw 'rectangle 0,21 46,30' \
  "$tmp/de.png"

# United Kingdom, simplified: blue field, white and red diagonals, white and red cross.
convert -size 47x31 xc:'#012169' \
  -stroke white -strokewidth 6 -draw 'line 0,0 46,30' -draw 'line 0,30 46,0' \
  -stroke '#c8102e' -strokewidth 2 -draw 'line 0,0 46,30' -draw 'line 0,30 46,0' \
  -stroke none -fill white -draw 'rectangle 18,0 28,30' -draw 'rectangle 0,10 46,20' \
  -fill '#c8102e' -draw 'rectangle 20,0 26,30' -draw 'rectangle 0,12 46,18' \
  "$tmp/uk.png"

# Every other pixel of every other row: a fine light dot raster.
convert -size 47x31 xc:black -fx '(i%2==0 && j%2==0) ? 1 : 0' "$tmp/dots.png"

jpeg() { convert "$1" -strip -interlace none -sampling-factor 1x1 -quality 92 "jpeg:$2"; }
for flag in de uk; do
  name=$([ "$flag" = de ] && echo de || echo en)
  jpeg "$tmp/$flag.png" "$out/lang_${name}_a.jpg"
  convert "$tmp/$flag.png" -modulate 100,45 -fill '#e8e8e8' -colorize 45% \
    "$tmp/dots.png" -compose Screen -composite "$tmp/${flag}_p.png"
  jpeg "$tmp/${flag}_p.png" "$out/lang_${name}_p.jpg"
done

# The program's icon: the logo's circle drawn large with smooth edges (icons
# keep a full alpha channel), then made at every size the shell asks for.
convert -size 256x256 xc:'#6f2a96' \
  -fill '#d12a22' -draw 'rectangle 0,0 255,127' \
  -font Liberation-Sans-Bold -pointsize 92 -fill '#1fb440' -gravity center -annotate +0+0 'QOR' \
  \( -size 256x256 xc:black -fill white -draw 'circle 127.5,127.5 127.5,4' \) \
  -alpha off -compose CopyOpacity -composite "$tmp/icon.png"
convert "$tmp/icon.png" -depth 8 -define icon:auto-resize=256,48,32,24,16 "$icon_out/QOR_sync_PRO.ico"
