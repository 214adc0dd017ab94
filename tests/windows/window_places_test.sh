#!/usr/bin/env bash
# The windows as a window manager frames them, on a virtual X screen of
# 1366 x 768 with openbox: the lists' outer sizes are their design sizes,
# the journal window's outer height is its design height, and with the
# journal, both lists, the calendar and the search dialog open at their
# default places no window covers another's caption, menu bar, tool bar or
# buttons.
#
# Usage: window_places_test.sh MINCAR-PROGRAM
# Needs xvfb-run, openbox, xdotool, xwininfo and xprop; exits 77 (skipped)
# without them.
set -euo pipefail

if [[ "${1:-}" != --inside ]]; then
  for tool in xvfb-run openbox xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
  done
  program="$(realpath "$1")"
  script="$(realpath "$0")"
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  cd "$work"
  # The settings of a program that has run before: no message about a
  # missing settings file. Windows-1250 text, LF CR line ends.
  printf '%s;%s;\n\r' "Firma =" "Domácnost" "Vystavil =" " " "Schvalil =" " " "Prevzal =" " " \
    "Datum od =" "1.12.2026" "Datum do =" "31.12.2026" "Browser =" "xdg-open " "Filespec =" "File://" |
    iconv -f UTF-8 -t CP1250 >prop1.txt
  LC_ALL=C.UTF-8 TZ=Europe/Prague xvfb-run -a -s "-screen 0 1366x768x24" bash "$script" --inside "$program"
  exit $?
fi

program="$2"
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
"$program" >/dev/null 2>&1 &
mincar=$!
trap 'kill "$mincar" "$wm" 2>/dev/null || true' EXIT

journal="$(timeout 60 xdotool search --sync --onlyvisible --name '^Mincar$' | head -1)" || true
if [[ -z "$journal" ]]; then
  echo "FAIL: the journal window did not open within 60 s"
  exit 1
fi
sleep 1
# The user's way: the shortcuts of the lists and the calendar, and the
# printing menu's "Tisk knihy" for the search dialog.
focus_journal() {
  # A click into the journal's grid gives it the keyboard.
  local x y
  eval "$(xdotool getwindowgeometry --shell "$journal")"
  xdotool mousemove $((X + 300)) $((Y + 300)) click 1
  sleep 0.3
}
for keys in ctrl+p ctrl+k ctrl+d; do
  focus_journal
  xdotool key "$keys"
  sleep 0.5
done
focus_journal
xdotool key alt+t
sleep 0.5
xdotool key Down Return
sleep 2

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# outer NAME: "x y width height" of the window's frame, caption included;
# client NAME: the same of its client area.
window_id() { xdotool search --onlyvisible --name "^$1\$" | head -1; }
client() {
  local id info
  id="$(window_id "$1")"
  [[ -n "$id" ]] || { echo "none"; return; }
  info="$(xwininfo -id "$id")"
  echo "$(awk -F: '/Absolute upper-left X/ {print $2+0}' <<<"$info")" \
       "$(awk -F: '/Absolute upper-left Y/ {print $2+0}' <<<"$info")" \
       "$(awk -F: '/Width/ {print $2+0}' <<<"$info")" \
       "$(awk -F: '/Height/ {print $2+0}' <<<"$info")"
}
outer() {
  local id x y w h l r t b
  id="$(window_id "$1")"
  [[ -n "$id" ]] || { echo "none"; return; }
  read -r x y w h <<<"$(client "$1")"
  read -r l r t b <<<"$(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
  echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

names=("Mincar" "Pohyby" "Knihy" "Kalendář" "Tisk pokladní knihy - vyhledávání, statistiky")
declare -A outers clients
for name in "${names[@]}"; do
  outers[$name]="$(outer "$name")"
  clients[$name]="$(client "$name")"
  [[ "${outers[$name]}" != none ]] || fail "the window '$name' did not open"
  echo "$name: outer ${outers[$name]}, client ${clients[$name]}"
done
((failures == 0)) || exit 1

# Outer sizes.
read -r _ _ w h <<<"${outers[Knihy]}"
[[ "$w $h" == "206 187" ]] || fail "Knihy is $w x $h outside, designed 206 x 187"
read -r _ _ w h <<<"${outers[Pohyby]}"
[[ "$w $h" == "171 183" ]] || fail "Pohyby is $w x $h outside, designed 171 x 183"
read -r _ _ w h <<<"${outers[Mincar]}"
((h == 442 && w >= 650)) || fail "Mincar is $w x $h outside, designed 650 x 442 (wider where dates need it)"

# What must stay free of other windows: from the frame's top to below the
# menu and tool bars; the calendar and the search dialog are small enough
# that all of them is buttons and fields.
band() {
  local name="$1" ox oy ow oh cx cy cw ch
  read -r ox oy ow oh <<<"${outers[$name]}"
  read -r cx cy cw ch <<<"${clients[$name]}"
  case "$name" in
    Mincar) echo "$ox $oy $ow $((cy - oy + 56))" ;;      # menu bar and tool bar
    Pohyby | Knihy) echo "$ox $oy $ow $((cy - oy + 28))" ;;  # tool bar
    *) echo "$ox $oy $ow $oh" ;;
  esac
}
intersects() {
  local ax ay aw ah bx by bw bh
  read -r ax ay aw ah <<<"$1"
  read -r bx by bw bh <<<"$2"
  ((ax < bx + bw && bx < ax + aw && ay < by + bh && by < ay + ah))
}
for name in "${names[@]}"; do
  read -r x y w h <<<"${outers[$name]}"
  ((x >= 0 && y >= 0 && x + w <= 1366 && y + h <= 768)) || fail "'$name' at $x,$y ($w x $h) leaves the screen"
  for other in "${names[@]}"; do
    [[ "$other" != "$name" ]] || continue
    if intersects "$(band "$name")" "${outers[$other]}"; then
      fail "'$other' covers the caption, bars or buttons of '$name'"
    fi
  done
done

((failures == 0)) && echo "all windows reachable"
exit $((failures > 0))
