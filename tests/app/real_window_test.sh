#!/usr/bin/env bash
# Starts the real program on a virtual X display, waits for its window,
# takes a screenshot and checks that the language panel is drawn.
# Usage: real_window_test.sh PROGRAM SCREENSHOT.png
set -euo pipefail
program=$1
shot=$2

if [ -z "${QOR_IN_XVFB:-}" ]; then
  exec env QOR_IN_XVFB=1 timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb
# Nothing listens on the discard port of the loopback; no flag is clicked anyway.
"$program" --update-server 127.0.0.1:9 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT

window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --onlyvisible --name '^QOR synchro center$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended before its window showed"; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "FAIL: no window named \"QOR synchro center\""; exit 1; }
sleep 0.5  # let the first paint finish

eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $window at $X,$Y size ${WIDTH}x$HEIGHT"
[ "$WIDTH" -eq 555 ] && [ "$HEIGHT" -eq 529 ] || { echo "FAIL: client area is not 555 x 529"; exit 1; }

import -window root "$shot"

# The colour of the screenshot at a point of the window's client area.
pixel() { convert "$shot" -crop "1x1+$((X + $1))+$((Y + $2))" -depth 8 -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:; }
fail=0
check() {  # name x y test-on-"r g b"
  local name=$1 x=$2 y=$3 rgb
  rgb=$(pixel "$x" "$y")
  read -r r g b <<<"$rgb"
  if eval "$4"; then echo "ok   $name ($rgb)"; else echo "FAIL $name ($rgb)"; fail=1; fi
}
check "panel background is white" 8 8 '[ $r -gt 240 ] && [ $g -gt 240 ] && [ $b -gt 240 ]'
check "logo top is red" 278 72 '[ $r -gt 150 ] && [ $g -lt 100 ] && [ $b -lt 100 ]'
check "logo bottom is violet" 278 96 '[ $r -gt 70 ] && [ $b -gt 100 ] && [ $g -lt 80 ]'
check "German flag shows its red band" 249 280 '[ $r -gt $((g + 40)) ]'
# Each flag: a picture, not background (darker on average, with contrast).
flag() {
  convert "$shot" -crop "47x31+$((X + $1))+$((Y + $2))" -format '%[fx:int(100*mean)] %[fx:int(100*standard_deviation)]' info:
}
for spot in "German 226 265" "UK 282 265"; do
  read -r name fx fy <<<"$spot"
  read -r mean sd <<<"$(flag "$fx" "$fy")"
  if [ "$mean" -lt 90 ] && [ "$sd" -gt 10 ]; then echo "ok   $name flag drawn (mean $mean, sd $sd)"; else echo "FAIL $name flag (mean $mean, sd $sd)"; fail=1; fi
done
# Title and prompt: some dark text pixels across their rows.
dark_in_row() {
  convert "$shot" -crop "555x$2+$X+$((Y + $1))" -colorspace gray -threshold 50% -format '%[fx:int(w*h*(1-mean))]' info:
}
title=$(dark_in_row 154 31)
prompt=$(dark_in_row 331 31)
echo "dark pixels: title $title, prompt $prompt"
[ "$title" -gt 100 ] || { echo "FAIL: no title text"; fail=1; }
[ "$prompt" -gt 100 ] || { echo "FAIL: no prompt text"; fail=1; }
exit $fail
