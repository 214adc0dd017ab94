#!/usr/bin/env bash
# Takes docs/screenshots/voucher.png: a cash voucher written by mincar-cli
# for a sample journal row and rendered by headless Chromium, opened by the
# "File://" URL that the default settings give.
#
# Needs: chromium (Debian: chromium).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-screenshots}"
OUT="$ROOT/docs/screenshots/voucher.png"

cmake -S "$ROOT" -B "$BUILD_DIR" -DMINCAR_TESTS=OFF -DMINCAR_BENCH=OFF -DMINCAR_WINDOWS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j2 --target mincar-cli >/dev/null

SAMPLE="$(mktemp -d)"
PROFILE="$(mktemp -d)"
trap 'rm -rf "$SAMPLE" "$PROFILE"' EXIT
cli() { LC_ALL=C.UTF-8 "$BUILD_DIR/mincar-cli" -C "$SAMPLE" "$@" >/dev/null 2>&1; }

cli init
cli add-book "Pokladna"
cli add-move "Nákup potravin"
cli add-row --book 1 --move 1 --date 7.12.2026 \
  --text "Příliš žluťoučký kůň úpěl ďábelské ódy – Ďáblice, Ňůžkov, Ťápkov, Řečany" --minus 4999,50

# The names of a program that has run before. Windows-1250, LF CR line ends.
printf '%s;%s;\n\r' \
  "Firma =" "<b>Domácnost Novákových</b><br>Šťastná 12, Ústí nad Labem" \
  "Vystavil =" "Jana Nováková" "Schvalil =" "Petr Novák" "Prevzal =" "Ľubomír Ďurčo" \
  "Datum od =" "1.12.2026" "Datum do =" "31.12.2026" \
  "Browser =" "xdg-open " "Filespec =" "File://" |
  iconv -f UTF-8 -t CP1250 >"$SAMPLE/prop1.txt"

cli voucher 1

mkdir -p "$(dirname "$OUT")"
chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --disable-sync --no-first-run --hide-scrollbars \
  --user-data-dir="$PROFILE" --force-device-scale-factor=1 --window-size=900,226 \
  --screenshot="$OUT" "File://$SAMPLE/out.htm" >/dev/null 2>&1
echo "wrote $OUT"
